// Begin and Stop Monitoring on a machine without a sound device: the checks
// before a start, attaching to the game, and the announcement in its title.
#include <windows.h>

#include <gtest/gtest.h>
#include <mmsystem.h>

#include "tests/expected.h"
#include "tests/rig/beside_game.h"

namespace harkwell::rig {
namespace {

class Monitoring : public HarkwellBesideGame {
 protected:
  void SetUp() override {
    ASSERT_EQ(waveOutGetNumDevs(), 0u) << "these tests need a machine without a wave device";
    HarkwellBesideGame::SetUp();
  }
};

TEST_F(Monitoring, WithoutTheGameBeginShowsTheAttachMessageAndLaterSucceeds) {
  game.Stop();
  EXPECT_EQ(app.ClickBegin(), expected::kNoGame);
  EXPECT_EQ(app.Caption(ui::kCmdBegin), expected::kBeginCaption);
  // The Flash boxes take part in no check: still only the attach message.
  app.SetChecked(ui::kChkFlashJoin, true);
  app.SetChecked(ui::kChkFlashLeave, true);
  EXPECT_EQ(app.ClickBegin(), expected::kNoGame);
  EXPECT_EQ(app.Caption(ui::kCmdBegin), expected::kBeginCaption);

  ASSERT_TRUE(game.Start());
  EXPECT_EQ(app.ClickBegin(), "");
  EXPECT_EQ(app.Caption(ui::kCmdBegin), expected::kStopCaption);
  EXPECT_EQ(app.ClickBegin(), "");
  EXPECT_EQ(app.Caption(ui::kCmdBegin), expected::kBeginCaption);
}

TEST_F(Monitoring, AnyPlayBoxWithoutASoundDeviceShowsOnlyTheDeviceMessage) {
  app.SetChecked(ui::kChkPlayJoin, true);
  app.SetChecked(ui::kChkPlayLeave, true);
  EXPECT_EQ(app.ClickBegin(), expected::kNoSoundDevice);  // not the missing-sound messages
  EXPECT_EQ(app.Caption(ui::kCmdBegin), expected::kBeginCaption);

  app.SetChecked(ui::kChkPlayJoin, false);
  EXPECT_EQ(app.ClickBegin(), expected::kNoSoundDevice);
  EXPECT_EQ(app.Caption(ui::kCmdBegin), expected::kBeginCaption);

  // Without Play boxes the device is not asked for and Begin goes through.
  app.SetChecked(ui::kChkPlayLeave, false);
  EXPECT_EQ(app.ClickBegin(), "");
  EXPECT_EQ(app.Caption(ui::kCmdBegin), expected::kStopCaption);
}

TEST_F(Monitoring, StopEndsTheTicksAndBeginAttachesAfresh) {
  Begin();
  Announced("join 1 Jazz", "Jazz has joined");
  ASSERT_TRUE(game.WaitForTitle(kGameTitle));  // the announcement ran out
  ASSERT_EQ(app.ClickBegin(), "");             // Stop
  ASSERT_EQ(app.Caption(ui::kCmdBegin), expected::kBeginCaption);
  // A running monitor would put the title back within a tick. A stopped one
  // makes no ticks to count, so the wait for a change is four intervals long.
  SetWindowTextA(game.Window(), "untouched");
  EXPECT_FALSE(WaitFor([&] { return game.Title() != "untouched"; }, 1s));

  // A restarted game is a new window and process; the next Begin finds them,
  // and its roster starts empty: Jazz was in the last game, not in this one.
  game.Stop();
  ASSERT_TRUE(game.Start("--marker 0xE8"));
  ASSERT_EQ(app.ClickBegin(), "");
  ASSERT_EQ(app.Caption(ui::kCmdBegin), expected::kStopCaption);
  EXPECT_EQ(game.TitlesOverTicks(3), std::vector<std::string>{kGameTitle});
  Announced("join 2 Lori", "Lori has joined");

  // Exit while it shows: the game gets its own title back.
  ASSERT_TRUE(app.Exit());
  EXPECT_EQ(game.Title(), kGameTitle);
}

}  // namespace
}  // namespace harkwell::rig
