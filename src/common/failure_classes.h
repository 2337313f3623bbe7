// The failure classes. Every failure that ends the run is an object of one of
// these classes; the failure report prints the class name exactly as
// ClassName() gives it.
#pragma once

#include <cstdint>
#include <utility>

#include "common/text.h"

namespace karsvren {

class Exception {
 public:
  explicit Exception(Text message) : message_(std::move(message)) {}
  virtual ~Exception() = default;
  Exception(const Exception&) = delete;
  Exception& operator=(const Exception&) = delete;

  virtual const char* ClassName() const { return "Exception"; }
  const Text& Message() const { return message_; }

 private:
  Text message_;
};

// The I/O failure: a new object for each failure, made by MakeIoFailure.
class EInOutError : public Exception {
 public:
  EInOutError(Text message, std::int32_t errorCode)
      : Exception(std::move(message)), errorCode_(errorCode) {}
  const char* ClassName() const override { return "EInOutError"; }
  std::int32_t ErrorCode() const { return errorCode_; }

 private:
  std::int32_t errorCode_;
};

class EHeapException : public Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const override { return "EHeapException"; }
};

// The shared out-of-memory failure: one object, made before the run, raised
// for every exhaustion of memory, so that reporting it needs no memory.
class EOutOfMemory final : public EHeapException {
 public:
  EOutOfMemory() : EHeapException("Out of memory") {}
  const char* ClassName() const override { return "EOutOfMemory"; }
};

EOutOfMemory& SharedOutOfMemory();

// What travels from the place of a failure to the guard: the failure and the
// code address at which it was raised (its failure location).
struct TRaisedFailure {
  Exception* Failure;
  const void* Location;
};

}  // namespace karsvren
