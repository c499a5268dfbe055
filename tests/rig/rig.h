// One rig for every Windows program that drives Harkwell and the simulated
// game from outside: the tests, the benchmarks and the demo. It starts
// processes with owned handles, finds their windows, clicks, reads texts, and
// waits only for events, each wait bounded: a window appearing, a title, or a
// number of ticks on the simulated game's own clock (its count of title writes).
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/owned.h"
#include "tests/expected.h"

namespace harkwell::rig {

using namespace std::chrono_literals;

// Polls `condition` until it holds or `timeout` passes, pumping this thread's
// messages meanwhile. Returns whether it held.
bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 10s);

std::string WindowText(HWND window);  // the whole text, however long
DWORD ProcessOf(HWND window);
// A top-level window of `windowClass` (and `title`, unless null) owned by `process`.
HWND FindProcessWindow(DWORD process, const char* windowClass, const char* title = nullptr);
// Whether the window's thread handles a message within `timeout`.
bool Answers(HWND window, std::chrono::milliseconds timeout = 5s);

std::string ProgramDirectory();  // this program's folder, with a trailing backslash
// The Windows path of an absolute Unix path, through Wine's drive Z:; empty
// for anything else.
std::string FromUnixPath(const char* unixPath);
// A file the build made for 32-bit Windows (in HARKWELL_I686_BIN, a Unix
// path) or for 64-bit Windows (in this program's folder).
std::string BuiltFile(bool x86, const std::string& name);
// The Harkwell.exe under test: the built one, unless HARKWELL_WIN32_EXE or
// HARKWELL_WIN64_EXE (Unix paths) name another, such as a release zip's.
std::string HarkwellExe(bool x86);
std::string Utf8(const std::wstring& text);
std::wstring Wide(const std::string& text);         // from the ANSI code page
std::wstring TempFolder(const std::wstring& name);  // made if missing, trailing backslash

using platform::OwnedHandle;

// A program this rig started, ended (killed if need be) when the owner goes.
class Process {
 public:
  Process() = default;
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  ~Process() { Kill(); }

  // `folder` is the new process's current folder; empty: this one's.
  bool Start(const std::wstring& commandLine, const std::wstring& folder = {});
  bool Running() const;
  bool WaitForExit(std::chrono::milliseconds timeout = 10s) const;
  void Kill();
  DWORD Id() const { return id_; }
  HANDLE Handle() const { return process_.get(); }

 private:
  OwnedHandle process_;
  DWORD id_ = 0;
};

// The simulated game, commanded through its window.
class Game {
 public:
  // Starts simgame.exe, from this program's folder unless `exe` says, and
  // waits for its window.
  bool Start(const std::string& arguments = "--marker 0xC0",
             const std::string& exe = ProgramDirectory() + "simgame.exe");
  void Stop();

  bool Command(const std::string& text) const;  // applied at once
  bool Queue(const std::string& text) const;    // applied inside the next title write
  std::string Title() const { return WindowText(window_); }
  bool WaitForTitle(const std::string& title, std::chrono::milliseconds timeout = 10s) const;
  // The game's clock: the title writes it has received, or -1 when it does not answer.
  long TitleWrites() const;
  // Waits for `ticks` more title writes: a monitor writes the title once a tick
  // while no announcement is up, so this is `ticks` quiet ticks.
  bool WaitTicks(int ticks) const;
  // Every distinct title seen while waiting for `ticks` quiet ticks, or
  // until the title reads `until`.
  std::vector<std::string> TitlesOverTicks(int ticks, const std::string& until = {}) const;
  // Has the game close its window and open another, and follows it there.
  bool ReplaceWindow();

  HWND Window() const { return window_; }
  DWORD ProcessId() const { return ProcessOf(window_); }
  Process& OwnProcess() { return process_; }

 private:
  bool Send(std::uint32_t tag, const std::string& text) const;
  Process process_;
  HWND window_ = nullptr;
};

