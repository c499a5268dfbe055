// The main window's layout at two DPI settings, its keyboard handling, and the
// About window.
#include <windows.h>

#include <gtest/gtest.h>
#include <shellapi.h>

#include <array>
#include <cmath>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>

#include "tests/expected.h"
#include "tests/rig/beside_game.h"
#include "ui/control_ids.h"
#include "ui/texts.h"

namespace harkwell::rig {
namespace {

enum class Kind { kGroupBox, kLabel, kCheckBox, kButton };
enum class Parent { kWindow, kFrame };

// The main window's controls as designed, in pixels at 96 DPI (15 twips a pixel).
struct Expected {
  int id;
  Kind kind;
  const char* caption;
  int left, top, width, height;
  Parent parent;
};
constexpr std::array kControls{
    Expected{ui::kFrameSettings, Kind::kGroupBox, "Settings", 8, 8, 297, 105, Parent::kWindow},
    Expected{ui::kLabel1, Kind::kLabel, "On join,", 24, 32, 41, 17, Parent::kFrame},
    Expected{ui::kChkPlayJoin, Kind::kCheckBox, "Play", 24, 48, 41, 25, Parent::kFrame},
    Expected{ui::kCmdSoundJoin, Kind::kButton, "Sound...", 65, 50, 50, 21, Parent::kFrame},
    Expected{ui::kChkFlashJoin, Kind::kCheckBox, "Flash JJ2 Window", 24, 80, 113, 17, Parent::kFrame},
    Expected{ui::kLabel2, Kind::kLabel, "On leave,", 168, 32, 57, 17, Parent::kFrame},
    Expected{ui::kChkPlayLeave, Kind::kCheckBox, "Play", 168, 48, 41, 25, Parent::kWindow},
    Expected{ui::kCmdSoundLeave, Kind::kButton, "Sound...", 209, 50, 50, 21, Parent::kWindow},
    Expected{ui::kChkFlashLeave, Kind::kCheckBox, "Flash JJ2 Window", 168, 80, 113, 17, Parent::kFrame},
    Expected{ui::kCmdExit, Kind::kButton, "E&xit", 8, 120, 57, 33, Parent::kWindow},
    Expected{ui::kCmdAbout, Kind::kButton, "&About", 72, 120, 57, 33, Parent::kWindow},
    Expected{ui::kCmdBegin, Kind::kButton, expected::kBeginCaption, 136, 120, 169, 33, Parent::kWindow},
};

// Sets the DPI Wine reports to programs started from now on.
void SetLogPixels(DWORD dpi) {
  RegSetKeyValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", "LogPixels", REG_DWORD, &dpi, sizeof dpi);
  RegSetKeyValueA(HKEY_CURRENT_CONFIG, "Software\\Fonts", "LogPixels", REG_DWORD, &dpi, sizeof dpi);
}

RECT ClientRectIn(HWND control, HWND form) {
  RECT rect{};
  GetWindowRect(control, &rect);
  MapWindowPoints(HWND_DESKTOP, form, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

std::string ClassOf(HWND window) {
  char name[256] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

bool HasKind(HWND control, Kind kind) {
  const LONG style = GetWindowLongA(control, GWL_STYLE);
  switch (kind) {
    case Kind::kGroupBox:
      return ClassOf(control) == "Button" && (style & BS_TYPEMASK) == BS_GROUPBOX;
    case Kind::kCheckBox:
      return ClassOf(control) == "Button" && (style & BS_TYPEMASK) == BS_AUTOCHECKBOX;
    case Kind::kButton:
      return ClassOf(control) == "Button" && (style & BS_TYPEMASK) == BS_PUSHBUTTON;
    case Kind::kLabel:
      return ClassOf(control) == "Static";
  }
  return false;
}

// Checks every control against the design scaled to `dpi`. Off 96 DPI the
// scaled figures are not whole pixels, so rounding may move an edge by one.
void ExpectLayout(const Harkwell& app, int dpi) {
  const double scale = dpi / 96.0;
  const int slack = dpi == 96 ? 0 : 1;
  RECT client{};
  GetClientRect(app.Form1(), &client);
  EXPECT_NEAR(client.right, 313 * scale, slack + 0.5);
  EXPECT_NEAR(client.bottom, 160 * scale, slack + 0.5);

  HWND frame = GetDlgItem(app.Form1(), ui::kFrameSettings);
  for (const Expected& expected : kControls) {
    SCOPED_TRACE(expected.caption);
    HWND control = app.Control(expected.id);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(GetParent(control), expected.parent == Parent::kFrame ? frame : app.Form1());
    EXPECT_EQ(WindowText(control), expected.caption);
    EXPECT_TRUE(HasKind(control, expected.kind));
    const RECT rect = ClientRectIn(control, app.Form1());
    EXPECT_NEAR(rect.left, expected.left * scale, slack + 0.5);
    EXPECT_NEAR(rect.top, expected.top * scale, slack + 0.5);
    EXPECT_NEAR(rect.right - rect.left, expected.width * scale, slack + 0.5);
    EXPECT_NEAR(rect.bottom - rect.top, expected.height * scale, slack + 0.5);
  }
}

// Harkwell on its own, started afresh for each test.
class Window : public HarkwellTest {
 protected:
  void SetUp() override {
    HarkwellTest::SetUp();
    ASSERT_TRUE(app.Start());
  }
};

HWND FocusOf(const Harkwell& app) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  GetGUIThreadInfo(GetWindowThreadProcessId(app.Form1(), nullptr), &info);
  return info.hwndFocus;
}

// Presses a key in Harkwell's focused control, as the keyboard would deliver it.
void PressKey(const Harkwell& app, UINT key) {
  HWND focus = FocusOf(app);
  PostMessageA(focus, WM_KEYDOWN, key, 1);
  PostMessageA(focus, WM_KEYUP, key, 0xC0000001);
}

void PressAltKey(const Harkwell& app, char letter) {
  PostMessageA(FocusOf(app), WM_SYSCHAR, static_cast<WPARAM>(letter), 0x20000001);  // bit 29: Alt held
}

TEST_F(Window, LayoutMatchesTheDesignAt96Dpi) {
  EXPECT_EQ(WindowText(app.Form1()), expected::kTitle);
  ExpectLayout(app, 96);
  // A minimise box and a close box, for the tray and for ending the program.
  const LONG style = GetWindowLongA(app.Form1(), GWL_STYLE);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_TRUE(style & WS_SYSMENU);
}

TEST(MainWindowLayout, GrowsWithTheDisplayDpi) {
  struct HighDpi {
    HighDpi() { SetLogPixels(144); }
    ~HighDpi() { SetLogPixels(96); }  // Wine's own setting
  } highDpi;
  Harkwell app;
  ASSERT_TRUE(app.Start());
  ExpectLayout(app, 144);
}

TEST_F(Window, KeyboardFocusStartsOnBeginAndTabFollowsTheDesignedOrder) {
  ASSERT_TRUE(WaitFor([&] { return FocusOf(app) == app.Control(ui::kCmdBegin); }));
  const std::array order{ui::kCmdExit,      ui::kCmdAbout,      ui::kChkPlayJoin,
                         ui::kCmdSoundJoin, ui::kChkFlashJoin,  ui::kChkFlashLeave,
                         ui::kChkPlayLeave, ui::kCmdSoundLeave, ui::kCmdBegin};
  for (int id : order) {
    PressKey(app, VK_TAB);
    EXPECT_TRUE(WaitFor([&] { return FocusOf(app) == app.Control(id); }, 3s)) << "expected control " << id;
  }

  // The focus moved to a control by name, and Enter on a check box presses nothing.
  PostMessageA(app.Form1(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(app.Control(ui::kChkFlashJoin)), TRUE);
  ASSERT_TRUE(WaitFor([&] { return FocusOf(app) == app.Control(ui::kChkFlashJoin); }));
  PressKey(app, VK_RETURN);
  ASSERT_TRUE(app.Flush());
  EXPECT_EQ(app.WaitForWindow("#32770", expected::kTitle, 500ms), nullptr);
  EXPECT_EQ(FocusOf(app), app.Control(ui::kChkFlashJoin));
}

TEST_F(Window, KeyboardAccessKeysAndEnterPressButtonsButEscapeDoesNothing) {
  ASSERT_TRUE(WaitFor([&] { return FocusOf(app) == app.Control(ui::kCmdBegin); }));

  PressKey(app, VK_ESCAPE);
  PressKey(app, VK_TAB);  // to Exit; Escape must not have closed anything
  ASSERT_TRUE(WaitFor([&] { return FocusOf(app) == app.Control(ui::kCmdExit); }));
  EXPECT_TRUE(app.Running());

  PressAltKey(app, 'a');
  HWND about = nullptr;
  EXPECT_TRUE(WaitFor([&] { return (about = FindProcessWindow(app.ProcessId(), ui::kForm2Class)); }));
  if (about != nullptr) PostMessageA(about, WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(about); }));

  // Alt+B begins monitoring; with no game running that ends in the attach message.
  PostMessageA(app.Form1(), WM_ACTIVATE, WA_ACTIVE, 0);
  PressAltKey(app, 'b');
  HWND box = app.WaitForWindow("#32770", expected::kTitle);
  ASSERT_NE(box, nullptr);
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(box); }));

