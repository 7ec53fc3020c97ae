// Runtime errors: the few ways an event handler can fail. Each is an exception that the
// event-dispatch boundary catches and reports in a message box naming the error.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace runtime {

enum class ErrorKind {
  kOutOfMemory,          // an allocation failed (std::bad_alloc, reported under this number)
  kOverflow,             // 32-bit integer arithmetic or narrowing overflowed
  kSubscriptOutOfRange,  // array index outside the array's current bounds
  kFloatingPoint,        // invalid operation, division by zero or overflow in double arithmetic
  kTypeMismatch,         // text that does not read as a number
  kControlCallFailed,    // a property read or write on a control failed
};

class RuntimeError : public std::runtime_error {
 public:
  explicit RuntimeError(ErrorKind kind);
  // A platform call that failed: what the program was doing, e.g. "loading the bitmap resource
  // 101", and the error code the platform gave for it at that moment (0: none given).
  RuntimeError(ErrorKind kind, std::string failedCall, uint32_t systemCode);
  ErrorKind Kind() const { return kind_; }
  const std::string& FailedCall() const { return failedCall_; }
  uint32_t SystemCode() const { return systemCode_; }

 private:
  ErrorKind kind_;
  std::string failedCall_;
  uint32_t systemCode_ = 0;
};

// The conventional error number and wording, e.g. 6 and "Overflow".
int ErrorNumber(ErrorKind kind);
const char* ErrorDescription(ErrorKind kind);
// The full text of the report, e.g. "Run-time error '6':\n\nOverflow".
std::u16string ErrorReport(ErrorKind kind);

[[noreturn]] void Raise(ErrorKind kind);

}  // namespace runtime