// Harkwell.exe and its windows.
class Harkwell {
 public:
  // Both wait first until no Harkwell runs any more: a start beside a
  // running one would only bring that one to the front.
  bool Start(const std::string& exe = ProgramDirectory() + "Harkwell.exe");
  // Starts `exe` with a command line as a shortcut gives it, in `folder`, and
  // returns at once: it may show a box before its window.
  bool Launch(const std::wstring& arguments, const std::wstring& folder = {},
              const std::string& exe = ProgramDirectory() + "Harkwell.exe");
  // Waits for the main window: shown, or with `shown` false, made but hidden.
  bool WaitForMain(bool shown = true);
  // Closes the main window as its close box does and waits for the program to end.
  bool Exit();

  HWND Form1() const { return form1_; }
  DWORD ProcessId() const { return process_.Id() != 0 ? process_.Id() : ProcessOf(form1_); }
  Process& OwnProcess() { return process_; }
  bool Running() const { return IsWindow(form1_) != FALSE; }
  HWND Control(int id) const;
  std::string Caption(int id) const { return WindowText(Control(id)); }
  // Posted, never sent: a button that opens a modal box would block a sender.
  void Click(int id) const;
  void SetChecked(int id, bool ticked) const;
  bool IsTicked(int id) const;
  // Minimises the main window into the tray, or double-clicks its icon (or `report`s), and
  // waits for the window to hide and the icon to show, or the other way round.
  bool ToTray(std::chrono::milliseconds timeout = 10s) const;
  bool FromTray(std::chrono::milliseconds timeout = 10s, LPARAM report = WM_LBUTTONDBLCLK) const;
  // Returns once every message posted to Harkwell before it has been handled.
  bool Flush() const;

  // Harkwell's top-level window of `windowClass` (and `title`), once it shows.
  HWND WaitForWindow(const char* windowClass, const char* title = nullptr,
                     std::chrono::milliseconds timeout = 10s) const;
  // Clicks Begin/Stop and returns the text of the message box it shows, after
  // closing the box; empty when none appeared before the caption changed,
  // and kNothingHappened when neither did.
  std::string ClickBegin() const;
  static constexpr char kNothingHappened[] = "<neither a box nor a new caption>";
  // Harkwell's message box, once it shows, or nullptr.
  HWND WaitForMessageBox() const { return WaitForWindow("#32770", expected::kTitle); }
  // The box's text, after pressing its OK.
  static std::string CloseMessageBox(HWND box);
  // Types `path` into the Select Sound dialog opened by the button `id` and
  // confirms it; an empty path cancels. Returns the file name the dialog was
  // preset with, or "<no dialog>".
  std::string ChooseSound(int id, const std::wstring& path) const;

 private:
  Process process_;
  HWND form1_ = nullptr;
};

// A control of the main window, on the window or inside its group box.
HWND ControlOf(HWND form1, int id);
// Whether the notification area holds Harkwell's icon (its window, id 1).
bool TrayIconExists(HWND form1);

// ---------------------------------------------------------------- sounds

// A 16-bit mono WAV at 22.05 kHz whose every sample is `value`, so that the
// device's output tells which file was played and whether all of it arrived.
struct TestSound {
  std::uint16_t value;
  unsigned milliseconds;
  std::size_t Bytes() const { return std::size_t{22050} * milliseconds / 1000 * 2; }
};
std::string WaveFile(TestSound sound);
void WriteFile(const std::wstring& path, const std::string& bytes);

// What the file-backed wave device of the tests played: a test's HOME holds an
// .asoundrc that starts a new file for every sound, named by the environment
// variable HARKWELL_PLAYED_RAW (played.raw, played.raw.0001, ...).
struct PlayedSound {
  std::size_t bytes = 0;
  std::uint16_t value = 0;  // the one sample value of the file; 0 when mixed
};
std::vector<PlayedSound> PlayedSounds();
void ForgetPlayedSounds();
// Waits until the sounds played so far are exactly `expected`, each in full, in order.
bool PlayedExactly(const std::vector<TestSound>& expected, std::chrono::milliseconds timeout = 10s);
std::string Describe(const std::vector<PlayedSound>& played);

}  // namespace harkwell::rig
