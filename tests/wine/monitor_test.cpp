// The monitor against the simulated game in its own process, through the real
// Win32 calls: attach, read the table in both layouts, announce in the title
// for exactly the countdown. (Harkwell.exe's own tests cover attaching with
// no game and the game exiting, through the same calls.)
#include <gtest/gtest.h>

#include "monitor/attach.h"
#include "monitor/tick.h"
#include "notify/title.h"
#include "tests/expected.h"
#include "tests/program_state.h"
#include "tests/rig/rig.h"

namespace harkwell {
namespace {

void Ticks(int count) {
  for (int i = 0; i < count; ++i) MonitorTick();
}

class MonitorEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override { ResetProgramState(); }
  void TearDown() override { Detach(); }
  rig::Game game;
};

struct LayoutCase {
  const char* arguments;
  std::uint8_t layout;
};
class EveryBuild : public MonitorEndToEnd, public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(EveryBuild, JoinAndLeaveAppearInTheGameTitleForTheCountdown) {
  ASSERT_TRUE(game.Start(GetParam().arguments));
  ASSERT_TRUE(Attach());
  EXPECT_EQ(gameAttachment.layoutIndex, GetParam().layout);
  EXPECT_EQ(gameAttachment.gameProcessId, game.ProcessId());

  SetWindowTextA(game.Window(), "Something else");
  ASSERT_EQ(game.Title(), "Something else");
  MonitorTick();
  EXPECT_EQ(game.Title(), kGameTitle);

  ASSERT_TRUE(
      game.Command("join 5 Sp|az\xA7"
                   "2"));
  MonitorTick();
  EXPECT_EQ(game.Title(), "Spaz2 has joined");
  Ticks(16);
  EXPECT_EQ(game.Title(), "Spaz2 has joined");
  MonitorTick();
  EXPECT_EQ(game.Title(), kGameTitle);

  ASSERT_TRUE(game.Command("leave 5"));
  MonitorTick();
  EXPECT_EQ(game.Title(), "Spaz2 has left");
  Ticks(17);
  EXPECT_EQ(game.Title(), kGameTitle);
}

std::vector<LayoutCase> EveryBuildAndAnUnknownOne() {
  std::vector<LayoutCase> cases{{"--marker 0x55", 0}};
  for (std::uint8_t layout = 0; layout < std::size(expected::kBuilds); ++layout)
    cases.push_back({expected::kBuilds[layout].markerArgument, layout});
  return cases;
}
INSTANTIATE_TEST_SUITE_P(Markers, EveryBuild, ::testing::ValuesIn(EveryBuildAndAnUnknownOne()));

}  // namespace
}  // namespace harkwell
