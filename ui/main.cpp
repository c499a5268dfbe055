// Harkwell's entry point: the main window and a dialog-style message loop, so
// that Tab, Enter and the access keys work in both windows.
#include <windows.h>

#include <commctrl.h>
#include <ole2.h>

#include "ui/form1.h"
#include "ui/form2.h"
#include "ui/keyboard.h"
#include "ui/layout.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  // The open-file dialog hosts shell components, which need COM on this thread.
  const HRESULT ole = OleInitialize(nullptr);
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  const int dpi = harkwell::ui::ScreenDpi();
  harkwell::ui::form2::Register(instance, dpi);
  HWND form = harkwell::ui::form1::Create(instance, dpi);
  if (form == nullptr) return 1;
  ShowWindow(form, showCommand);
  UpdateWindow(form);

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (harkwell::ui::HandleDialogKeys(message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }

  if (SUCCEEDED(ole)) OleUninitialize();
  return static_cast<int>(message.wParam);
}
