// The real platform: Win32 calls on the game's window and process.
#include <windows.h>
// mmsystem.h needs the types windows.h defines.
#include <mmsystem.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "monitor/attach.h"
#include "platform/owned.h"
#include "platform/platform.h"
#include "platform/wave_file.h"

namespace harkwell::platform {

static_assert(kGameProcessAccess == (PROCESS_VM_READ | PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE));

namespace {

// Window and process handles are 32-bit values even in 64-bit Windows; the
// sign-extending conversions are the documented way across the two widths.
HWND ToHwnd(WindowHandle window) { return static_cast<HWND>(LongToHandle(static_cast<LONG>(window))); }
HANDLE ToHandle(ProcessHandle process) { return LongToHandle(static_cast<LONG>(process)); }
std::uint32_t FromHandle(HANDLE handle) { return HandleToULong(handle); }

// Reads of an open file at any offset, as the sound check asks for them.
ReadAt FileReader(HANDLE file) {
  return [file](std::uint64_t offset, std::span<std::uint8_t> into) {
    std::size_t total = 0;
    while (total < into.size()) {
      OVERLAPPED at{};
      at.Offset = static_cast<DWORD>(offset + total);
      at.OffsetHigh = static_cast<DWORD>((offset + total) >> 32);
      const DWORD ask = static_cast<DWORD>(std::min<std::size_t>(into.size() - total, DWORD{1} << 30));
      DWORD read = 0;
      if (!ReadFile(file, into.data() + total, ask, &read, &at) || read == 0) break;
      total += read;
    }
    return total;
  };
}

// An exported function as the type it has; through void(*)(), the one cast
// between unrelated function types that GCC takes without a warning.
template <typename Function>
Function Export(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// Null on a Windows 7 without update KB2533623, which knows none of the
// LOAD_LIBRARY_SEARCH_* flags either.
using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
SetDefaultDllDirectoriesFunction SetDefaultDllDirectoriesOrNull() {
  return Export<SetDefaultDllDirectoriesFunction>(GetModuleHandleW(L"kernel32.dll"),
                                                  "SetDefaultDllDirectories");
}

// A DLL that is not one Windows always takes from System32 (a KnownDLL)
// would be looked for beside the program first: it is named by System32.
OwnedModule LoadFromSystem32(const std::wstring& name) {
  if (SetDefaultDllDirectoriesOrNull() != nullptr) {
    return OwnedModule(LoadLibraryExW(name.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
  }
  // By its full path; what it imports is then looked for in System32 too.
  std::wstring path(MAX_PATH, L'\0');
  const UINT length = GetSystemDirectoryW(path.data(), MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  path.resize(length);
  return OwnedModule(LoadLibraryExW((path + L"\\" + name).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
}

struct Winmm {
  OwnedModule module;
  decltype(&sndPlaySoundA) play = nullptr;
  decltype(&waveOutGetNumDevs) deviceCount = nullptr;
};

// Loaded on first use, and never freed: a sound may still be playing from it
// while the program exits. Without both functions it counts as missing.
const Winmm& LoadedWinmm() {
  static const Winmm* winmm = [] {
    auto* loaded = new Winmm{LoadFromSystem32(L"winmm.dll")};
    if (loaded->module) {
      loaded->play = Export<decltype(loaded->play)>(loaded->module.get(), "sndPlaySoundA");
      loaded->deviceCount = Export<decltype(loaded->deviceCount)>(loaded->module.get(), "waveOutGetNumDevs");
    }
    if (loaded->play == nullptr || loaded->deviceCount == nullptr) *loaded = Winmm{};
    return loaded;
  }();
  return *winmm;
}

struct SoundBuffers {
  std::vector<std::uint8_t> current;
  std::vector<std::uint8_t> previous;
};

// Never freed: a sound may still be playing from it while the program exits.
SoundBuffers& PlayingSounds() {
  static auto* buffers = new SoundBuffers;
  return *buffers;
}

// The game's window thread handles the title change. A game that has stopped
// answering must not hold up the tick, and with it every window of ours. A
// game that answers does so within a few milliseconds even under Wine, where
// the caption goes to the X server. A tick writes at most twice, so a game
// that stops answering holds it up for at most 200 ms of its 250.
constexpr UINT kTitleWriteTimeoutMs = 100;

// Searches of a class's windows are bounded: a desktop holds far fewer.
constexpr std::size_t kMostWindowsOfAClass = 4096;

std::optional<bool> TokenElevated(HANDLE process) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(process, TOKEN_QUERY, &token)) return std::nullopt;
  const OwnedHandle owned(token);
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  if (!GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size)) return std::nullopt;
  return elevation.TokenIsElevated != 0;
}

}  // namespace

std::optional<std::string> ToAnsiExactly(const std::wstring& path, std::uint32_t codePage) {
  // UTF-8 takes neither the best-fit flag nor the default-character
  // pointers: the call fails with any of them. Every character has a UTF-8
  // form but an unpaired surrogate, which WC_ERR_INVALID_CHARS makes fail
  // instead of becoming U+FFFD.
  const bool utf8 = codePage == CP_UTF8;
  const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  BOOL lossy = FALSE;
  BOOL* const usedDefault = utf8 ? nullptr : &lossy;
  const int length = WideCharToMultiByte(codePage, flags, path.c_str(), -1, nullptr, 0, nullptr, usedDefault);
  if (length <= 0 || lossy) return std::nullopt;
  // The same text with the same flags: nothing is lost this time either.
  std::string ansi(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(codePage, flags, path.c_str(), -1, ansi.data(), length, nullptr, nullptr);
  ansi.resize(static_cast<std::size_t>(length) - 1);  // the NUL the conversion wrote
  return ansi;
}

std::vector<WindowHandle> TopLevelWindows(const char* className) {
  std::vector<WindowHandle> windows;
  HWND window = nullptr;
  while (windows.size() < kMostWindowsOfAClass &&
         (window = FindWindowExA(nullptr, window, className, nullptr)) != nullptr)
    windows.push_back(FromHandle(window));
  return windows;
}

std::string WindowTitle(WindowHandle window) {
  char title[256] = {};
  const int length = GetWindowTextA(ToHwnd(window), title, sizeof title);
  return std::string(title, static_cast<std::size_t>(std::max(length, 0)));
}

std::uint32_t WindowProcessId(WindowHandle window) {
  DWORD processId = 0;
  GetWindowThreadProcessId(ToHwnd(window), &processId);
  return processId;
}

WindowHandle FindProcessWindow(const char* className, std::uint32_t processId) {
  HWND window = nullptr;
  for (std::size_t seen = 0; seen < kMostWindowsOfAClass; ++seen) {
    window = FindWindowExA(nullptr, window, className, nullptr);
    if (window == nullptr) return 0;
    const WindowHandle handle = FromHandle(window);
    if (WindowProcessId(handle) == processId) return handle;
  }
  return 0;
}

bool IsProcessWindow(WindowHandle window, const char* className, std::uint32_t processId) {
  char found[257] = {};  // the longest class name and its NUL
  const HWND hwnd = ToHwnd(window);
  return IsWindow(hwnd) && WindowProcessId(window) == processId &&
         GetClassNameA(hwnd, found, sizeof found) > 0 && std::strcmp(found, className) == 0;
}

ProcessHandle OpenProcessHandle(std::uint32_t access, bool inheritHandle, std::uint32_t processId) {
  return FromHandle(OpenProcess(access, inheritHandle ? TRUE : FALSE, processId));
}

void CloseProcessHandle(ProcessHandle process) {
  if (process != 0) CloseHandle(ToHandle(process));
}

bool ProcessHasEnded(ProcessHandle process) {
  return process != 0 && WaitForSingleObject(ToHandle(process), 0) == WAIT_OBJECT_0;
}

std::uint64_t ProcessStartTime(ProcessHandle process) {
  FILETIME created{}, exited{}, kernel{}, user{};
  if (!GetProcessTimes(ToHandle(process), &created, &exited, &kernel, &user)) return 0;
  return std::uint64_t{created.dwHighDateTime} << 32 | created.dwLowDateTime;
}

bool ThisProcessElevated() { return TokenElevated(GetCurrentProcess()).value_or(false); }

std::optional<bool> ProcessElevated(std::uint32_t processId) {
  const OwnedHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  return process ? TokenElevated(process.get()) : std::nullopt;
}

bool ReadProcessByte(ProcessHandle process, std::uint32_t address, std::uint8_t& value) {
  std::uint8_t byte = 0;
  SIZE_T bytesRead = 0;
  const BOOL ok = ReadProcessMemory(ToHandle(process), reinterpret_cast<LPCVOID>(std::uintptr_t{address}),
                                    &byte, 1, &bytesRead);
  if (!ok || bytesRead != 1) return false;
  value = byte;
  return true;
}

bool SetWindowTitle(WindowHandle window, const char* title) {
  // SMTO_BLOCK: the tick never runs other handlers in its middle. A write the
  // game had not taken when the wait ended is cancelled, never delivered late.
  DWORD_PTR taken = FALSE;
  return SendMessageTimeoutA(ToHwnd(window), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(title),
                             SMTO_BLOCK | SMTO_ABORTIFHUNG, kTitleWriteTimeoutMs, &taken) != 0 &&
         taken != FALSE;
}

void PlaySoundFile(const std::u16string& path, std::uint32_t flags) {
  const Winmm& winmm = LoadedWinmm();
  if (winmm.play == nullptr) return;
  // Every file is checked before winmm sees it, by name or not: winmm trusts
  // what a file's header says (see wave_file.h).
  const std::wstring widePath(path.begin(), path.end());
  std::optional<std::string> ansiPath;
  std::optional<std::vector<std::uint8_t>> wave;
  {
    const OwnedFile file(widePath.empty() ? nullptr
                                          : CreateFileW(widePath.c_str(), GENERIC_READ,
                                                        FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    const ReadAt read = FileReader(file.get());
    const std::optional<WaveChunks> chunks =
        file && GetFileSizeEx(file.get(), &size)
            ? FindWaveChunks(static_cast<std::uint64_t>(size.QuadPart), read)
            : std::nullopt;
    // By name, winmm reads the file itself, whatever its size, and stops at
    // its end. A format the check had to change, and any name winmm would
    // open through the ANSI code page and miss, are handed over from memory
    // instead, rebuilt with exact sizes.
    if (chunks && !chunks->formatChanged) ansiPath = ToAnsiExactly(widePath, GetACP());
    if (chunks && !ansiPath) wave = BuildPlayableWave(*chunks, read);
  }  // closed before winmm opens the file by name
  if (ansiPath) {
    winmm.play(ansiPath->c_str(), flags);
    return;
  }
  // An asynchronous sound reads its buffer while it plays, so the last two
  // buffers are kept: starting a sound stops the one before. Nothing to play
  // stops the sound before too, as starting an unplayable one would.
  winmm.play(nullptr, 0);
  if (!wave) return;
  SoundBuffers& buffers = PlayingSounds();
  buffers.previous.swap(buffers.current);
  buffers.current = std::move(*wave);
  winmm.play(reinterpret_cast<LPCSTR>(buffers.current.data()), flags | SND_MEMORY);
}

unsigned SoundDeviceCount() {
  const Winmm& winmm = LoadedWinmm();
  return winmm.deviceCount != nullptr ? winmm.deviceCount() : 0;
}

void LoadSystemDllsFromSystem32Only() {
  if (const SetDefaultDllDirectoriesFunction setDirectories = SetDefaultDllDirectoriesOrNull()) {
    setDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  }
}

void FlashWindowWithInfo(const FlashWindowInfo& info) {
  FLASHWINFO flash{};
  flash.cbSize = sizeof(FLASHWINFO);
  flash.hwnd = ToHwnd(info.hwnd);
  flash.dwFlags = info.dwFlags;
  flash.uCount = info.uCount;
  flash.dwTimeout = info.dwTimeout;
  FlashWindowEx(&flash);
}

}  // namespace harkwell::platform