  // Enter presses the button that has the focus: here Exit.
  SetForegroundWindow(app.Form1());
  ASSERT_TRUE(WaitFor([&] { return FocusOf(app) != nullptr; }));
  for (int presses = 0; FocusOf(app) != app.Control(ui::kCmdExit); ++presses) {
    ASSERT_LT(presses, 9) << "Tab never reached Exit";
    const HWND before = FocusOf(app);
    PressKey(app, VK_TAB);
    ASSERT_TRUE(WaitFor([&] { return FocusOf(app) != before; }));
  }
  PressKey(app, VK_RETURN);
  EXPECT_TRUE(app.OwnProcess().WaitForExit());
}

TEST_F(Window, AboutOpensOnceAndIsBuiltAfreshAfterClosing) {
  app.Click(ui::kCmdAbout);
  HWND about = app.WaitForWindow(ui::kForm2Class);
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(WindowText(about), expected::kAboutTitle);
  EXPECT_EQ(WindowText(GetDlgItem(about, ui::kForm2Label1)), expected::kTitle);
  EXPECT_EQ(WindowText(GetDlgItem(about, ui::kForm2Label2)), "Version " HARKWELL_VERSION_TEXT);
  EXPECT_EQ(WindowText(GetDlgItem(about, ui::kCommand1)), "Close");
  RECT client{};
  GetClientRect(about, &client);
  EXPECT_EQ(client.right, 203);
  EXPECT_EQ(client.bottom, 146);

  // Further clicks show the same window.
  app.Click(ui::kCmdAbout);
  app.Click(ui::kCmdAbout);
  ASSERT_TRUE(app.Flush());
  EXPECT_EQ(FindWindowExA(nullptr, about, ui::kForm2Class, nullptr), nullptr);
  EXPECT_EQ(FindProcessWindow(app.ProcessId(), ui::kForm2Class), about);

  // Close, then About again: a new window with its labels set again.
  PostMessageA(GetDlgItem(about, ui::kCommand1), BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(about); }));
  EXPECT_TRUE(IsWindowVisible(app.Form1()));
  app.Click(ui::kCmdAbout);
  HWND again = app.WaitForWindow(ui::kForm2Class);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(WindowText(GetDlgItem(again, ui::kForm2Label2)), "Version " HARKWELL_VERSION_TEXT);
  EXPECT_EQ(WindowText(GetDlgItem(again, ui::kForm2Label1)), expected::kTitle);

  // Ending the program takes the About window with it.
  EXPECT_TRUE(app.Exit());
  EXPECT_FALSE(IsWindow(again));
}

