// Failed platform calls: raised as a runtime error with what failed and the platform's own
// error code, kept where the failure happens, and described for a report.
#pragma once

#include <windows.h>

#include <exception>
#include <string>

namespace runtime {

// Raises the control-call error for a failed call, or the out-of-memory error where memory or
// the system's resources ran short (errors 8, 14 and 1450, E_OUTOFMEMORY). Read GetLastError()
// into `code` before anything else can change it.
[[noreturn]] void RaiseFailedCall(std::string whatFailed, DWORD code);
// The same for the call that has just failed: its GetLastError() is read before `describe()`
// builds the text of what failed.
template <typename Describe>
[[noreturn]] void RaiseLastError(Describe describe) {
  const DWORD code = GetLastError();
  RaiseFailedCall(describe(), code);
}
// The same for a COM call's result; does nothing when it succeeded.
void CheckResult(HRESULT result, const char* whatFailed);

// What went wrong, for a report: "<what failed> (error N: <the platform's message>)" for a
// failed call, else the error's own description.
std::wstring DescribeFailure(const std::exception& error);

}  // namespace runtime
