// The main window: its layout at two DPI settings, its keyboard handling, the
// About window, the tray, and Begin and Stop without a sound device.
#include <windows.h>

#include <gtest/gtest.h>
#include <mmsystem.h>
#include <shellapi.h>

#include <array>
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

// A control's window class and, for a button, its type.
struct Kind {
  const char* windowClass;
  LONG buttonType;
};
constexpr Kind kGroupBox{"Button", BS_GROUPBOX}, kCheckBox{"Button", BS_AUTOCHECKBOX},
    kButton{"Button", BS_PUSHBUTTON}, kLabel{"Static", -1};
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
    Expected{ui::kFrameSettings, kGroupBox, "Settings", 8, 8, 297, 105, Parent::kWindow},
    Expected{ui::kLabel1, kLabel, "On join,", 24, 32, 41, 17, Parent::kFrame},
    Expected{ui::kChkPlayJoin, kCheckBox, "Play", 24, 48, 41, 25, Parent::kFrame},
    Expected{ui::kCmdSoundJoin, kButton, "Sound...", 65, 50, 50, 21, Parent::kFrame},
    Expected{ui::kChkFlashJoin, kCheckBox, "Flash JJ2 Window", 24, 80, 113, 17, Parent::kFrame},
    Expected{ui::kLabel2, kLabel, "On leave,", 168, 32, 57, 17, Parent::kFrame},
    Expected{ui::kChkPlayLeave, kCheckBox, "Play", 168, 48, 41, 25, Parent::kWindow},
    Expected{ui::kCmdSoundLeave, kButton, "Sound...", 209, 50, 50, 21, Parent::kWindow},
    Expected{ui::kChkFlashLeave, kCheckBox, "Flash JJ2 Window", 168, 80, 113, 17, Parent::kFrame},
    Expected{ui::kCmdExit, kButton, "E&xit", 8, 120, 57, 33, Parent::kWindow},
    Expected{ui::kCmdAbout, kButton, "&About", 72, 120, 57, 33, Parent::kWindow},
    Expected{ui::kCmdBegin, kButton, expected::kBeginCaption, 136, 120, 169, 33, Parent::kWindow},
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
  const LONG type = GetWindowLongA(control, GWL_STYLE) & BS_TYPEMASK;
  return ClassOf(control) == kind.windowClass && (kind.buttonType < 0 || type == kind.buttonType);
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

TEST_F(Window, LayoutMatchesTheDesignAt96DpiAndGrowsWithTheDisplayDpi) {
  EXPECT_EQ(WindowText(app.Form1()), expected::kTitle);
  ExpectLayout(app, 96);
  // A minimise box and a close box, for the tray and for ending the program.
  const LONG style = GetWindowLongA(app.Form1(), GWL_STYLE);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_TRUE(style & WS_SYSMENU);

  ASSERT_TRUE(app.Exit());
  struct HighDpi {
    HighDpi() { SetLogPixels(144); }
    ~HighDpi() { SetLogPixels(96); }  // Wine's own setting
  } highDpi;
  ASSERT_TRUE(app.Start());
  ExpectLayout(app, 144);
}

TEST_F(Window, KeyboardTabFollowsTheDesignedOrderAccessKeysAndEnterPressButtonsEscapeNothing) {
  auto focusOn = [&](int id) {
    return WaitFor([&] { return app.Control(id) != nullptr && FocusOf(app) == app.Control(id); }, 3s);
  };
  ASSERT_TRUE(focusOn(ui::kCmdBegin));
  PressKey(app, VK_ESCAPE);  // closes nothing: Tab goes on from Begin
  const std::array order{ui::kCmdExit,      ui::kCmdAbout,      ui::kChkPlayJoin,
                         ui::kCmdSoundJoin, ui::kChkFlashJoin,  ui::kChkFlashLeave,
                         ui::kChkPlayLeave, ui::kCmdSoundLeave, ui::kCmdBegin};
  for (int id : order) {
    PressKey(app, VK_TAB);
    EXPECT_TRUE(focusOn(id)) << "expected control " << id;
  }

  // The focus moved to a control by name, and Enter on a check box presses nothing.
  PostMessageA(app.Form1(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(app.Control(ui::kChkFlashJoin)), TRUE);
  ASSERT_TRUE(focusOn(ui::kChkFlashJoin));
  PressKey(app, VK_RETURN);
  ASSERT_TRUE(app.Flush());
  EXPECT_EQ(app.WaitForWindow("#32770", expected::kTitle, 500ms), nullptr);
  EXPECT_EQ(FocusOf(app), app.Control(ui::kChkFlashJoin));

  PressAltKey(app, 'a');
  HWND about = app.WaitForWindow(ui::kForm2Class);
  ASSERT_NE(about, nullptr);
  PostMessageA(about, WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(about); }));

  // Alt+B begins monitoring; with no game running that ends in the attach message.
  PostMessageA(app.Form1(), WM_ACTIVATE, WA_ACTIVE, 0);
  PressAltKey(app, 'b');
  HWND box = app.WaitForMessageBox();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(Harkwell::CloseMessageBox(box), expected::kNoGame);

  // Enter presses the button that has the focus: here Exit.
  SetForegroundWindow(app.Form1());
  PostMessageA(app.Form1(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(app.Control(ui::kCmdExit)), TRUE);
  ASSERT_TRUE(focusOn(ui::kCmdExit));
  PressKey(app, VK_RETURN);
  EXPECT_TRUE(app.OwnProcess().WaitForExit());
}

