// The About window: title, version, credit, two links that open their targets,
// a line of thanks and a Close button.
#include "ui/form2.h"

#include <windows.h>

#include <shellapi.h>

#include <string>

#include "platform/owned.h"
#include "ui/control_ids.h"
#include "ui/form1.h"
#include "ui/layout.h"
#include "ui/texts.h"
#include "ui/version.h"

namespace harkwell::ui::form2 {
namespace {

constexpr int kClientWidth = 3045;  // twips
constexpr int kClientHeight = 2190;
// Fixed frame with a close box only; WS_EX_DLGMODALFRAME keeps the caption
// free of an icon, as the window has none of its own.
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME;
constexpr int kIconTwips = 480;
constexpr COLORREF kLinkColour = RGB(0, 0, 255);

// One line each: where a substitute font runs wider than MS Sans Serif, the
// text ends in an ellipsis instead of wrapping into a line that is cut off.
constexpr DWORD kRight = SS_RIGHT | SS_NOPREFIX | SS_ENDELLIPSIS;
constexpr ControlSpec kImage1Layout{kImage1, "Static", nullptr, SS_ICON, 120, 120, kIconTwips, kIconTwips};
constexpr ControlSpec kLabel1Layout{kForm2Label1, "Static", "", kRight, 720, 120, 2175, 495};
constexpr ControlSpec kLabel2Layout{kForm2Label2, "Static", "", kRight, 720, 720, 2175, 255};
constexpr ControlSpec kLabel3Layout{kForm2Label3, "Static", kCreditLine, kRight, 1080, 960, 1815, 255};
constexpr ControlSpec kLabel4Layout{kForm2Label4, "Static", kSiteLabel, kRight | SS_NOTIFY,
                                    2160,         1320,     735,        255};
constexpr ControlSpec kLabel5Layout{kForm2Label5, "Static", kEmailLabel, kRight | SS_NOTIFY,
                                    2040,         1560,     855,         255};
constexpr ControlSpec kLabel6Layout{
    kForm2Label6, "Static", kThanksLine, SS_CENTER | SS_NOPREFIX | SS_ENDELLIPSIS, 120, 1920, 2775, 255};
constexpr ControlSpec kCommand1Layout{kCommand1, "Button", kCloseCaption, BS_PUSHBUTTON | WS_TABSTOP,
                                      120,       1320,     855,           495};

struct Form2State {
  HINSTANCE instance = nullptr;
  int dpi = USER_DEFAULT_SCREEN_DPI;
  platform::OwnedWindow window;
  platform::OwnedFont textFont;
  platform::OwnedFont titleFont;
  platform::OwnedFont linkFont;
  platform::OwnedIcon picture;
};
Form2State state;

std::string VersionLine() {
  return kVersionPrefix + std::to_string(HARKWELL_VERSION_MAJOR) + "." +
         std::to_string(HARKWELL_VERSION_MINOR) + "." + std::to_string(HARKWELL_VERSION_REVISION);
}

void CreateControls(HWND form) {
  const int dpi = state.dpi;
  state.textFont = CreatePointFont("MS Sans Serif", 825, dpi);
  state.titleFont = CreatePointFont("Verdana", 2025, dpi, /*bold=*/true);
  state.linkFont = CreatePointFont("MS Sans Serif", 825, dpi, /*bold=*/false, /*underline=*/true);

  HWND image = CreateControl(form, kImage1Layout, dpi, nullptr);
  const int iconSize = TwipsToPixels(kIconTwips, dpi);
  state.picture.reset(static_cast<HICON>(
      LoadImageA(state.instance, MAKEINTRESOURCEA(kProgramIconId), IMAGE_ICON, iconSize, iconSize, 0)));
  SendMessageA(image, STM_SETICON, reinterpret_cast<WPARAM>(state.picture.get()), 0);

  CreateControl(form, kLabel1Layout, dpi, state.titleFont.get());
  for (const ControlSpec* placement : {&kLabel2Layout, &kLabel3Layout, &kLabel6Layout})
    CreateControl(form, *placement, dpi, state.textFont.get());
  for (const ControlSpec* placement : {&kLabel4Layout, &kLabel5Layout})
    CreateControl(form, *placement, dpi, state.linkFont.get());
  CreateControl(form, kCommand1Layout, dpi, state.textFont.get());
}

void Form_Load(HWND form) {
  SetDlgItemTextA(form, kForm2Label1, kApplicationTitle);
  SetDlgItemTextA(form, kForm2Label2, VersionLine().c_str());
}

void OpenShellTarget(const char* target) {
  ShellExecuteA(nullptr, nullptr, target, nullptr, nullptr, SW_SHOWNORMAL);
}

void Label4_Click() { OpenShellTarget(kSiteTarget); }

void Label5_Click() { OpenShellTarget(kEmailTarget); }

void Command1_Click() {
  state.window.reset();
  // Focus back to the main window, unless it is hidden in the tray, where it
  // cannot take the focus.
  HWND main = form1::Window();
  if (main != nullptr && IsWindowVisible(main) && !IsIconic(main)) SetForegroundWindow(main);
}

bool IsLink(HWND control) {
  const int id = GetDlgCtrlID(control);
  return id == kForm2Label4 || id == kForm2Label5;
}

void OnCreate(HWND form) {
  state.window.reset(form);
  CreateControls(form);
  Form_Load(form);
}

void OnCommand(WPARAM wParam) {
  const int id = LOWORD(wParam), code = HIWORD(wParam);
  if (id == kCommand1 && code == BN_CLICKED) Command1_Click();
  if (id == kForm2Label4 && code == STN_CLICKED) Label4_Click();
  if (id == kForm2Label5 && code == STN_CLICKED) Label5_Click();
  // Enter and Escape arrive as IDOK and IDCANCEL: Close is neither default nor cancel.
}

LRESULT OnCtlColorStatic(HDC dc, HWND control) {
  const LRESULT background = FaceColoured(dc);
  if (IsLink(control)) SetTextColor(dc, kLinkColour);
  return background;
}

bool OnSetCursor(HWND control) {
  if (!IsLink(control)) return false;
  SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_HAND)));
  return true;
}

