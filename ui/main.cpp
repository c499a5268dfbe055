// Harkwell's entry point: the main window and a dialog-style message loop, so
// that Tab, Enter and the access keys work in both windows.
#include <windows.h>

#include <commctrl.h>
#include <ole2.h>

#include <iterator>
#include <string>

#include "platform/owned.h"
#include "platform/platform.h"
#include "ui/control_ids.h"
#include "ui/form1.h"
#include "ui/form2.h"
#include "ui/keyboard.h"
#include "ui/layout.h"
#include "ui/read_command_line.h"
#include "ui/texts.h"

namespace {

// A second start brings the running Harkwell to the front, out of the tray
// if it is there. That one may still be making its window: wait for it a
// little. Returns whether it was found.
bool ShowRunningHarkwell() {
  constexpr int kLooks = 50;
  constexpr DWORD kLookIntervalMs = 100;
  for (int look = 0; look < kLooks; ++look) {
    if (HWND running = FindWindowA(harkwell::ui::kForm1Class, nullptr)) {
      DWORD process = 0;
      GetWindowThreadProcessId(running, &process);
      // Ours is the foreground program now; it lets the running one take over.
      AllowSetForegroundWindow(process);
      PostMessageA(running, harkwell::ui::kShowYourselfMessage, 0, 0);
      return true;
    }
    Sleep(kLookIntervalMs);
  }
  return false;
}

}  // namespace

// Named as winbase.h declares it, so that both declarations agree.
int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int nShowCmd) {
  // Before anything can load a DLL on our behalf: the file dialog, the shell
  // and theming load DLLs that Windows would otherwise look for here first.
  harkwell::platform::LoadSystemDllsFromSystem32Only();
  using harkwell::ui::StartKind;
  harkwell::ui::CommandLine commandLine = harkwell::ui::ReadCommandLine();
  // Held until Harkwell ends. "Already exists" means a second start, and so
  // may "access denied": the running one is elevated and this one is not.
  // Any other mutex that cannot be made must not keep Harkwell from running.
  const bool usage = commandLine.kind == StartKind::kShowUsage;
  const harkwell::platform::OwnedHandle instance(
      usage ? nullptr : CreateMutexW(nullptr, FALSE, harkwell::ui::kInstanceMutex));
  const DWORD mutexError = usage ? ERROR_SUCCESS : GetLastError();
  if (instance && mutexError == ERROR_ALREADY_EXISTS) {
    ShowRunningHarkwell();
    return 0;
  }
  // Not found: someone else holds a mutex of that name.
  if (!instance && mutexError == ERROR_ACCESS_DENIED && ShowRunningHarkwell()) return 0;
  if (commandLine.kind != StartKind::kRun) {
    const std::wstring title(std::begin(harkwell::ui::kApplicationTitle),
                             std::end(harkwell::ui::kApplicationTitle) - 1);
    MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(commandLine.message.c_str()), title.c_str(),
                MB_OK | (usage ? MB_ICONINFORMATION : MB_ICONERROR));
    if (usage) return 0;
    commandLine.options = {};  // a plain start after a bad command line
  }

  // The open-file dialog hosts shell components, which need COM on this thread.
  const HRESULT ole = OleInitialize(nullptr);
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  const int dpi = harkwell::ui::ScreenDpi();
  harkwell::ui::form2::Register(hInstance, dpi);
  HWND form = harkwell::ui::form1::Create(hInstance, dpi, commandLine.options.tray);
  if (form == nullptr) return 1;
  harkwell::ui::form1::ApplyStartOptions(commandLine.options, nShowCmd);

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (harkwell::ui::HandleDialogKeys(message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }

  if (SUCCEEDED(ole)) OleUninitialize();
  return static_cast<int>(message.wParam);
}