TEST_F(Window, AboutLinksShowAHandOpenTheirTargetsAndTabKeepsTheFocusOnClose) {
  // For this test the shell opens web pages and mail by writing their address
  // to a file; the handlers it had are put back at the end.
  const std::wstring opened = TempFolder(L"harkwell-links") + L"opened.txt";
  DeleteFileW(opened.c_str());
  const std::wstring command = L"cmd.exe /c echo %1>>\"" + opened + L"\"";
  const wchar_t* const handlers[] = {L"https\\shell\\open\\command", L"mailto\\shell\\open\\command"};
  wchar_t before[2][1024] = {};
  auto setHandler = [&](int i, const std::wstring& value) {
    RegSetKeyValueW(HKEY_CLASSES_ROOT, handlers[i], nullptr, REG_SZ, value.c_str(),
                    static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  };
  for (const int i : {0, 1}) {
    DWORD size = sizeof before[i];
    RegGetValueW(HKEY_CLASSES_ROOT, handlers[i], nullptr, RRF_RT_REG_SZ, nullptr, before[i], &size);
    setHandler(i, command);
  }

  app.Click(ui::kCmdAbout);
  HWND about = app.WaitForWindow(ui::kForm2Class);
  ASSERT_NE(about, nullptr);
  auto handOver = [&](int id) {
    return SendMessageA(about, WM_SETCURSOR, reinterpret_cast<WPARAM>(GetDlgItem(about, id)), HTCLIENT) !=
           FALSE;
  };
  EXPECT_TRUE(handOver(ui::kForm2Label4) && handOver(ui::kForm2Label5));
  EXPECT_FALSE(handOver(ui::kForm2Label3));
  std::string targets;
  for (const auto& [link, target] :
       {std::pair{ui::kForm2Label4, ui::kSiteTarget}, {ui::kForm2Label5, ui::kEmailTarget}}) {
    PostMessageA(about, WM_COMMAND, MAKEWPARAM(link, STN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(about, link)));
    EXPECT_TRUE(WaitFor([&] {
      std::ifstream file(opened.c_str());
      targets.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
      return targets.find(target) != std::string::npos;
    })) << targets;
  }
  for (const int i : {0, 1}) setHandler(i, before[i]);
  EXPECT_TRUE(IsWindow(about));

  // Tab keeps the focus on Close, the only control that takes it.
  PostMessageA(about, WM_NEXTDLGCTL, 0, 0);
  ASSERT_TRUE(app.Flush());
  EXPECT_EQ(FocusOf(app), GetDlgItem(about, ui::kCommand1));
}

TEST_F(Window, AboutCloseWhileTheMainWindowIsInTheTrayOnlyClosesIt) {
  app.Click(ui::kCmdAbout);
  HWND about = nullptr;
  ASSERT_TRUE(
      WaitFor([&] { return (about = FindProcessWindow(app.ProcessId(), ui::kForm2Class)) != nullptr; }));
  PostMessageA(app.Form1(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(app.Form1()); }));
  PostMessageA(GetDlgItem(about, ui::kCommand1), BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(about); }));
  EXPECT_FALSE(IsWindowVisible(app.Form1()));
  EXPECT_TRUE(IsIconic(app.Form1()));
}

