// The Flash boxes through to the FlashWindowEx call, and what Harkwell does
// when Windows refuses it something: its windows and monitor run in this
// program, beside the simulated game, with Windows functions replaced at link
// time. Under Wine a flash of another program's window shows nothing, so the
// call itself is what is looked at.
#include <windows.h>

#include <gtest/gtest.h>
#include <shellapi.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "monitor/attach.h"
#include "tests/rig/rig.h"
#include "tests/rig/stand_in.h"
#include "ui/control_ids.h"
#include "ui/form1.h"
#include "ui/form2.h"

namespace {

std::vector<FLASHWINFO> flashes;
BOOL WINAPI StandInFlashWindowEx(PFLASHWINFO info) {
  flashes.push_back(*info);
  return TRUE;
}

// What this program's Windows refuses, and what it is asked. Its Windows 7
// lacks SetDefaultDllDirectories (this program exports none) and has a
// winmm.dll without winmm's functions (kernel32 stands in).
BOOL trayAnswer = TRUE;
const char* failingClass = "";  // no window of this class can be made
bool refuseProcesses = false, windows7 = false, ownWinmm = false, tokensHidden = false;
std::vector<DWORD> trayCalls, allowed;     // allowed: what a less privileged program may send us
std::vector<NOTIFYICONDATAA> trayRecords;  // one a call, as given
std::vector<std::string> boxes;
std::vector<std::pair<std::wstring, DWORD>> loads;
HWND endless = nullptr;  // the one window of every search
// The system's own function, for a stand-in that passes the call on.
#define SYSTEM(dll, name)                     \
  reinterpret_cast<decltype(&StandIn##name)>( \
      reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA(dll), #name)))

BOOL WINAPI StandInShell_NotifyIconA(DWORD message, PNOTIFYICONDATAA record) {
  return trayCalls.push_back(message), trayRecords.push_back(*record), trayAnswer;
}
int WINAPI StandInMessageBoxA(HWND, LPCSTR text, LPCSTR, UINT) { return boxes.emplace_back(text), IDOK; }
HANDLE WINAPI StandInOpenProcess(DWORD access, BOOL inherit, DWORD id) {
  return refuseProcesses ? nullptr : SYSTEM("kernel32.dll", OpenProcess)(access, inherit, id);
}
BOOL WINAPI StandInOpenProcessToken(HANDLE process, DWORD access, PHANDLE token) {
  return !tokensHidden && SYSTEM("advapi32.dll", OpenProcessToken)(process, access, token);
}
BOOL WINAPI StandInChangeWindowMessageFilterEx(HWND, UINT message, DWORD action, PCHANGEFILTERSTRUCT) {
  return allowed.push_back(action == MSGFLT_ALLOW ? message : 0), TRUE;
}
HWND WINAPI StandInFindWindowExA(HWND parent, HWND after, LPCSTR windowClass, LPCSTR name) {
  return endless ? endless : SYSTEM("user32.dll", FindWindowExA)(parent, after, windowClass, name);
}
HWND WINAPI StandInCreateWindowExA(DWORD exStyle, LPCSTR windowClass, LPCSTR name, DWORD style, int x, int y,
                                   int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                                   LPVOID data) {
  if (!IS_INTRESOURCE(windowClass) && std::strcmp(windowClass, failingClass) == 0) return nullptr;
  return SYSTEM("user32.dll", CreateWindowExA)(exStyle, windowClass, name, style, x, y, width, height, parent,
                                               menu, instance, data);
}
HMODULE WINAPI StandInGetModuleHandleW(LPCWSTR name) {
  return windows7 ? GetModuleHandleA(nullptr) : SYSTEM("kernel32.dll", GetModuleHandleW)(name);
}
HMODULE WINAPI StandInLoadLibraryExW(LPCWSTR name, HANDLE file, DWORD flags) {
  if (windows7) loads.emplace_back(name, flags);
  if (ownWinmm) return GetModuleHandleA(nullptr);
  return SYSTEM("kernel32.dll", LoadLibraryExW)(windows7 ? L"kernel32.dll" : name, file,
                                                windows7 ? 0 : flags);
}

// Windows' UTF-8 takes no flag but WC_ERR_INVALID_CHARS and no default character; Wine 8's takes any.
int WINAPI StandInWideCharToMultiByte(UINT page, DWORD flags, LPCWCH in, int n, LPSTR out, int size, LPCCH d,
                                      LPBOOL u) {
  if (page == CP_UTF8 && ((flags & ~WC_ERR_INVALID_CHARS) != 0 || d || u)) return 0;
  return SYSTEM("kernel32.dll", WideCharToMultiByte)(page, flags, in, n, out, size, d, u);
}

}  // namespace

// This program as winmm (ownWinmm): it ends with the flags of the first sound it is asked to play.
extern "C" __declspec(dllexport) UINT WINAPI waveOutGetNumDevs() { return 1; }
extern "C" __declspec(dllexport) BOOL WINAPI sndPlaySoundA(LPCSTR sound, UINT flags) {
  return sound == nullptr || (std::exit(static_cast<int>(flags)), FALSE);
}
HARKWELL_STAND_IN(FlashWindowEx, 4, StandInFlashWindowEx)
HARKWELL_STAND_IN(Shell_NotifyIconA, 8, StandInShell_NotifyIconA)
HARKWELL_STAND_IN(MessageBoxA, 16, StandInMessageBoxA)
HARKWELL_STAND_IN(OpenProcess, 12, StandInOpenProcess)
HARKWELL_STAND_IN(OpenProcessToken, 12, StandInOpenProcessToken)
HARKWELL_STAND_IN(ChangeWindowMessageFilterEx, 16, StandInChangeWindowMessageFilterEx)
HARKWELL_STAND_IN(CreateWindowExA, 48, StandInCreateWindowExA)
HARKWELL_STAND_IN(FindWindowExA, 16, StandInFindWindowExA)
HARKWELL_STAND_IN(GetModuleHandleW, 4, StandInGetModuleHandleW)
HARKWELL_STAND_IN(LoadLibraryExW, 12, StandInLoadLibraryExW)
HARKWELL_STAND_IN(WideCharToMultiByte, 32, StandInWideCharToMultiByte)

namespace harkwell::rig {
namespace {

TEST(Flash, EachFlashBoxFlashesTheGameWindowFiveTimesForItsOwnKindOnly) {
  Game game;
  ASSERT_TRUE(game.Start());
  HWND form = ui::form1::Create(GetModuleHandleA(nullptr), USER_DEFAULT_SCREEN_DPI, false);
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(allowed,
            (std::vector<DWORD>{ui::kShowYourselfMessage, RegisterWindowMessageA("TaskbarCreated")}));
  auto click = [&](int id) { SendMessageA(form, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); };
  for (const int box : {ui::kChkFlashJoin, ui::kChkFlashLeave}) {
    SCOPED_TRACE(box);
    SendMessageA(ui::form1::Control(box), BM_SETCHECK, BST_CHECKED, 0);
    click(ui::kCmdBegin);
    flashes.clear();
    ASSERT_TRUE(game.Command("join 1 Jazz") && game.WaitForTitle("Jazz has joined"));
    ASSERT_TRUE(game.Command("leave 1") && game.WaitForTitle("Jazz has left"));
    ASSERT_EQ(flashes.size(), 1u);
    EXPECT_EQ(flashes[0].hwnd, game.Window());
    EXPECT_EQ(flashes[0].cbSize, sizeof(FLASHWINFO));
    EXPECT_EQ(flashes[0].dwFlags, static_cast<DWORD>(FLASHW_ALL));
    EXPECT_EQ(flashes[0].uCount, 5u);
    EXPECT_EQ(flashes[0].dwTimeout, 0u);
    // Which of the two announcements it came with.
    ASSERT_TRUE(game.Command("join 1 Jazz") && game.WaitForTitle("Jazz has joined"));
    EXPECT_EQ(flashes.size(), box == ui::kChkFlashJoin ? 2u : 1u);
    ASSERT_TRUE(game.Command("leave 1") && game.WaitForTitle("Jazz has left"));
    click(ui::kCmdBegin);  // Stop
    SendMessageA(ui::form1::Control(box), BM_SETCHECK, BST_UNCHECKED, 0);
  }
  DestroyWindow(form);
}

// Harkwell's main window made afresh in this program (the last one gone), shown or in the tray.
HWND ShownMainWindow(bool minimised = false) {
  DestroyWindow(ui::form1::Window());
  UnregisterClassA(ui::kForm1Class, GetModuleHandleA(nullptr));
  ui::form2::Register(GetModuleHandleA(nullptr), USER_DEFAULT_SCREEN_DPI);
  const HWND form = ui::form1::Create(GetModuleHandleA(nullptr), USER_DEFAULT_SCREEN_DPI, minimised);
  ShowWindow(form, minimised ? SW_HIDE : SW_SHOW);
  trayCalls.clear(), trayRecords.clear();
  return form;
}
void Send(HWND window, UINT message, WPARAM wParam = 0) { SendMessageA(window, message, wParam, 0); }
void Click(int id, int code = BN_CLICKED) { Send(ui::form1::Window(), WM_COMMAND, MAKEWPARAM(id, code)); }
std::string Caption(int id) { return WindowText(ui::form1::Control(id)); }

TEST(Refused, TheWindowsStayWithinReachWithoutATrayIconAnAboutWindowOrAFocusedControl) {
  const HWND form = ShownMainWindow();
  trayAnswer = FALSE;  // hidden without an icon, the window could never be reached again
  ShowWindow(form, SW_MINIMIZE);
  trayAnswer = TRUE;
  EXPECT_EQ(trayCalls, (std::vector<DWORD>{NIM_ADD, NIM_MODIFY, NIM_DELETE}));
  EXPECT_TRUE(IsWindowVisible(form) && !IsIconic(form));
  for (const UINT press : {WM_RBUTTONDOWN, WM_MBUTTONDOWN}) {
    ShowWindow(form, SW_MINIMIZE);
    Send(form, WM_ACTIVATE, WA_ACTIVE);  // activated in the tray, it stays there
    ASSERT_FALSE(IsWindowVisible(form));
    SendMessageA(form, press, 0, WM_LBUTTONDBLCLK);  // the tray's report: which button is not looked at
    EXPECT_TRUE(IsWindowVisible(form) && !IsIconic(form));
  }

  failingClass = ui::kForm2Class;
  Click(ui::kCmdAbout);
  failingClass = "";
  EXPECT_EQ(ui::form2::Window(), nullptr);
  Click(ui::kCmdAbout);
  const HWND about = ui::form2::Window();
  for (const int id : {ui::kCommand1, ui::kForm2Label4, ui::kForm2Label5})
    Send(about, WM_COMMAND, MAKEWPARAM(id, BN_DOUBLECLICKED));  // a click's notice alone counts
  EXPECT_TRUE(IsWindowVisible(about));

  // Tab and Shift+Tab pass over what cannot take the focus, from no control too;
  // deactivated with the focus on no control, the window gives back the one it had.
  auto tab = [&](bool backwards) { return Send(form, WM_NEXTDLGCTL, backwards), GetDlgCtrlID(GetFocus()); };
  EnableWindow(ui::form1::Control(ui::kCmdExit), FALSE);
  ShowWindow(ui::form1::Control(ui::kCmdSoundLeave), SW_HIDE);
  SetFocus(form);
  EXPECT_EQ(tab(true), ui::kChkPlayLeave);
  EXPECT_EQ(tab(false), ui::kCmdBegin);
  EXPECT_EQ(tab(false), ui::kCmdAbout);
  EXPECT_EQ(tab(true), ui::kCmdBegin);
  for (const HWND focus : {form, HWND{}}) {
    SetFocus(focus);
    EXPECT_EQ(SendMessageA(form, DM_GETDEFID, 0, 0), 0);
    Send(form, WM_ACTIVATE, WA_INACTIVE);
  }
  Send(form, WM_ACTIVATE, WA_ACTIVE);
  EXPECT_EQ(GetFocus(), ui::form1::Control(ui::kCmdBegin));
  for (int id = ui::kChkPlayJoin; id <= ui::kCmdBegin; ++id) EnableWindow(ui::form1::Control(id), FALSE);
  SetFocus(form);
  EXPECT_EQ(tab(false), 0);

  // A second main window: its class is taken.
  EXPECT_EQ(ui::form1::Create(GetModuleHandleA(nullptr), USER_DEFAULT_SCREEN_DPI, false), nullptr);
}

TEST(Tray, VersionFourFollowsEachAddAndWithNotifyEachAnnouncementInTheTrayIsOneSilentNotification) {
  Game game;
  ASSERT_TRUE(game.Start());
  ShownMainWindow(true);
  ui::StartOptions options;
  options.wait = options.tray = true;
  ui::form1::ApplyStartOptions(options, SW_SHOW);  // first without /notify
  ASSERT_TRUE(game.Command("join 1 Jazz") && game.WaitForTitle("Jazz has joined"));
  options.notify = true, options.wait = options.tray = false;
  ui::form1::ApplyStartOptions(options, SW_HIDE);  // the window stays in the tray
  const std::string name(300, 'a');                // longer than a notification holds
  ASSERT_TRUE(game.Command("join 2 " + name) && game.WaitForTitle(name + " has joined"));
  game.Stop();  // the game's end is announced too
  ASSERT_TRUE(WaitFor([&] { return std::count(trayCalls.begin(), trayCalls.end(), NIM_MODIFY) == 2; }));
  std::string notices;
  for (std::size_t i = 1; i < trayCalls.size(); ++i)  // each add followed by version 4
    if (trayCalls[i - 1] == NIM_ADD)
      EXPECT_TRUE(trayCalls[i] == NIM_SETVERSION && trayRecords[i].uVersion == 4);
    else if (trayRecords[i].uFlags == NIF_INFO)
      notices += trayRecords[i].szInfo + std::string("|") + trayRecords[i].szInfoTitle +
                 std::to_string(trayRecords[i].dwInfoFlags) + "\n";
  EXPECT_EQ(notices, (name + " has joined").substr(0, 255) + "|Harkwell16\n" +
                         ("Jazz has left, " + name + " has left").substr(0, 255) + "|Harkwell16\n");
  const std::size_t before = trayRecords.size();  // shown, the title alone tells
  ShowWindow(ui::form1::Window(), SW_RESTORE);
  ASSERT_TRUE(game.Start() && game.Command("join 1 Eve") && game.WaitForTitle("Eve has joined"));
  EXPECT_TRUE(std::none_of(trayRecords.begin() + before, trayRecords.end(),
                           [](auto& r) { return r.uFlags == NIF_INFO; }));
}

// winmm loads once a program (below, as a Windows 7's without its functions): a program of its own.
TEST(SoundDeathTest, AFileWhoseFormatTheCheckMendedPlaysFromMemoryAndUtf8NamesConvert) {
  const std::wstring path = TempFolder(L"harkwell-flash") + L"float.wav";
  std::string floats = WaveFile({1, 10});
  floats[20] = 3;  // IEEE float, in a 16-byte chunk, which lacks its extra bytes' size
  WriteFile(path, floats);
  EXPECT_EXIT((ownWinmm = true, platform::PlaySoundFile({path.begin(), path.end()}, 3)),
              testing::ExitedWithCode(3 | 4 /* SND_MEMORY */), "");
  EXPECT_EQ(platform::ToAnsiExactly(L"Caf\x00E9", 65001), "Caf\xC3\xA9");
  EXPECT_FALSE(platform::ToAnsiExactly(L"\xD800", 65001) || platform::ToAnsiExactly(L"\x0437", 1252));
}

TEST(Refused, AGameThatCannotBeOpenedOrNoWinmmGetsItsMessageAndAnotherProgramsGameIsNotOurs) {
  Game game;
  ASSERT_TRUE(game.Start());
  const HWND form = ShownMainWindow();
  boxes.clear();
  refuseProcesses = true;  // /wait, with a game there that cannot be opened: Begin's message
  ui::StartOptions options;
  options.flashJoin = options.wait = true;
  ui::form1::ApplyStartOptions(options, SW_SHOW);
  EXPECT_EQ(boxes, std::vector<std::string>{expected::kGameNotReadable});  // Wine: every process is elevated
  EXPECT_EQ(SendMessageA(ui::form1::Control(ui::kChkFlashJoin), BM_GETCHECK, 0, 0), BST_CHECKED);
  refuseProcesses = false;
  Click(ui::kCmdBegin, BN_DOUBLECLICKED);  // only a click begins
  EXPECT_EQ(Caption(ui::kCmdBegin), expected::kBeginCaption);
  Click(ui::kCmdBegin);
  ASSERT_EQ(Caption(ui::kCmdBegin), expected::kStopCaption);
  refuseProcesses = tokensHidden = true;  // back as administrator, with ours unread: monitoring stops
  game.Stop();
  ASSERT_TRUE(game.Start());
  EXPECT_TRUE(WaitFor([&] { return boxes.size() == 2; }) && boxes.back() == expected::kGameAsAdministrator);
  EXPECT_EQ(Caption(ui::kCmdBegin), expected::kBeginCaption);
  Send(form, WM_TIMER, 2);  // not the monitor's timer
  EXPECT_EQ(boxes.size(), 2u);
  refuseProcesses = tokensHidden = false;

  windows7 = true;  // this program's first use of winmm, which is loaded once
  platform::LoadSystemDllsFromSystem32Only();
  EXPECT_EQ(platform::SoundDeviceCount(), 0u);
  platform::PlaySoundFile(u"C:\\windows\\media\\tada.wav", 0);
  windows7 = false;
  wchar_t system[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  EXPECT_EQ(loads, (decltype(loads){{system + std::wstring(L"\\winmm.dll"), LOAD_WITH_ALTERED_SEARCH_PATH}}));
  Send(ui::form1::Control(ui::kChkPlayJoin), BM_SETCHECK, BST_CHECKED);
  Click(ui::kCmdBegin);
  EXPECT_EQ(boxes.back(), expected::kNoSoundDevice);

  // The game as another program's: not its window; and memory no game has.
  const platform::WindowHandle window = HandleToULong(game.Window());
  const DWORD id = game.ProcessId(), self = GetCurrentProcessId();
  EXPECT_EQ(platform::FindProcessWindow(kGameWindowClass, id), window);
  EXPECT_FALSE(platform::FindProcessWindow(kGameWindowClass, self) ||
               platform::IsProcessWindow(window, kGameWindowClass, self) ||
               platform::IsProcessWindow(HandleToULong(form), kGameWindowClass, self));
  EXPECT_TRUE(platform::ThisProcessElevated() && platform::ProcessElevated(id) == true);  // as Wine says
  const platform::ProcessHandle process = platform::OpenProcessHandle(kGameProcessAccess, false, id);
  std::uint8_t byte = 7;
  EXPECT_FALSE(platform::ReadProcessByte(process, 0, byte) || byte != 7);
  platform::CloseProcessHandle(process);
  endless = game.Window();  // a list of the class's windows that never ends: the search does
  EXPECT_EQ(platform::FindProcessWindow(kGameWindowClass, self), 0u);
  EXPECT_EQ(platform::TopLevelWindows(kGameWindowClass).size(), 4096u);
  endless = nullptr;
}

}  // namespace
}  // namespace harkwell::rig
