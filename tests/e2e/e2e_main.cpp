// The suite's entry. Besides GoogleTest's own flags it takes the build to
// run, which may also come from the environment:
//   --program=PATH    KARSVREN_PROGRAM   the program under test
//   --launcher=WORDS  KARSVREN_LAUNCHER  a command that launches it, e.g. wine
//   --target=NAME     KARSVREN_TARGET    posix or windows: what to expect
//   --share-probe=PATH KARSVREN_SHARE_PROBE  a second Windows program that
//                                        tries the sharing of the list
//   --fault-injection-program=PATH KARSVREN_FAULT_INJECTION_PROGRAM  the
//                                        program with faults put in
//   --sanitized=1     KARSVREN_SANITIZED  the program is built with sanitizers
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <iostream>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  static const struct {
    const char* Flag;
    const char* Variable;
  } kSettings[] = {{"--program=", "KARSVREN_PROGRAM"},
                   {"--launcher=", "KARSVREN_LAUNCHER"},
                   {"--target=", "KARSVREN_TARGET"},
                   {"--share-probe=", "KARSVREN_SHARE_PROBE"},
                   {"--fault-injection-program=", "KARSVREN_FAULT_INJECTION_PROGRAM"},
                   {"--sanitized=", "KARSVREN_SANITIZED"}};
  for (int index = 1; index < argc; ++index) {
    bool known = false;
    for (const auto& setting : kSettings) {
      const std::size_t length = std::strlen(setting.Flag);
      if (std::strncmp(argv[index], setting.Flag, length) == 0) {
        setenv(setting.Variable, argv[index] + length, 1);
        known = true;
      }
    }
    if (!known) {
      std::cerr << "unknown argument: " << argv[index] << '\n';
      return 2;
    }
  }
  return RUN_ALL_TESTS();
}
