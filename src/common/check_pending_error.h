// The check that follows every checked operation of the run.
#pragma once

namespace karsvren {

// Does nothing while no failure is pending. Otherwise makes the I/O failure
// from the pending error code and raises it, with the address right after
// the call as its failure location. Never inlined, so that every call site
// keeps a location of its own.
[[gnu::noinline]] void CheckPendingError();

}  // namespace karsvren

// Every call is followed by one instruction of the caller's own line: the
// failure location, the return address, then resolves with addr2line to the
// line of the check rather than to whatever code comes next.
#define CheckPendingError()                 \
  do {                                      \
    (::karsvren::CheckPendingError)();      \
    __asm__ volatile("nop");                \
  } while (false)
