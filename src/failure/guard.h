// The guard around the whole run: every failure that escapes it ends with the
// failure report on standard error.
#pragma once

namespace karsvren {

// Declares the console program, makes the shared out-of-memory failure and
// runs `run` inside the guard. Returns the exit code: 0 when `run` returned,
// 1 after a failure report.
int RunGuarded(void (*run)());

}  // namespace karsvren
