#include "runtime/runtime_error.h"

#include <string>
#include <utility>

namespace runtime {

RuntimeError::RuntimeError(ErrorKind kind)
    : std::runtime_error(ErrorDescription(kind)), kind_(kind) {}

RuntimeError::RuntimeError(ErrorKind kind, std::string failedCall, uint32_t systemCode)
    : std::runtime_error(ErrorDescription(kind)),
      kind_(kind),
      failedCall_(std::move(failedCall)),
      systemCode_(systemCode) {}

int ErrorNumber(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::kOutOfMemory:
      return 7;
    case ErrorKind::kOverflow:
      return 6;
    case ErrorKind::kSubscriptOutOfRange:
      return 9;
    case ErrorKind::kFloatingPoint:
      return 11;
    case ErrorKind::kTypeMismatch:
      return 13;
    case ErrorKind::kControlCallFailed:
      return 440;
  }
  return 0;
}

const char* ErrorDescription(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::kOutOfMemory:
      return "Out of memory";
    case ErrorKind::kOverflow:
      return "Overflow";
    case ErrorKind::kSubscriptOutOfRange:
      return "Subscript out of range";
    case ErrorKind::kFloatingPoint:
      return "Floating-point error";
    case ErrorKind::kTypeMismatch:
      return "Type mismatch";
    case ErrorKind::kControlCallFailed:
      return "Control call failed";
  }
  return "Unknown error";
}

std::u16string ErrorReport(ErrorKind kind) {
  std::string text =
      "Run-time error '" + std::to_string(ErrorNumber(kind)) + "':\n\n" + ErrorDescription(kind);
  return std::u16string(text.begin(), text.end());  // the text is plain ASCII
}

void Raise(ErrorKind kind) {
  throw RuntimeError(kind);
}

}  // namespace runtime