TEST_F(Window, TrayIconMinimiseHidesTheWindowAndOnlyALeftDoubleClickBringsItBack) {
  EXPECT_FALSE(TrayIconExists(app.Form1()));

  // The window hides before the icon is added, so wait for both.
  PostMessageA(app.Form1(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(app.Form1()) && TrayIconExists(app.Form1()); }));
  EXPECT_TRUE(IsIconic(app.Form1()));

  // Single left clicks, left button releases and right-button reports are ignored.
  for (LPARAM report :
       {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_RBUTTONUP, WM_RBUTTONDBLCLK, WM_MOUSEMOVE}) {
    PostMessageA(app.Form1(), WM_LBUTTONDOWN, 1, report);
  }
  ASSERT_TRUE(app.Flush());
  EXPECT_FALSE(IsWindowVisible(app.Form1()));
  EXPECT_TRUE(TrayIconExists(app.Form1()));

  PostMessageA(app.Form1(), WM_LBUTTONDOWN, 1, WM_LBUTTONDBLCLK);
  ASSERT_TRUE(WaitFor([&] {
    return IsWindowVisible(app.Form1()) && !IsIconic(app.Form1()) && !TrayIconExists(app.Form1());
  }));
  EXPECT_EQ(WindowText(app.Form1()), expected::kTitle);

  // And again: every minimise adds the icon anew.
  PostMessageA(app.Form1(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(app.Form1()) && TrayIconExists(app.Form1()); }));
  PostMessageA(app.Form1(), WM_LBUTTONDOWN, 1, WM_LBUTTONDBLCLK);
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(app.Form1()); }));
}

TEST_F(Window, TrayIconExitFromTheTrayLeavesNoIconBehind) {
  PostMessageA(app.Form1(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  ASSERT_TRUE(WaitFor([&] { return TrayIconExists(app.Form1()); }));
  HWND form1 = app.Form1();
  ASSERT_TRUE(app.Exit());
  EXPECT_FALSE(TrayIconExists(form1));
}

TEST_F(Window, TrayIconANewNotificationAreaGetsTheIconBackOnlyWhileInTheTray) {
  const UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
  PostMessageA(app.Form1(), taskbarCreated, 0, 0);
  ASSERT_TRUE(app.Flush());
  EXPECT_FALSE(TrayIconExists(app.Form1()));
  PostMessageA(app.Form1(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  ASSERT_TRUE(WaitFor([&] { return TrayIconExists(app.Form1()); }));
  // Stand in for a restarted shell: the icon is gone and the broadcast arrives.
  NOTIFYICONDATAA icon{};
  icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
  icon.hWnd = app.Form1();
  icon.uID = expected::kTrayIconId;
  ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &icon));
  PostMessageA(app.Form1(), taskbarCreated, 0, 0);
  EXPECT_TRUE(WaitFor([&] { return TrayIconExists(app.Form1()); }));
  EXPECT_FALSE(IsWindowVisible(app.Form1()));
}

TEST_F(Window, TheMessageLoopPassesOnWhatIsForNoneOfItsWindowsAndEndsWithTheQuitCode) {
  const DWORD thread = GetWindowThreadProcessId(app.Form1(), nullptr);
  ASSERT_TRUE(PostThreadMessageA(thread, WM_NULL, 0, 0));
  PostMessageA(FindProcessWindow(app.ProcessId(), "IME"), WM_NULL, 0, 0);  // the input method window there
  ASSERT_TRUE(app.Flush());
  ASSERT_TRUE(PostThreadMessageA(thread, WM_QUIT, 7, 0));
  ASSERT_TRUE(app.OwnProcess().WaitForExit());
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeProcess(app.OwnProcess().Handle(), &code) && code == 7);
}

}  // namespace
}  // namespace harkwell::rig
