#include "ui/layout.h"

namespace harkwell::ui {
namespace {

void ReleaseScreenDc(HDC dc) { ReleaseDC(nullptr, dc); }
using ScreenDc = platform::Owned<HDC, ReleaseScreenDc>;

}  // namespace

int ScreenDpi() {
  const ScreenDc screen(GetDC(nullptr));
  const int dpi = screen ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
  return dpi > 0 ? dpi : USER_DEFAULT_SCREEN_DPI;
}

platform::OwnedFont CreatePointFont(const char* face, int hundredthsOfPoint, int dpi, bool bold,
                                    bool underline) {
  LOGFONTA font{};
  // A negative height asks for the character height, which is what a point size means.
  font.lfHeight = -MulDiv(hundredthsOfPoint, dpi, 72 * 100);
  font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  font.lfUnderline = underline ? TRUE : FALSE;
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfQuality = DEFAULT_QUALITY;
  // cppcheck-suppress lstrcpynACalled ; `face` is one of our own font names, never a pointer that could fault
  lstrcpynA(font.lfFaceName, face, LF_FACESIZE);
  return platform::OwnedFont(CreateFontIndirectA(&font));
}

HWND CreateControl(HWND parent, const ControlSpec& placement, int dpi, HFONT font, POINT parentOrigin) {
  // Converting the window-relative edges first and subtracting the parent's
  // pixel origin keeps a nested control exactly where the table puts it.
  const int left = TwipsToPixels(placement.left, dpi) - parentOrigin.x;
  const int top = TwipsToPixels(placement.top, dpi) - parentOrigin.y;
  HWND control = CreateWindowExA(
      0, placement.windowClass, placement.caption, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | placement.style,
      left, top, TwipsToPixels(placement.width, dpi), TwipsToPixels(placement.height, dpi), parent,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(placement.id)),
      reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(parent, GWLP_HINSTANCE)), nullptr);
  if (control != nullptr && font != nullptr)
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return control;
}

LRESULT FaceColoured(HDC dc) {
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
  return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

SIZE WindowSizeForClient(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, int dpi) {
  RECT rect{0, 0, TwipsToPixels(clientWidth, dpi), TwipsToPixels(clientHeight, dpi)};
  AdjustWindowRectEx(&rect, style, FALSE, exStyle);
  return {rect.right - rect.left, rect.bottom - rect.top};
}

WNDCLASSEXA WindowClass(HINSTANCE instance, WNDPROC windowProc, const char* name) {
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = windowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = name;
  return windowClass;
}

}  // namespace harkwell::ui
