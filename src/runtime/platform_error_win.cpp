#include "runtime/platform_error.h"

#include <cstdio>
#include <string>

#include "runtime/runtime_error.h"
#include "runtime/text.h"
#include "runtime/wide_text.h"

namespace runtime {
namespace {

// The platform's own wording for an error code or HRESULT, without its line end; empty where
// it has none.
std::wstring SystemMessage(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring message(buffer ? buffer : L"", length);
  LocalFree(buffer);
  while (!message.empty() &&
         (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' ')) {
    message.pop_back();
  }
  return message;
}

// Win32 error codes in decimal, as the platform's documentation lists them; HRESULTs in hex.
std::wstring CodeText(DWORD code) {
  if (!(code & 0x80000000u)) return std::to_wstring(code);
  wchar_t text[16];
  std::swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(code));
  return text;
}

}  // namespace

void RaiseFailedCall(std::string whatFailed, DWORD code) {
  // Memory or the system's resources ran short: the user reads error 7 for this as for any
  // other lack of memory. What failed is kept all the same.
  const bool shortOfMemory = code == ERROR_NOT_ENOUGH_MEMORY || code == ERROR_OUTOFMEMORY ||
                             code == ERROR_NO_SYSTEM_RESOURCES ||
                             code == static_cast<DWORD>(E_OUTOFMEMORY);
  throw RuntimeError(shortOfMemory ? ErrorKind::kOutOfMemory : ErrorKind::kControlCallFailed,
                     std::move(whatFailed), code);
}

void CheckResult(HRESULT result, const char* whatFailed) {
  if (FAILED(result)) RaiseFailedCall(whatFailed, static_cast<DWORD>(result));
}

std::wstring DescribeFailure(const std::exception& error) {
  const auto* runtimeError = dynamic_cast<const RuntimeError*>(&error);
  if (!runtimeError || runtimeError->FailedCall().empty()) {
    return Utf16ToWide(Utf8ToUtf16(error.what()));
  }
  const DWORD code = runtimeError->SystemCode();
  std::wstring text =
      Utf16ToWide(Utf8ToUtf16(runtimeError->FailedCall())) + L" (error " + CodeText(code);
  if (const std::wstring message = SystemMessage(code); !message.empty()) text += L": " + message;
  return text + L")";
}

}  // namespace runtime
