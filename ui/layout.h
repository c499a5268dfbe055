// Window layouts are written in twips (1/1440 inch) and turned into pixels for
// the display's DPI, so the windows keep their proportions at any text size.
#pragma once

#include <windows.h>

#include "platform/owned.h"

namespace harkwell::ui {

inline constexpr int kTwipsPerInch = 1440;

// pixels = twips x dpi / 1440, rounded to the nearest pixel.
inline int TwipsToPixels(int twips, int dpi) { return MulDiv(twips, dpi, kTwipsPerInch); }

// The DPI the system reports to a DPI-aware program (the manifest declares it).
int ScreenDpi();

// A font of `hundredthsOfPoint` size (825 for 8.25 pt) at the given DPI.
platform::OwnedFont CreatePointFont(const char* face, int hundredthsOfPoint, int dpi, bool bold = false,
                                    bool underline = false);

// One control as a layout table lists it, with its place in twips relative to
// the window's client area.
struct ControlSpec {
  int id;
  const char* windowClass;
  const char* caption;
  DWORD style;
  int left, top, width, height;
};

// Creates `placement` as a child of `parent`. `parentOrigin` is the parent's top-left
// corner in the window's client pixels (0, 0 unless the parent is a container
// such as a group box), so positions stay exact whatever the nesting.
HWND CreateControl(HWND parent, const ControlSpec& placement, int dpi, HFONT font,
                   POINT parentOrigin = {0, 0});

// The answer to WM_CTLCOLORSTATIC and WM_CTLCOLORBTN: text and background in
// the dialog face colour, so labels and check boxes blend with the window.
LRESULT FaceColoured(HDC dc);

// The outer window size whose client area is `clientWidth` x `clientHeight` twips.
SIZE WindowSizeForClient(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, int dpi);

// A window class of ours: arrow cursor, dialog-coloured background.
WNDCLASSEXA WindowClass(HINSTANCE instance, WNDPROC windowProc, const char* name);

}  // namespace harkwell::ui
