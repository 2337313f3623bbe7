#include "failure/guard.h"

#include <new>

#include "common/failure_classes.h"
#include "common/memory_request.h"
#include "failure/failure_report.h"
#include "platform/platform.h"

namespace karsvren {
namespace {

// Runs `step`; a failure that escapes it is stored in `raised`.
template <typename TStep>
bool Guarded(TStep step, TRaisedFailure& raised) {
  try {
    step();
    return true;
  } catch (const TRaisedFailure& failure) {
    raised = failure;
  } catch (const std::bad_alloc&) {
    // Whichever request could not be met, the failure is the shared one and
    // its location is the program's memory request.
    raised = TRaisedFailure{&SharedOutOfMemory(), MemoryRequestLocation()};
  }
  return false;
}

void Release(const TRaisedFailure& raised) {
  if (raised.Failure != &SharedOutOfMemory()) delete raised.Failure;
}

}  // namespace

int RunGuarded(void (*run)()) {
  TRaisedFailure raised{};
  const bool completed = Guarded(
      [run] {
        platform::Platform().DeclareConsoleProgram();
        SharedOutOfMemory();
        run();
      },
      raised);
  if (completed) return 0;

  // A failure of the report step itself (its flush refused) is reported in
  // place of the first one. That flush has emptied the console channel, so
  // the next report step cannot fail the same way: one report at most.
  for (;;) {
    if (!platform::Platform().OfferToLastChanceFilter(raised.Location)) {
      Release(raised);
      return 1;
    }
    const TRaisedFailure reported = raised;
    const bool done = Guarded([&reported] { ReportFailure(*reported.Failure, reported.Location); }, raised);
    Release(reported);
    if (done) return 1;
  }
}

}  // namespace karsvren