// Close is the only control that takes the focus.
void FocusClose(HWND form) { SetFocus(GetDlgItem(form, kCommand1)); }

void OnNcDestroy() {
  // The controls are gone by now, so their fonts and picture can go too.
  state.window.release();
  state.picture.reset();
  state.linkFont.reset();
  state.titleFont.reset();
  state.textFont.reset();
}

LRESULT CALLBACK WindowProc(HWND form, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      OnCreate(form);
      return 0;
    case WM_COMMAND:
      OnCommand(wParam);
      return 0;
    case WM_CTLCOLORSTATIC:
      return OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_CTLCOLORBTN:
      return FaceColoured(reinterpret_cast<HDC>(wParam));
    case WM_SETCURSOR:
      if (OnSetCursor(reinterpret_cast<HWND>(wParam))) return TRUE;
      break;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE) FocusClose(form);
      return 0;
    case WM_NEXTDLGCTL:
      FocusClose(form);
      return 0;
    case WM_CLOSE:
      state.window.reset();
      return 0;
    case WM_NCDESTROY:
      OnNcDestroy();
      break;
    default:
      break;
  }
  return DefWindowProcA(form, message, wParam, lParam);
}

}  // namespace

void Register(HINSTANCE instance, int dpi) {
  state.instance = instance;
  state.dpi = dpi;
  const WNDCLASSEXA windowClass = WindowClass(instance, WindowProc, kForm2Class);
  RegisterClassExA(&windowClass);
}

void Show() {
  if (!state.window) {
    const SIZE size = WindowSizeForClient(kClientWidth, kClientHeight, kStyle, kExStyle, state.dpi);
    if (CreateWindowExA(kExStyle, kForm2Class, kAboutWindowCaption, kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                        size.cx, size.cy, nullptr, nullptr, state.instance, nullptr) == nullptr) {
      return;
    }
  }
  ShowWindow(state.window.get(), SW_SHOWNORMAL);
  SetForegroundWindow(state.window.get());
}

HWND Window() { return state.window.get(); }

void Unload() { state.window.reset(); }

}  // namespace harkwell::ui::form2
