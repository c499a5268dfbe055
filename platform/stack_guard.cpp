// The stack protector's canary and its failure, our own. The toolchain's
// seeds the canary through CryptoAPI before WinMain runs, which loads DLLs
// that Windows looks for in Harkwell's own folder first, before WinMain can
// limit the search to System32. This seed is taken as the Visual C++ runtime
// takes its own: from the clocks, the ids and an address, with kernel32 alone.
#include <windows.h>

#include <cstdint>

extern "C" {

// Any value will do until the constructor below sets it: nothing protected
// runs before it.
// NOLINTNEXTLINE(bugprone-reserved-identifier): the name the compiler's checks use
std::uintptr_t __stack_chk_guard = static_cast<std::uintptr_t>(0x2B992DDFA232ULL);

// NOLINTNEXTLINE(bugprone-reserved-identifier): the name the compiler's checks call
[[noreturn]] void __stack_chk_fail() {
  static const char kMessage[] = "*** stack smashing detected ***: terminated\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), kMessage, sizeof kMessage - 1, &written, nullptr);
  OutputDebugStringA(kMessage);
  TerminateProcess(GetCurrentProcess(), STATUS_STACK_BUFFER_OVERRUN);
  __builtin_unreachable();
}
}

namespace {

// First among the constructors, and unprotected itself: no protected frame
// is live while the canary changes.
__attribute__((constructor(101), no_stack_protector)) void SeedStackGuard() {
  FILETIME time{};
  GetSystemTimeAsFileTime(&time);
  LARGE_INTEGER counter{};
  QueryPerformanceCounter(&counter);
  std::uint64_t seed = (std::uint64_t{time.dwHighDateTime} << 32 | time.dwLowDateTime) ^
                       static_cast<std::uint64_t>(counter.QuadPart) ^ GetTickCount64() ^
                       (std::uint64_t{GetCurrentProcessId()} << 32) ^ GetCurrentThreadId() ^
                       reinterpret_cast<std::uintptr_t>(&seed);
  seed ^= seed >> 32;  // both halves count in a 32-bit canary
  if (seed != 0) __stack_chk_guard = static_cast<std::uintptr_t>(seed);
}

}  // namespace
