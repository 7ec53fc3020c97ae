// The stack protector's canary and its report, in place of MinGW's libssp. Its set-up asks
// CryptGenRandom, for which Wine loads its crypto provider (rsaenh, with bcrypt and crypt32) at
// every start; RtlGenRandom gives random bytes of the same source without a provider. Linked
// into every Windows executable through pairly_core: code built with -fstack-protector-strong
// refers to both symbols, which then never come from libssp.
#include <windows.h>

#include <ntsecapi.h>  // RtlGenRandom

#include <cstdint>

extern "C" {

// Until it is set, and should the system refuse random bytes: a canary with a zero byte, a
// line end and 0xFF, which string copies cannot write past.
uintptr_t __stack_chk_guard = static_cast<uintptr_t>(0xFF0A0000u);

// A smashed stack: nothing of the process can be trusted, so nothing runs any more. A debugger
// hears why; the exit status is the system's own for it (STATUS_STACK_BUFFER_OVERRUN).
[[noreturn]] void __stack_chk_fail() {
  OutputDebugStringA("*** stack smashing detected ***: terminated\n");
  TerminateProcess(GetCurrentProcess(), 0xC0000409u);
  for (;;) {
  }
}

}  // extern "C"

namespace {

// Before every other constructor (101 is the first priority left to programs), and itself
// unprotected: it changes the canary that a protected frame would check on return.
[[gnu::constructor(101), gnu::no_stack_protector]] void SetStackGuard() {
  uintptr_t guard = 0;
  if (RtlGenRandom(&guard, sizeof guard) && guard != 0) __stack_chk_guard = guard;
}

}  // namespace
