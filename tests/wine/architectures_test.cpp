// Harkwell built for 32-bit and for 64-bit Windows, each beside the simulated
// game built both ways: the 64-bit Harkwell beside a 32-bit game is how most
// players run it. This program runs through tools/wine32.sh, so that it can
// start 32-bit programs (rig.h's BuiltFile and HarkwellExe say which).
#include <windows.h>

#include <gtest/gtest.h>
#include <winternl.h>

#include <string>
#include <vector>

#include "monitor/game_facts.h"
#include "tests/expected.h"
#include "tests/rig/rig.h"
#include "ui/control_ids.h"

namespace harkwell::rig {
namespace {

constexpr TestSound kJoinSound{0x1234, 250};

struct Combination {
  bool harkwell32;
  bool game32;
};

// The rights each handle of Harkwell's to the game grants, read from a copy
// in this process of every handle value Harkwell may hold.
std::vector<ACCESS_MASK> AccessToGame(DWORD harkwell, DWORD game) {
  std::vector<ACCESS_MASK> granted;
  const OwnedHandle process(OpenProcess(PROCESS_DUP_HANDLE, FALSE, harkwell));
  for (ULONG_PTR value = 4; process && value < 0x10000; value += 4) {
    HANDLE copy = nullptr;
    if (!DuplicateHandle(process.get(), reinterpret_cast<HANDLE>(value), GetCurrentProcess(), &copy, 0, FALSE,
                         DUPLICATE_SAME_ACCESS))
      continue;
    const OwnedHandle owned(copy);
    PUBLIC_OBJECT_BASIC_INFORMATION basic{};
    if (GetProcessId(copy) == game &&
        NtQueryObject(copy, ObjectBasicInformation, &basic, sizeof basic, nullptr) == 0)
      granted.push_back(basic.GrantedAccess);
  }
  return granted;
}

class Architectures : public testing::TestWithParam<Combination> {
 protected:
  bool StartGame(const char* marker) {
    game.Stop();
    return game.Start("--marker " + std::string(marker), BuiltFile(GetParam().game32, "simgame.exe"));
  }

  // Lets a player join and leave: both announced, the join for its 16 ticks
  // and with its sound.
  void JoinAndLeave(const std::string& name) {
    ForgetPlayedSounds();
    // The tick period on the game's own clock, to count the announcement in ticks.
    ASSERT_TRUE(game.WaitTicks(1));
    const DWORD quietStart = GetTickCount();
    ASSERT_TRUE(game.WaitTicks(8));
    const double tickMs = (GetTickCount() - quietStart) / 8.0;

    ASSERT_TRUE(game.Command("join 3 " + name));
    ASSERT_TRUE(game.WaitForTitle(name + " has joined"));
    const DWORD shown = GetTickCount();
    EXPECT_TRUE(PlayedExactly({kJoinSound})) << Describe(PlayedSounds());
    ASSERT_TRUE(game.WaitForTitle(kGameTitle));
    // Up for ticks T+1 to T+16, put back on T+17.
    const double ticksUp = (GetTickCount() - shown) / tickMs;
    EXPECT_GT(ticksUp, 15.5);
    EXPECT_LT(ticksUp, 18.5);

    ASSERT_TRUE(game.Command("leave 3"));
    ASSERT_TRUE(game.WaitForTitle(name + " has left"));
  }

  Harkwell app;
  Game game;
};

TEST_P(Architectures, MonitorBothLayoutsUseTheTrayAndAboutAndExitCleanly) {
  ASSERT_TRUE(StartGame("0xC0"));
  ASSERT_TRUE(app.Start(HarkwellExe(GetParam().harkwell32)));
  const std::wstring sound = TempFolder(L"harkwell-architectures") + L"join.wav";
  WriteFile(sound, WaveFile(kJoinSound));
  ASSERT_EQ(app.ChooseSound(ui::kCmdSoundJoin, sound), "");
  app.SetChecked(ui::kChkPlayJoin, true);
  ASSERT_EQ(app.ClickBegin(), "");
  ASSERT_EQ(app.Caption(ui::kCmdBegin), expected::kStopCaption);
  // Read, query and wait: no right that could change or end the game.
  const std::vector<ACCESS_MASK> granted = AccessToGame(app.ProcessId(), game.ProcessId());
  EXPECT_FALSE(granted.empty());
  for (const ACCESS_MASK access : granted)
    EXPECT_EQ(access & ~(PROCESS_VM_READ | PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE), 0u)
        << std::hex << access;
  JoinAndLeave("Spaz");

  // The other build's layout, attached afresh.
  ASSERT_EQ(app.ClickBegin(), "");
  ASSERT_TRUE(StartGame("0xE8"));
  ASSERT_EQ(app.ClickBegin(), "");
  JoinAndLeave("Lori");

  ASSERT_TRUE(app.ToTray());
  ASSERT_TRUE(app.FromTray());

  app.Click(ui::kCmdAbout);
  HWND about = app.WaitForWindow(ui::kForm2Class);
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(WindowText(about), expected::kAboutTitle);

  HWND form1 = app.Form1();
  EXPECT_TRUE(app.Exit());
  EXPECT_FALSE(IsWindow(about));
  EXPECT_FALSE(TrayIconExists(form1));
}

INSTANTIATE_TEST_SUITE_P(Builds, Architectures,
                         testing::Values(Combination{true, true}, Combination{true, false},
                                         Combination{false, true}, Combination{false, false}),
                         [](const testing::TestParamInfo<Combination>& info) {
                           return std::string(info.param.harkwell32 ? "Harkwell32" : "Harkwell64") +
                                  (info.param.game32 ? "Beside32BitGame" : "Beside64BitGame");
                         });

}  // namespace
}  // namespace harkwell::rig
