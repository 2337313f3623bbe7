// A Windows program with which the end-to-end suite tries the sharing of the
// track list from a second process:
//   share_probe write FILE  opens FILE for writing and closes it again; the
//                           exit code is 0 or the error code of the open.
//   share_probe hold FILE   holds FILE open for writing, prints "ready", and
//                           lets it go when its standard input ends.
#include <windows.h>

#include <cstring>

namespace {

HANDLE OpenForWriting(const char* name) {
  return CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 100;
  const HANDLE file = OpenForWriting(argv[2]);
  if (file == INVALID_HANDLE_VALUE) return static_cast<int>(GetLastError());
  if (std::strcmp(argv[1], "hold") == 0) {
    DWORD count = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), "ready\n", 6, &count, nullptr);
    char received = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), &received, 1, &count, nullptr) && count > 0) {
    }
  }
  CloseHandle(file);
  return 0;
}
