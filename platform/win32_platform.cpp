// The real platform: Win32 calls on the game's window and process.
#include <windows.h>
// mmsystem.h needs the types windows.h defines.
#include <mmsystem.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace harkwell::platform {

#ifdef HARKWELL_MEASURE_READS
// Time spent inside ReadProcessMemory and SetWindowTextA, in performance-counter
// ticks, for the benchmark that splits a tick into the platform's cost and ours.
std::int64_t readCounterTicks = 0;
std::int64_t titleCounterTicks = 0;
#endif

namespace {

// Window and process handles are 32-bit values even in 64-bit Windows; the
// sign-extending conversions are the documented way across the two widths.
HWND ToHwnd(WindowHandle window) { return static_cast<HWND>(LongToHandle(static_cast<LONG>(window))); }
HANDLE ToHandle(ProcessHandle process) { return LongToHandle(static_cast<LONG>(process)); }
std::uint32_t FromHandle(HANDLE handle) { return HandleToULong(handle); }

std::wstring Utf8ToWide(const std::string& text) {
  if (text.empty()) return {};
  const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                         static_cast<int>(text.size()), nullptr, 0);
  if (length <= 0) return {};
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), wide.data(),
                      length);
  return wide;
}

struct FileCloser {
  using pointer = HANDLE;
  void operator()(HANDLE file) const {
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  }
};
using OwnedFile = std::unique_ptr<HANDLE, FileCloser>;

// Alert sounds are short; a larger file is left to winmm to play by name.
constexpr LONGLONG kMaxSoundFileBytes = 32LL << 20;

bool ReadSoundFile(const std::wstring& path, std::vector<char>& bytes) {
  const OwnedFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size{};
  if (file.get() == INVALID_HANDLE_VALUE || !GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0 ||
      size.QuadPart > kMaxSoundFileBytes) {
    return false;
  }
  bytes.resize(static_cast<std::size_t>(size.QuadPart));
  DWORD read = 0;
  return ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
         read == bytes.size();
}

struct SoundBuffers {
  std::vector<char> current;
  std::vector<char> previous;
};

// Never freed: a sound may still be playing from it while the program exits.
SoundBuffers& PlayingSounds() {
  static auto* buffers = new SoundBuffers;
  return *buffers;
}

}  // namespace

WindowHandle FindTopLevelWindow(const char* className) { return FromHandle(FindWindowA(className, nullptr)); }

std::uint32_t WindowProcessId(WindowHandle window) {
  DWORD processId = 0;
  GetWindowThreadProcessId(ToHwnd(window), &processId);
  return processId;
}

ProcessHandle OpenProcessHandle(std::uint32_t access, bool inheritHandle, std::uint32_t processId) {
  return FromHandle(OpenProcess(access, inheritHandle ? TRUE : FALSE, processId));
}

void CloseProcessHandle(ProcessHandle process) {
  if (process != 0) CloseHandle(ToHandle(process));
}

bool ReadProcessByte(ProcessHandle process, std::uint32_t address, std::uint8_t& value) {
  std::uint8_t byte = 0;
  SIZE_T bytesRead = 0;
#ifdef HARKWELL_MEASURE_READS
  LARGE_INTEGER start, end;
  QueryPerformanceCounter(&start);
#endif
  const BOOL ok = ReadProcessMemory(ToHandle(process), reinterpret_cast<LPCVOID>(std::uintptr_t{address}),
                                    &byte, 1, &bytesRead);
#ifdef HARKWELL_MEASURE_READS
  QueryPerformanceCounter(&end);
  readCounterTicks += end.QuadPart - start.QuadPart;
#endif
  if (!ok || bytesRead != 1) return false;
  value = byte;
  return true;
}

void SetWindowTitle(WindowHandle window, const char* title) {
#ifdef HARKWELL_MEASURE_READS
  LARGE_INTEGER start, end;
  QueryPerformanceCounter(&start);
#endif
  SetWindowTextA(ToHwnd(window), title);
#ifdef HARKWELL_MEASURE_READS
  QueryPerformanceCounter(&end);
  titleCounterTicks += end.QuadPart - start.QuadPart;
#endif
}

void PlaySoundFile(const std::string& path, std::uint32_t flags) {
  const std::wstring widePath = Utf8ToWide(path);
  std::vector<char> sound;
  if (widePath.empty() || !ReadSoundFile(widePath, sound)) {
    // Nothing to read: winmm gets the name and, with SND_NODEFAULT, plays nothing.
    sndPlaySoundW(widePath.c_str(), flags);
    return;
  }
  // Played from memory, so that winmm never opens the file by name: some
  // versions do that through the ANSI code page and silently fail on any
  // other name. An asynchronous sound reads its buffer while it plays, so the
  // last two buffers are kept: starting a sound stops the one before.
  SoundBuffers& buffers = PlayingSounds();
  sndPlaySoundW(nullptr, 0);
  buffers.previous.swap(buffers.current);
  buffers.current.swap(sound);
  sndPlaySoundW(reinterpret_cast<LPCWSTR>(buffers.current.data()), flags | SND_MEMORY);
}

void FlashWindowWithInfo(const FlashWindowInfo& info) {
  FLASHWINFO flash{};
  flash.cbSize = sizeof(FLASHWINFO);  // the API accepts only its own size
  flash.hwnd = ToHwnd(info.hwnd);
  flash.dwFlags = info.dwFlags;
  flash.uCount = info.uCount;
  flash.dwTimeout = info.dwTimeout;
  FlashWindowEx(&flash);
}

}  // namespace harkwell::platform
