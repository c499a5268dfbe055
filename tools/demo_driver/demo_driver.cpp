// Drives Harkwell beside the simulated game for the demo: waits for it to
// monitor, presses its buttons, waits for an announcement in the game's title and tells where each window is,
// so that the demo script can take its screenshots.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "monitor/game_facts.h"
#include "tests/expected.h"
#include "tests/rig/rig.h"
#include "ui/control_ids.h"

namespace {

using namespace harkwell;
using namespace harkwell::rig;

HWND MainWindow() { return FindWindowA(ui::kForm1Class, nullptr); }
HWND AboutWindow() { return FindWindowA(ui::kForm2Class, nullptr); }
HWND GameWindow() { return FindWindowA(kGameWindowClass, nullptr); }

// Waits up to `seconds` for `find` to return a window.
template <typename Find>
HWND WaitForWindow(Find find, int seconds) {
  HWND window = nullptr;
  WaitFor([&] { return (window = find()) != nullptr; }, std::chrono::seconds(seconds));
  return window;
}

int Fail(const char* what) {
  std::fprintf(stderr, "demo: %s\n", what);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "wait-game") {
    return WaitForWindow(GameWindow, 30) != nullptr ? 0 : Fail("the simulated game did not open its window");
  }
  if (command == "wait-windows") {
    HWND game = WaitForWindow(GameWindow, 30);
    if (game == nullptr) return Fail("the simulated game did not open its window");
    HWND main = WaitForWindow(MainWindow, 30);
    if (main == nullptr) return Fail("Harkwell did not open its window");
    // Side by side, so that neither hides the other in the screenshots.
    RECT mainRect{};
    GetWindowRect(main, &mainRect);
    SetWindowPos(game, nullptr, mainRect.right + 24, mainRect.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return 0;
  }
  if (command == "wait-monitoring") {
    HWND main = MainWindow();
    const bool monitoring = main != nullptr && WaitFor([&] {
                              return WindowText(ControlOf(main, ui::kCmdBegin)) == expected::kStopCaption;
                            });
    return monitoring ? 0 : Fail("monitoring did not start");
  }
  if (command == "wait-announcement") {
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 30;
    HWND game = WaitForWindow(
        [] {
          HWND window = GameWindow();
          return window != nullptr && WindowText(window).find(" has ") != std::string::npos ? window
                                                                                            : nullptr;
        },
        seconds);
    if (game == nullptr) return Fail("no announcement appeared in the game's title");
    std::printf("%s\n", WindowText(game).c_str());
    return 0;
  }
  if (command == "title") {
    HWND game = GameWindow();
    std::printf("%s\n", game != nullptr ? WindowText(game).c_str() : "(no game window)");
    return 0;
  }
  if (command == "about") {
    HWND main = MainWindow();
    if (main == nullptr) return Fail("Harkwell is not running");
    PostMessageA(ControlOf(main, ui::kCmdAbout), BM_CLICK, 0, 0);
    return WaitForWindow(AboutWindow, 10) ? 0 : Fail("the About window did not open");
  }
  if (command == "exit") {
    if (HWND main = MainWindow()) PostMessageA(ControlOf(main, ui::kCmdExit), BM_CLICK, 0, 0);
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
               "usage: demo_driver wait-game | wait-windows | wait-monitoring | wait-announcement [SECONDS] "
               "| title | about | exit"
               " | rect main|about|game\n");
  return 2;
}
