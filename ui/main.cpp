// Harkwell's entry point: the main window and a dialog-style message loop, so
// that Tab, Enter and the access keys work in both windows.
#include <windows.h>

#include <commctrl.h>
#include <ole2.h>

#include "ui/form1.h"
#include "ui/form2.h"
#include "ui/layout.h"

namespace {

bool IsTabKey(const MSG& message) {
  if (message.message != WM_KEYDOWN || message.wParam != VK_TAB) return false;
  const LRESULT code =
      SendMessageA(message.hwnd, WM_GETDLGCODE, message.wParam, reinterpret_cast<LPARAM>(&message));
  return (code & (DLGC_WANTTAB | DLGC_WANTALLKEYS)) == 0;
}

bool IsDialogStyleMessage(MSG& message) {
  if (message.hwnd == nullptr) return false;
  HWND root = GetAncestor(message.hwnd, GA_ROOT);
  if (root == nullptr) return false;
  if (root != harkwell::ui::form1::Window() && root != harkwell::ui::form2::Window()) return false;
  // For a window that is not a dialog the dialog manager tabs in z-order,
  // which is not the main window's order; the window moves the focus itself.
  if (IsTabKey(message)) {
    SendMessageA(root, WM_NEXTDLGCTL, (GetKeyState(VK_SHIFT) & 0x8000) != 0, 0);
    return true;
  }
  return IsDialogMessageA(root, &message) != FALSE;
}

}  // namespace

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
    if (IsDialogStyleMessage(message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }

  if (SUCCEEDED(ole)) OleUninitialize();
  return static_cast<int>(message.wParam);
}