TEST_F(Window, AboutOpensOnceIsBuiltAfreshAfterClosingAndLeavesATrayedMainWindowThere) {
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

  // Closed while the main window is in the tray, it leaves it there.
  ASSERT_TRUE(app.ToTray());
  PostMessageA(GetDlgItem(about, ui::kCommand1), BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(about); }));
  EXPECT_FALSE(IsWindowVisible(app.Form1()));
  EXPECT_TRUE(IsIconic(app.Form1()));

  // About again: a new window with its labels set again.
  ASSERT_TRUE(app.FromTray());
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

TEST_F(Window, TrayIconOnlyADoubleClickOrTheKeyboardBringsTheWindowBackANewTrayGetsItAndExitRemovesIt) {
  EXPECT_FALSE(TrayIconExists(app.Form1()));
  // A new notification area while the window shows: no icon for it.
  const UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
  PostMessageA(app.Form1(), taskbarCreated, 0, 0);
  ASSERT_TRUE(app.Flush());
  EXPECT_FALSE(TrayIconExists(app.Form1()));
  ASSERT_TRUE(app.ToTray());  // the window hides before the icon is added
  EXPECT_TRUE(IsIconic(app.Form1()));

  // Single left clicks (NIN_SELECT too), left button releases and right-button reports are ignored.
  for (LPARAM report : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_RBUTTONUP, WM_RBUTTONDBLCLK,
                        WM_MOUSEMOVE, WM_CONTEXTMENU, NIN_SELECT}) {
    PostMessageA(app.Form1(), WM_LBUTTONDOWN, 1, report);
  }
  ASSERT_TRUE(app.Flush());
  EXPECT_FALSE(IsWindowVisible(app.Form1()));
  EXPECT_TRUE(TrayIconExists(app.Form1()));

  // Stand in for a restarted shell: the icon is gone and the broadcast arrives.
  NOTIFYICONDATAA icon{};
  icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
  icon.hWnd = app.Form1();
  icon.uID = expected::kTrayIconId;
  ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &icon));
  PostMessageA(app.Form1(), taskbarCreated, 0, 0);
  EXPECT_TRUE(WaitFor([&] { return TrayIconExists(app.Form1()); }));
  EXPECT_FALSE(IsWindowVisible(app.Form1()));

  ASSERT_TRUE(app.FromTray());
  EXPECT_FALSE(IsIconic(app.Form1()));
  EXPECT_EQ(WindowText(app.Form1()), expected::kTitle);

  // Every minimise adds the icon anew, and an exit from the tray leaves none behind.
  ASSERT_TRUE(app.ToTray());
  ASSERT_TRUE(app.FromTray(10s, MAKELPARAM(NIN_KEYSELECT, expected::kTrayIconId)));  // Enter, by keyboard
  ASSERT_TRUE(app.ToTray());
  HWND form1 = app.Form1();
  ASSERT_TRUE(app.Exit());
  EXPECT_FALSE(TrayIconExists(form1));
}

// Begin and Stop beside a game.
using Monitoring = HarkwellBesideGame;

TEST_F(Monitoring, WithoutTheGameBeginShowsTheAttachMessageAndLaterSucceeds) {
  game.Stop();
  ExpectBegin(expected::kNoGame, expected::kBeginCaption);
  // The Flash boxes take part in no check: still only the attach message.
  app.SetChecked(ui::kChkFlashJoin, true);
  app.SetChecked(ui::kChkFlashLeave, true);
  ExpectBegin(expected::kNoGame, expected::kBeginCaption);

  ASSERT_TRUE(game.Start());
  ExpectBegin("", expected::kStopCaption);
  ExpectBegin("", expected::kBeginCaption);
}

TEST_F(Monitoring, AnyPlayBoxWithoutASoundDeviceShowsOnlyTheDeviceMessage) {
  ASSERT_EQ(waveOutGetNumDevs(), 0u) << "this test needs a machine without a wave device";
  app.SetChecked(ui::kChkPlayJoin, true);
  app.SetChecked(ui::kChkPlayLeave, true);
  ExpectBegin(expected::kNoSoundDevice, expected::kBeginCaption);  // not the missing-sound messages

  app.SetChecked(ui::kChkPlayJoin, false);
  ExpectBegin(expected::kNoSoundDevice, expected::kBeginCaption);

  // Without Play boxes the device is not asked for and Begin goes through.
  app.SetChecked(ui::kChkPlayLeave, false);
  ExpectBegin("", expected::kStopCaption);
}

TEST_F(Monitoring, StopEndsTheTicksAndBeginAttachesAfresh) {
  Begin();
  Announced("join 1 Jazz", "Jazz has joined");
  ASSERT_TRUE(game.WaitForTitle(kGameTitle));  // the announcement ran out
  ExpectBegin("", expected::kBeginCaption);    // Stop
  // A running monitor would put the title back within a tick. A stopped one
  // makes no ticks to count, so the wait for a change is four intervals long.
  SetWindowTextA(game.Window(), "untouched");
  EXPECT_FALSE(WaitFor([&] { return game.Title() != "untouched"; }, 1s));

  // A restarted game is a new window and process; the next Begin finds them,
  // and its roster starts empty: Jazz was in the last game, not in this one.
  game.Stop();
  ASSERT_TRUE(game.Start("--marker 0xE8"));
  ExpectBegin("", expected::kStopCaption);
  EXPECT_EQ(game.TitlesOverTicks(3), std::vector<std::string>{kGameTitle});
  Announced("join 2 Lori", "Lori has joined");

  // Exit while it shows: the game gets its own title back.
  ASSERT_TRUE(app.Exit());
  EXPECT_EQ(game.Title(), kGameTitle);
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
