// Minimising hides the main window behind an icon in the notification area; a
// left double-click on the icon brings it back.
#include <windows.h>

#include <shellapi.h>

#include <cstddef>
#include <cstring>

#include "notify/title.h"
#include "ui/form1.h"
#include "ui/form2.h"

namespace harkwell::ui::form1 {
namespace {

// The first, single-byte form of the record. On 32-bit Windows it is the
// 88-byte layout with its 64-byte tip; 64-bit Windows has wider handles and
// so its own size for the same form.
constexpr DWORD kTrayRecordSize = NOTIFYICONDATAA_V1_SIZE;
#ifndef _WIN64
static_assert(kTrayRecordSize == 88);
#endif
// The first form ends with a 64-byte tip; later forms lengthen the field.
constexpr size_t kTipSize = 64;
static_assert(offsetof(NOTIFYICONDATAA, szTip) + kTipSize == kTrayRecordSize);

constexpr UINT kTrayIconId = 1;
constexpr UINT kTrayFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
// The tray reports mouse events as WM_LBUTTONDOWN with the event's message
// number in the low 16 bits of lParam, which reads as the x coordinate.
constexpr UINT kTrayCallbackMessage = WM_LBUTTONDOWN;
constexpr int kTrayDoubleClick = WM_LBUTTONDBLCLK;

// Zero until the first minimise; afterwards it names the icon added last.
NOTIFYICONDATAA trayIconData;

void FillTrayIconData(HWND form) {
  trayIconData.cbSize = kTrayRecordSize;
  trayIconData.hWnd = form;
  trayIconData.uID = kTrayIconId;
  trayIconData.uFlags = kTrayFlags;
  trayIconData.uCallbackMessage = kTrayCallbackMessage;
  trayIconData.hIcon = reinterpret_cast<HICON>(GetClassLongPtrA(form, GCLP_HICONSM));
  // The caption, its NUL, and blanks up to the end of the field.
  char caption[kTipSize] = {};
  GetWindowTextA(form, caption, sizeof(caption));
  std::memset(trayIconData.szTip, ' ', kTipSize);
  std::memcpy(trayIconData.szTip, caption, std::strlen(caption) + 1);
}

// Hidden without an icon, the window could never be reached again. An icon
// already there (added as the window was created minimised) will do.
void AddIconOrShowWindow(HWND form) {
  if (!Shell_NotifyIconA(NIM_ADD, &trayIconData) && !Shell_NotifyIconA(NIM_MODIFY, &trayIconData))
    RestoreFromTray(form);
}

}  // namespace

void RestoreFromTray(HWND form) {
  ShowWindow(form, SW_RESTORE);  // Form_Resize runs and removes the icon
  ShowWindow(form, SW_SHOW);
  SetForegroundWindow(form);
}

void Form_Resize(HWND form) {
  if (IsIconic(form)) {
    ShowWindow(form, SW_HIDE);
    FillTrayIconData(form);
    AddIconOrShowWindow(form);
  } else {
    Shell_NotifyIconA(NIM_DELETE, &trayIconData);
  }
}

void Form_MouseDown(HWND form, int /*button*/, int /*shift*/, int x, int /*y*/) {
  if (x == kTrayDoubleClick) RestoreFromTray(form);
}

void Form_Unload(HWND /*form*/) {
  Shell_NotifyIconA(NIM_DELETE, &trayIconData);
  // An announcement left in the game's title would stay there until the
  // game restarts.
  PutBackGameTitle();
  form2::Unload();
  PostQuitMessage(0);
}

void TaskbarCreated(HWND form) {
  // Only while hidden in the tray: the new notification area has lost our icon.
  if (IsIconic(form) && !IsWindowVisible(form)) AddIconOrShowWindow(form);
}

}  // namespace harkwell::ui::form1
