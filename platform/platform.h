// The calls the monitor and the notifications make into Windows and the game.
// Two implementations exist: the real Win32 one and a simulated game for host
// tests; a program links exactly one of them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace harkwell::platform {

// Window and process handles cross this layer as 32-bit values; 0 means none.
using WindowHandle = std::uint32_t;
using ProcessHandle = std::uint32_t;

// The top-level windows of that class, front to back; at most a bound far
// above what a desktop holds.
std::vector<WindowHandle> TopLevelWindows(const char* className);

// GetWindowTextA of another program's window, which asks nothing of that
// program, so it cannot be held up by it; empty when there is none.
std::string WindowTitle(WindowHandle window);

// GetWindowThreadProcessId: the id of the process owning `window`, or 0.
std::uint32_t WindowProcessId(WindowHandle window);

// A top-level window of that class owned by `processId`, or 0.
WindowHandle FindProcessWindow(const char* className, std::uint32_t processId);

// Whether `window` exists, is of that class and is owned by `processId`.
bool IsProcessWindow(WindowHandle window, const char* className, std::uint32_t processId);

// OpenProcess: a process handle, or 0 on failure.
ProcessHandle OpenProcessHandle(std::uint32_t access, bool inheritHandle, std::uint32_t processId);

// CloseHandle on a handle from OpenProcessHandle.
void CloseProcessHandle(ProcessHandle process);

// Whether the process has ended (its handle is signalled); false when that
// cannot be told.
bool ProcessHasEnded(ProcessHandle process);

// When the process started, in the system's 100 ns units; 0 when unknown.
std::uint64_t ProcessStartTime(ProcessHandle process);

// Whether the token of this process says it runs elevated; false when that
// cannot be told.
bool ThisProcessElevated();
// Whether the token of that process says it runs elevated; nullopt when that
// cannot be told, as a process run as administrator may keep its token from us.
std::optional<bool> ProcessElevated(std::uint32_t processId);

// ReadProcessMemory of exactly one byte. Returns whether the byte was read;
// `value` is left untouched when it was not.
bool ReadProcessByte(ProcessHandle process, std::uint32_t address, std::uint8_t& value);

// SetWindowTextA: the bytes of `title` pass through unchanged. Returns whether
// the window took the title; false when it did not answer in time or is gone.
bool SetWindowTitle(WindowHandle window, const char* title);

// Plays a sound file; `path` is UTF-16 as Windows names files, so that any
// file the user can choose can also be played. `flags` are the sndPlaySound flags.
void PlaySoundFile(const std::u16string& path, std::uint32_t flags);
// The path in `codePage` (the ANSI code page, when playing), when every
// character of it is there: the form in which winmm can open the file by
// name. Windows only.
std::optional<std::string> ToAnsiExactly(const std::wstring& path, std::uint32_t codePage);

// waveOutGetNumDevs: the wave output devices there are; 0 when winmm itself
// cannot be loaded.
unsigned SoundDeviceCount();

// Makes every DLL loaded from now on on the program's behalf come from
// System32 alone, never from the program's folder or the current one.
// Call it first thing: on a Windows without the means it does nothing.
void LoadSystemDllsFromSystem32Only();

// The FLASHWINFO record as the program fills it; the Win32 layer gives it
// the size its own FLASHWINFO has, the only one the call accepts.
struct FlashWindowInfo {
  WindowHandle hwnd = 0;
  std::uint32_t dwFlags = 0;
  std::uint32_t uCount = 0;
  std::uint32_t dwTimeout = 0;
};

// FlashWindowEx.
void FlashWindowWithInfo(const FlashWindowInfo& info);

}  // namespace harkwell::platform
