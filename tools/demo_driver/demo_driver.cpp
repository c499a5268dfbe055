// Drives Harkwell beside the simulated game for the demo: presses its buttons,
// waits for an announcement in the game's title and tells where each window is,
// so that the demo script can take its screenshots.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ui/control_ids.h"

namespace {

using namespace harkwell::ui;

// Polls `found` every 100 ms until it returns a window or `seconds` pass.
template <typename Find>
HWND WaitFor(Find found, int seconds) {
  for (int i = 0; i < seconds * 10; ++i) {
    if (HWND window = found()) return window;
    Sleep(100);
  }
  return nullptr;
}

std::string Text(HWND window) {
  char text[512] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

// A control of the main window, whether it sits on the window or in the group box.
HWND Control(HWND main, int id) {
  if (HWND control = GetDlgItem(main, id)) return control;
  return GetDlgItem(GetDlgItem(main, kFrameSettings), id);
}

HWND MainWindow() { return FindWindowA(kForm1Class, nullptr); }
HWND AboutWindow() { return FindWindowA(kForm2Class, nullptr); }
HWND GameWindow() { return FindWindowA("DDWndClass", nullptr); }

int Fail(const char* what) {
  std::fprintf(stderr, "demo: %s\n", what);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "wait-windows") {
    HWND game = WaitFor(GameWindow, 30);
    if (game == nullptr) return Fail("the simulated game did not open its window");
    HWND main = WaitFor(MainWindow, 30);
    if (main == nullptr) return Fail("Harkwell did not open its window");
    // Side by side, so that neither hides the other in the screenshots.
    RECT mainRect{};
    GetWindowRect(main, &mainRect);
    SetWindowPos(game, nullptr, mainRect.right + 24, mainRect.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return 0;
  }
  if (command == "begin") {
    HWND main = MainWindow();
    if (main == nullptr) return Fail("Harkwell is not running");
    SendMessageA(Control(main, kChkFlashJoin), BM_SETCHECK, BST_CHECKED, 0);
    SendMessageA(Control(main, kChkFlashLeave), BM_SETCHECK, BST_CHECKED, 0);
    // Posted, not sent: a failed Begin opens a modal message box.
    PostMessageA(GetDlgItem(main, kCmdBegin), BM_CLICK, 0, 0);
    const bool started =
        WaitFor([&] { return Text(GetDlgItem(main, kCmdBegin)) == "&Stop Monitoring" ? main : nullptr; }, 10);
    return started ? 0 : Fail("monitoring did not start");
  }
  if (command == "wait-announcement") {
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 30;
    HWND game = WaitFor(
        [] {
          HWND window = GameWindow();
          return window != nullptr && Text(window).find(" has ") != std::string::npos ? window : nullptr;
        },
        seconds);
    if (game == nullptr) return Fail("no announcement appeared in the game's title");
    std::printf("%s\n", Text(game).c_str());
    return 0;
  }
  if (command == "title") {
    HWND game = GameWindow();
    std::printf("%s\n", game != nullptr ? Text(game).c_str() : "(no game window)");
    return 0;
  }
  if (command == "about") {
    HWND main = MainWindow();
    if (main == nullptr) return Fail("Harkwell is not running");
    PostMessageA(GetDlgItem(main, kCmdAbout), BM_CLICK, 0, 0);
    return WaitFor(AboutWindow, 10) ? 0 : Fail("the About window did not open");
  }
  if (command == "exit") {
    if (HWND main = MainWindow()) PostMessageA(GetDlgItem(main, kCmdExit), BM_CLICK, 0, 0);
    if (HWND game = GameWindow()) PostMessageA(game, WM_CLOSE, 0, 0);
    return 0;
  }
  if (command == "rect" && argc > 2) {
    // Prints the window's frame as an ImageMagick geometry, WxH+X+Y.
    const std::string which = argv[2];
    HWND window = which == "main" ? MainWindow() : which == "about" ? AboutWindow() : GameWindow();
    RECT rect{};
    if (window == nullptr || !GetWindowRect(window, &rect)) return Fail("no such window");
    std::printf("%ldx%ld+%ld+%ld\n", rect.right - rect.left, rect.bottom - rect.top, rect.left, rect.top);
    return 0;
  }
  std::fprintf(stderr,
               "usage: demo_driver wait-windows | begin | wait-announcement [SECONDS] | title | about | exit"
               " | rect main|about|game\n");
  return 2;
}
