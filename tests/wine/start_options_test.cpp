// Harkwell started from a shortcut's command line: the options applied as the
// controls would apply them, the tray without a glimpse of the window, and
// bad arguments named in a box before a plain start.
#include <windows.h>

#include <aclapi.h>
#include <gtest/gtest.h>

#include <string>

#include "tests/expected.h"
#include "tests/rig/beside_game.h"
#include "ui/control_ids.h"

namespace harkwell::rig {
namespace {

constexpr TestSound kJoinSound{0x2468, 250};

using StartOptions = HarkwellTest;

TEST_F(StartOptions, AJoinSoundFromACyrillicPathFlashOnLeaveAndBeginSetUpTheWindowAndPlay) {
  ASSERT_TRUE(game.Start());
  const std::wstring folder = TempFolder(L"harkwell-options");
  WriteFile(folder + L"\x0437\x0432\x0443\x043A.wav", WaveFile(kJoinSound));
  // The join sound relative to the start folder, the leave sound to Harkwell's own.
  ASSERT_TRUE(app.Launch(
      L"/JOIN \"\x0437\x0432\x0443\x043A.wav\" -flashleave /leave sounds\\leave.wav /begin", folder));
  ASSERT_TRUE(app.WaitForMain());
  EXPECT_TRUE(WaitFor([&] { return app.Caption(ui::kCmdBegin) == expected::kStopCaption; }));
  EXPECT_TRUE(app.IsTicked(ui::kChkPlayJoin) && app.IsTicked(ui::kChkPlayLeave) &&
              app.IsTicked(ui::kChkFlashLeave));
  EXPECT_FALSE(app.IsTicked(ui::kChkFlashJoin));

  ASSERT_TRUE(game.Command("join 3 Jazz") && game.WaitForTitle("Jazz has joined"));
  EXPECT_TRUE(PlayedExactly({kJoinSound})) << Describe(PlayedSounds());
  ASSERT_TRUE(game.Command("leave 3") && game.WaitForTitle("Jazz has left"));
  // The bundled leave sound, all its samples: the file less its 44-byte header.
  WIN32_FILE_ATTRIBUTE_DATA bundled{};
  ASSERT_TRUE(GetFileAttributesExA((ProgramDirectory() + "sounds\\leave.wav").c_str(), GetFileExInfoStandard,
                                   &bundled));
  EXPECT_TRUE(WaitFor([&] {
    const std::vector<PlayedSound> played = PlayedSounds();
    return played.size() == 2 && played[1].bytes == bundled.nFileSizeLow - 44;
  })) << Describe(PlayedSounds());
}

TEST_F(StartOptions, TrayAndBeginMonitorUnseenUntilTheIconIsDoubleClicked) {
  ASSERT_TRUE(game.Start());
  const long ticksBefore = game.TitleWrites();
  ASSERT_TRUE(app.Launch(L"/tray /begin"));
  // From its start until it has ticked twice, the window is looked at as
  // often as this thread can: it is never visible, not even for a moment.
  bool seen = false;
  for (int look = 1; look < 1'000'000 && (look % 64 != 0 || game.TitleWrites() < ticksBefore + 2); ++look) {
    HWND form = FindProcessWindow(app.ProcessId(), ui::kForm1Class);
    seen |= form != nullptr && IsWindowVisible(form);
  }
  EXPECT_FALSE(seen);
  ASSERT_TRUE(app.WaitForMain(false));
  EXPECT_TRUE(TrayIconExists(app.Form1()));
  EXPECT_TRUE(game.WaitTicks(2));

  ASSERT_TRUE(app.FromTray());
  EXPECT_FALSE(IsIconic(app.Form1()));
  EXPECT_EQ(app.Caption(ui::kCmdBegin), expected::kStopCaption);
}

TEST_F(StartOptions, WaitWatchesAGameStartedLaterAndASecondStartOnlyShowsTheFirst) {
  Game stranger;  // another program's window of the game's class, in front of it: left alone
  ASSERT_TRUE(stranger.Start("--marker 0x80 --title \"Some Other Game\""));
  ASSERT_TRUE(app.Launch(L"/tray /wait"));
  ASSERT_TRUE(app.WaitForMain(false));
  EXPECT_TRUE(WaitFor([&] { return app.Caption(ui::kCmdBegin) == expected::kStopCaption; }));
  const std::wstring folder = TempFolder(L"harkwell-options");
  WriteFile(folder + L"player.txt", "0 join 4 Jazz\n");
  ASSERT_TRUE(game.Start("--scenario \"" + Utf8(folder + L"player.txt") + "\""));
  EXPECT_TRUE(game.WaitForTitle("Jazz has joined") && stranger.TitleWrites() == 0);
  EXPECT_EQ(FindProcessWindow(app.ProcessId(), "#32770", expected::kTitle), nullptr);

  // A shortcut started while it runs, then beside one run as administrator, whose mutex it may not open: the
  // running one comes out of the tray, the new one ends at once, with no box and none of its options applied.
  const std::wstring exe = L"\"" + Wide(ProgramDirectory()) + L"Harkwell.exe\" ";
  Process second;
  for (ACL nothing; const bool elevated : {false, true}) {
    const OwnedHandle mutex(OpenMutexW(WRITE_DAC, FALSE, ui::kInstanceMutex));
    ASSERT_TRUE(!elevated || (app.ToTray() && InitializeAcl(&nothing, sizeof nothing, ACL_REVISION) &&
                              SetSecurityInfo(mutex.get(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION,
                                              nullptr, nullptr, &nothing, nullptr) == ERROR_SUCCESS));
    ASSERT_TRUE(second.Start(exe + L"/flashjoin /bogus"));
    EXPECT_TRUE(second.WaitForExit());
    EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(app.Form1()) && !TrayIconExists(app.Form1()); }));
  }
  EXPECT_FALSE(app.IsTicked(ui::kChkFlashJoin));
  EXPECT_EQ(FindWindowA("#32770", expected::kTitle), nullptr);
  ASSERT_TRUE(app.Exit());

