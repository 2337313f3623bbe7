// The check that follows every checked operation of the run.
#pragma once

#include "common/failure_classes.h"

namespace karsvren {

// Takes the pending error code, setting it back to 0 first, and makes a new
// EInOutError with the code's message. When memory runs out meanwhile, the
// out-of-memory failure is raised instead and the code is lost.
//
// The check only raises the I/O failure; its making, with the message that
// belongs to the code, is part of failure reporting, which defines this
// function (failure/make_io_failure.cpp). Declared here, it lets the check
// need nothing from the layer above it.
EInOutError* MakeIoFailure();

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
