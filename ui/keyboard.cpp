// Keyboard navigation of the main window: Tab and Shift+Tab in the designed
// order, Enter on the focused button, and the dialog keys of both windows.
#include "ui/keyboard.h"

#include <array>

#include "ui/control_ids.h"
#include "ui/form1.h"
#include "ui/form2.h"

namespace harkwell::ui {
namespace {

// Keyboard order. The z-order cannot give it, because the leave column's two
// window-level controls must be above the group box yet come after its
// contents, so Tab follows this list instead.
constexpr std::array kTabOrder{kCmdBegin,     kCmdExit,       kCmdAbout,     kChkPlayJoin,  kCmdSoundJoin,
                               kChkFlashJoin, kChkFlashLeave, kChkPlayLeave, kCmdSoundLeave};

void MoveFocus(bool backwards) {
  const HWND focus = GetFocus();
  const int count = static_cast<int>(kTabOrder.size());
  int current = -1;
  for (int i = 0; i < count; ++i) {
    if (form1::Control(kTabOrder[i]) == focus) current = i;
  }
  for (int step = 1; step <= count; ++step) {
    const int index = current < 0 ? (backwards ? count - step : step - 1)
                                  : ((current + (backwards ? -step : step)) % count + count) % count;
    HWND candidate = form1::Control(kTabOrder[index]);
    if (IsWindowVisible(candidate) && IsWindowEnabled(candidate)) {
      SetFocus(candidate);
      return;
    }
  }
}

bool IsTabKey(const MSG& message) {
  if (message.message != WM_KEYDOWN || message.wParam != VK_TAB) return false;
  const LRESULT code =
      SendMessageA(message.hwnd, WM_GETDLGCODE, message.wParam, reinterpret_cast<LPARAM>(&message));
  return (code & (DLGC_WANTTAB | DLGC_WANTALLKEYS)) == 0;
}

}  // namespace

namespace form1 {

void NextDialogControl(WPARAM wParam, LPARAM lParam) {
  if (LOWORD(lParam) != 0) {
    SetFocus(reinterpret_cast<HWND>(wParam));
  } else {
    MoveFocus(wParam != 0);
  }
}

LRESULT FocusedButtonId() {
  const HWND focus = GetFocus();
  for (int id : {kCmdBegin, kCmdExit, kCmdAbout, kCmdSoundJoin, kCmdSoundLeave}) {
    if (focus != nullptr && Control(id) == focus) return MAKELRESULT(id, DC_HASDEFID);
  }
  return 0;
}

}  // namespace form1

bool HandleDialogKeys(MSG& message) {
  if (message.hwnd == nullptr) return false;
  HWND root = GetAncestor(message.hwnd, GA_ROOT);
  if (root == nullptr || (root != form1::Window() && root != form2::Window())) return false;
  // For a window that is not a dialog the dialog manager tabs in z-order,
  // which is not the main window's order; the window moves the focus itself.
  if (IsTabKey(message)) {
    SendMessageA(root, WM_NEXTDLGCTL, (GetKeyState(VK_SHIFT) & 0x8000) != 0, 0);
    return true;
  }
  return IsDialogMessageA(root, &message) != FALSE;
}

}  // namespace harkwell::ui