  // Two started at the same moment: exactly one stays.
  Process one, other;
  ASSERT_TRUE(one.Start(exe) && other.Start(exe));
  EXPECT_TRUE(WaitFor([&] { return !one.Running() || !other.Running(); }, 15s));
  EXPECT_TRUE(one.Running() || other.Running());
  EXPECT_NE(FindWindowA(ui::kForm1Class, nullptr), nullptr);
}

TEST_F(StartOptions, BeginWithoutAGameShowsTheWindowAndItsMessageThenStaysOff) {
  ASSERT_TRUE(game.Start("--marker 0x80 --title \"Some Other Game\""));  // nor takes another program for it
  ASSERT_TRUE(app.Launch(L"/tray /begin"));
  HWND box = app.WaitForMessageBox();
  ASSERT_NE(box, nullptr);
  ASSERT_TRUE(app.WaitForMain());  // out of the tray, to be seen behind the box
  EXPECT_EQ(Harkwell::CloseMessageBox(box), expected::kNoGame);
  EXPECT_TRUE(app.Caption(ui::kCmdBegin) == expected::kBeginCaption && game.TitleWrites() == 0);
}

TEST_F(StartOptions, ABadArgumentIsNamedThenThePlainWindowOpensAndHelpOnlyHelps) {
  for (const auto& [arguments, firstLine] :
       {std::pair{L"/flashjoin /bogus /begin", "\"/bogus\" is not an option of Harkwell."},
        std::pair{L"/begin /join nowhere.wav", "\"nowhere.wav\" names no file that can be opened."},
        // Only a relative path is looked for beside Harkwell too, where sounds\join.wav is.
        std::pair{
            L"/join \"\" /leave \\sounds\\join.wav /join /sounds/join.wav /leave C:sounds\\join.wav /join x",
            "\"\" names no file that can be opened."}}) {
    ASSERT_TRUE(app.Launch(arguments));
    HWND box = app.WaitForMessageBox();
    ASSERT_NE(box, nullptr);
    const std::string text = Harkwell::CloseMessageBox(box);
    EXPECT_EQ(text.substr(0, text.find('\n')), firstLine);
    EXPECT_NE(text.find("Usage:"), std::string::npos);
    ASSERT_TRUE(app.WaitForMain());
    EXPECT_EQ(app.Caption(ui::kCmdBegin), expected::kBeginCaption);
    EXPECT_FALSE(app.IsTicked(ui::kChkFlashJoin) || app.IsTicked(ui::kChkPlayJoin));
    EXPECT_TRUE(app.Exit());
  }

  ASSERT_TRUE(app.Launch(L"/begin -? /bogus"));
  HWND box = app.WaitForMessageBox();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(Harkwell::CloseMessageBox(box).rfind("Usage:", 0), 0u);
  EXPECT_TRUE(app.OwnProcess().WaitForExit());
  EXPECT_EQ(FindProcessWindow(app.ProcessId(), ui::kForm1Class), nullptr);
}

TEST_F(StartOptions, ASecondStartGivesUpOnAFirstThatNeverShowsAWindow) {
  const OwnedHandle first(CreateMutexW(nullptr, FALSE, ui::kInstanceMutex));
  Process second;
  ASSERT_TRUE(second.Start(L"\"" + Wide(ProgramDirectory()) + L"Harkwell.exe\""));
  EXPECT_TRUE(second.WaitForExit(15s));
}

}  // namespace
}  // namespace harkwell::rig
