// Runs the program under strace, to count its system calls or to put a
// fault into one of them: a SIGKILL, or a delay in which another program
// acts.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "program_runner.h"

namespace karsvren::e2e {

// Why strace cannot be used here, or nothing when it can.
std::optional<std::string> StraceUnusable();

// How often the run of `request` makes each system call, by name.
std::map<std::string, int> SystemCallCounts(TRunRequest request);

// The run of `request` under strace with one fault: `inject` is strace's
// "-e inject=" value, such as "unlink:signal=KILL:when=1".
TRunResult RunWithInjection(TRunRequest request, const std::string& inject);

}  // namespace karsvren::e2e
