// The monitor against the simulated game in its own process, through the real
// Win32 calls: attach, read the table, announce in the game's title.
#include <gtest/gtest.h>

#include "game_process.h"
#include "monitor/attach.h"
#include "monitor/change.h"
#include "monitor/tick.h"
#include "notify/alerts.h"
#include "notify/title.h"
#include "tests/program_state.h"

namespace harkwell {
namespace {

void Ticks(int count) {
  for (int i = 0; i < count; ++i) MonitorTick();
}

struct LayoutCase {
  const char* arguments;
  std::uint8_t layout;
};

class MonitorEndToEnd : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(MonitorEndToEnd, JoinAndLeaveAppearInTheGameTitleForTheCountdown) {
  ResetProgramState();
  test::GameProcess game;
  ASSERT_TRUE(game.Start(GetParam().arguments, GetParam().layout));
  ASSERT_TRUE(Attach());
  EXPECT_EQ(gameAttachment.layoutIndex, GetParam().layout);
  EXPECT_EQ(gameAttachment.gameProcessId, game.info.dwProcessId);

  SetWindowTextA(game.window, "Something else");
  MonitorTick();
  EXPECT_EQ(game.Title(), "Jazz Jackrabbit 2");

  game.Join(5,
            "Sp|az\xA7"
            "2");
  MonitorTick();
  EXPECT_EQ(game.Title(), "Spaz2 has joined");
  Ticks(16);
  EXPECT_EQ(game.Title(), "Spaz2 has joined");
  MonitorTick();
  EXPECT_EQ(game.Title(), "Jazz Jackrabbit 2");

  game.Leave(5);
  MonitorTick();
  EXPECT_EQ(game.Title(), "Spaz2 has left");
  Ticks(17);
  EXPECT_EQ(game.Title(), "Jazz Jackrabbit 2");
  Detach();
}

INSTANTIATE_TEST_SUITE_P(BothBuilds, MonitorEndToEnd,
                         ::testing::Values(LayoutCase{"--marker 0xC0", 0}, LayoutCase{"--marker 0xE8", 1},
                                           LayoutCase{"--marker 0x55", 0}));

TEST(MonitorEndToEndAttach, FailsWhenNoGameRuns) {
  ResetProgramState();
  ASSERT_EQ(FindWindowA("DDWndClass", nullptr), nullptr) << "a game from another test is still running";
  EXPECT_FALSE(Attach());
  EXPECT_EQ(gameAttachment.gameProcess, 0u);
}

TEST(MonitorEndToEndExit, GameExitWithAPlayerPresentGivesOneLeaveAndTicksGoOn) {
  ResetProgramState();
  test::GameProcess game;
  ASSERT_TRUE(game.Start("--marker 0xC0", 0));
  ASSERT_TRUE(Attach());
  game.Join(2, "Lori");
  MonitorTick();
  ASSERT_EQ(game.Title(), "Lori has joined");
  game.Stop();
  MonitorTick();
  EXPECT_EQ(titleCountdown, 16);  // the leave was announced (to a window that is gone)
  EXPECT_EQ(SumOccupancy(previousSnapshot), 0);
  Ticks(20);
  EXPECT_EQ(titleCountdown, 0);
  Detach();
  EXPECT_FALSE(Attach());
}

}  // namespace
}  // namespace harkwell
