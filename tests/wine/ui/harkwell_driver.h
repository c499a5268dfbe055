// Drives Harkwell.exe and the simulated game from a test program: starts them,
// finds their windows, clicks, reads texts, and waits with bounded polling.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "tests/wine/game_process.h"
#include "tools/simgame/simgame_protocol.h"
#include "ui/control_ids.h"

namespace harkwell::uitest {

using namespace std::chrono_literals;

using test::ProgramDirectory;

// Polls `condition` until it holds or `timeout` passes, pumping this thread's
// messages meanwhile. Returns whether it held.
inline bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 10s) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    std::this_thread::sleep_for(20ms);
  }
}

inline std::string WindowText(HWND window) {
  char text[1024] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

// The text a control holds itself, such as a combo box's edit text, which
// GetWindowText does not read from another process.
inline std::string ControlText(HWND control) {
  char text[1024] = {};
  DWORD_PTR length = 0;
  SendMessageTimeoutA(control, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                      5000, &length);
  return text;
}

inline std::string ClassOf(HWND window) {
  char name[256] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

inline DWORD ProcessOf(HWND window) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  return process;
}

// A top-level window of `windowClass` (and `title`, unless null) owned by `process`.
inline HWND FindProcessWindow(DWORD process, const char* windowClass, const char* title = nullptr) {
  HWND window = nullptr;
  while ((window = FindWindowExA(nullptr, window, windowClass, title)) != nullptr) {
    if (ProcessOf(window) == process) return window;
  }
  return nullptr;
}

struct Process {
  PROCESS_INFORMATION info{};

  Process() = default;
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  ~Process() { Kill(); }

  bool Start(std::string commandLine) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    return CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &info) != FALSE;
  }
  bool Running() const {
    return info.hProcess != nullptr && WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT;
  }
  bool WaitForExit(std::chrono::milliseconds timeout = 10s) {
    return info.hProcess == nullptr ||
           WaitForSingleObject(info.hProcess, static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0;
  }
  void Kill() {
    if (info.hProcess == nullptr) return;
    if (Running()) TerminateProcess(info.hProcess, 1);
    WaitForSingleObject(info.hProcess, 10000);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    info = {};
  }
};

// The simulated game, commanded through WM_COPYDATA.
struct Game {
  Process process;
  HWND window = nullptr;

  bool Start(const std::string& arguments = "--marker 0xC0") {
    if (!process.Start("\"" + ProgramDirectory() + "simgame.exe\" " + arguments)) return false;
    return WaitFor([&] {
      window = FindProcessWindow(process.info.dwProcessId, simgame::kWindowClass);
      return window != nullptr;
    });
  }
  bool Command(const std::string& text) {
    COPYDATASTRUCT data{simgame::kCopyDataTag, static_cast<DWORD>(text.size()),
                        const_cast<char*>(text.data())};
    return SendMessageA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)) != FALSE;
  }
  std::string Title() const { return WindowText(window); }
  void Stop() {
    process.Kill();
    window = nullptr;
  }
};

// Harkwell.exe and its windows.
struct Harkwell {
  Process process;
  HWND form1 = nullptr;

  bool Start() {
    if (!process.Start("\"" + ProgramDirectory() + "Harkwell.exe\"")) return false;
    return WaitFor([&] {
      form1 = FindProcessWindow(process.info.dwProcessId, ui::kForm1Class);
      return form1 != nullptr && IsWindowVisible(form1);
    });
  }

  // Closes the main window as its close box does and waits for the program to end.
  bool Exit() {
    PostMessageA(form1, WM_CLOSE, 0, 0);
    return process.WaitForExit();
  }

  HWND Control(int id) const {
    HWND control = GetDlgItem(form1, id);
    return control != nullptr ? control : GetDlgItem(GetDlgItem(form1, ui::kFrameSettings), id);
  }
  std::string Caption(int id) const { return WindowText(Control(id)); }

  // Posted, never sent: a button that opens a modal box would block a sender.
  void Click(int id) const { PostMessageA(Control(id), BM_CLICK, 0, 0); }
  void Tick(int id, bool ticked) const {
    SendMessageA(Control(id), BM_SETCHECK, ticked ? BST_CHECKED : BST_UNCHECKED, 0);
  }

  // A "#32770" window with `title` owned by Harkwell, once it shows.
  HWND WaitForDialog(const char* title, std::chrono::milliseconds timeout = 10s) const {
    HWND dialog = nullptr;
    WaitFor(
        [&] {
          dialog = FindProcessWindow(process.info.dwProcessId, "#32770", title);
          return dialog != nullptr && IsWindowVisible(dialog);
        },
        timeout);
    return dialog;
  }

  // Clicks Begin/Stop and returns the text of the message box it shows, after
  // closing the box; empty when no box appeared before the caption changed.
  std::string ClickBegin() const {
    const std::string before = Caption(ui::kCmdBegin);
    Click(ui::kCmdBegin);
    HWND box = nullptr;
    WaitFor([&] {
      box = FindProcessWindow(process.info.dwProcessId, "#32770", "Harkwell");
      return (box != nullptr && IsWindowVisible(box)) || Caption(ui::kCmdBegin) != before;
    });
    if (box == nullptr) return {};
    char text[512] = {};
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    WaitFor([&] { return !IsWindow(box); });
    return text;
  }

  // Picks `path` in the Select Sound dialog opened by the button `id`; an
  // empty path cancels. Returns the file name the dialog was preset with.
  std::string ChooseSound(int id, const std::string& path) const {
    Click(id);
    HWND dialog = WaitForDialog("Select Sound");
    if (dialog == nullptr) return "<no dialog>";
    HWND fileName = nullptr;
    WaitFor([&] { return (fileName = GetDlgItem(dialog, 0x47C)) != nullptr; });
    // The dialog may fill in its preset just after it shows.
    std::string preset;
    WaitFor([&] { return !(preset = ControlText(fileName)).empty(); }, 1s);
    if (path.empty()) {
      PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    } else {
      SetWindowTextA(fileName, path.c_str());
      PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    }
    WaitFor([&] { return !IsWindow(dialog); });
    return preset;
  }
};

// Asks the notification area whether Harkwell's icon (its window, id 1) is
// there: modifying nothing succeeds only for an icon that exists.
inline bool TrayIconExists(HWND form1) {
  NOTIFYICONDATAA probe{};
  probe.cbSize = NOTIFYICONDATAA_V1_SIZE;
  probe.hWnd = form1;
  probe.uID = 1;
  return Shell_NotifyIconA(NIM_MODIFY, &probe) != FALSE;
}

}  // namespace harkwell::uitest
