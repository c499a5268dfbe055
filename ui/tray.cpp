// Minimising hides the main window behind an icon in the notification area; a
// left double-click on the icon, or choosing it by keyboard, brings it back.
// With /notify the icon also tells each announcement as a notification.
#include <windows.h>

#include <shellapi.h>

#include <cstddef>
#include <cstring>

#include "notify/title.h"
#include "ui/form1.h"
#include "ui/form2.h"
#include "ui/texts.h"

namespace harkwell::ui::form1 {
namespace {

// The record's current form (Windows Vista and later), as version 4 of the
// notification area's interface asks: the icon then reports a keyboard
// selection on its own, and the record holds a notification.
constexpr DWORD kTrayRecordSize = sizeof(NOTIFYICONDATAA);
#ifndef _WIN64
static_assert(kTrayRecordSize == 508);
#endif
constexpr UINT kTrayVersion = NOTIFYICON_VERSION_4;
constexpr size_t kTipSize = sizeof(NOTIFYICONDATAA::szTip);

constexpr UINT kTrayIconId = 1;
// Version 4 shows the standard tip only when asked to.
constexpr UINT kTrayFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP;
// The tray reports events as WM_LBUTTONDOWN with the event's number in the low
// 16 bits of lParam, which reads as the x coordinate (version 4 puts the
// icon's id in the high 16 bits, read as y and not looked at).
constexpr UINT kTrayCallbackMessage = WM_LBUTTONDOWN;
constexpr int kTrayDoubleClick = WM_LBUTTONDBLCLK;
// Enter or Space on the icon, reached by keyboard. Neither it nor a single
// click's NIN_SELECT can be a real press's x (form1.cpp checks the width).
constexpr int kTrayKeySelect = NIN_KEYSELECT;

// Zero until the first minimise; afterwards it names the icon added last.
NOTIFYICONDATAA trayIconData;

void FillTrayIconData(HWND form) {
  trayIconData.cbSize = kTrayRecordSize;
  trayIconData.hWnd = form;
  trayIconData.uID = kTrayIconId;
  trayIconData.uFlags = kTrayFlags;
  trayIconData.uCallbackMessage = kTrayCallbackMessage;
  trayIconData.hIcon = reinterpret_cast<HICON>(GetClassLongPtrA(form, GCLP_HICONSM));
  trayIconData.uVersion = kTrayVersion;
  // The caption, its NUL, and blanks up to the end of the field.
  char caption[kTipSize] = {};
  GetWindowTextA(form, caption, sizeof(caption));
  std::memset(trayIconData.szTip, ' ', kTipSize);
  std::memcpy(trayIconData.szTip, caption, std::strlen(caption) + 1);
}

// Hidden without an icon, the window could never be reached again. An icon
// already there (added as the window was created minimised) will do. An icon
// added anew starts at the first version, so the version follows each add.
void AddIconOrShowWindow(HWND form) {
  if (!Shell_NotifyIconA(NIM_ADD, &trayIconData) && !Shell_NotifyIconA(NIM_MODIFY, &trayIconData))
    return RestoreFromTray(form);
  Shell_NotifyIconA(NIM_SETVERSION, &trayIconData);
}

bool InTray(HWND form) { return IsIconic(form) && !IsWindowVisible(form); }

// As many whole characters of `text` as fit before the field's NUL. The text
// is read in the ANSI code page, as SetWindowTextA reads the game's title.
template <size_t size>
void CopyWholeCharacters(char (&field)[size], const char* text) {
  const char* end = text;
  for (const char* next = CharNextA(end); next != end && static_cast<size_t>(next - text) < size;
       next = CharNextA(end)) {
    end = next;
  }
  std::memcpy(field, text, static_cast<size_t>(end - text));
  field[end - text] = '\0';
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
  if (x == kTrayDoubleClick || x == kTrayKeySelect) RestoreFromTray(form);
}

void NotifyFromTray(HWND form, const std::string& announcement) {
  if (!InTray(form)) return;
  NOTIFYICONDATAA notice{};
  notice.cbSize = kTrayRecordSize;
  notice.hWnd = form;
  notice.uID = kTrayIconId;
  notice.uFlags = NIF_INFO;
  CopyWholeCharacters(notice.szInfo, announcement.c_str());
  CopyWholeCharacters(notice.szInfoTitle, kApplicationTitle);
  // Harkwell's own sounds are the only ones. Quiet time is not respected: the
  // user asked for these, and one sent then would be dropped, not held back.
  notice.dwInfoFlags = NIIF_NONE | NIIF_NOSOUND;
  Shell_NotifyIconA(NIM_MODIFY, &notice);
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
  if (InTray(form)) AddIconOrShowWindow(form);
}

}  // namespace harkwell::ui::form1
