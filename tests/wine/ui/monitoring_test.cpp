// Begin and Stop Monitoring on a machine without a sound device: the checks
// before a start, attaching to the game, and the announcement in its title.
#include <windows.h>

#include <gtest/gtest.h>
#include <mmsystem.h>

#include <string>

#include "tests/wine/ui/harkwell_driver.h"

namespace harkwell::uitest {
namespace {

constexpr char kNoSoundDevice[] =
    "You have no sound device installed, or you have an error with it.  Therefore, sounds cannot be played.";
constexpr char kNoGame[] = "This program requires JJ2 to be running.";
constexpr char kBegin[] = "&Begin Monitoring";
constexpr char kStop[] = "&Stop Monitoring";

class Monitoring : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(waveOutGetNumDevs(), 0u) << "these tests need a machine without a wave device";
    ASSERT_TRUE(app.Start());
  }
  void TearDown() override {
    if (app.process.Running()) {
      EXPECT_TRUE(app.Exit());
    }
  }

  Harkwell app;
  Game game;
};

TEST_F(Monitoring, WithoutTheGameBeginShowsTheAttachMessageAndLaterSucceeds) {
  EXPECT_EQ(app.ClickBegin(), kNoGame);
  EXPECT_EQ(app.Caption(ui::kCmdBegin), kBegin);
  // The Flash boxes take part in no check: still only the attach message.
  app.Tick(ui::kChkFlashJoin, true);
  app.Tick(ui::kChkFlashLeave, true);
  EXPECT_EQ(app.ClickBegin(), kNoGame);
  EXPECT_EQ(app.Caption(ui::kCmdBegin), kBegin);

  ASSERT_TRUE(game.Start());
  EXPECT_EQ(app.ClickBegin(), "");
  EXPECT_EQ(app.Caption(ui::kCmdBegin), kStop);
  EXPECT_EQ(app.ClickBegin(), "");
  EXPECT_EQ(app.Caption(ui::kCmdBegin), kBegin);
}

TEST_F(Monitoring, AnyPlayBoxWithoutASoundDeviceShowsOnlyTheDeviceMessage) {
  ASSERT_TRUE(game.Start());
  app.Tick(ui::kChkPlayJoin, true);
  app.Tick(ui::kChkPlayLeave, true);
  EXPECT_EQ(app.ClickBegin(), kNoSoundDevice);  // not the missing-sound messages
  EXPECT_EQ(app.Caption(ui::kCmdBegin), kBegin);

  app.Tick(ui::kChkPlayJoin, false);
  EXPECT_EQ(app.ClickBegin(), kNoSoundDevice);
  EXPECT_EQ(app.Caption(ui::kCmdBegin), kBegin);

  // Without Play boxes the device is not asked for and Begin goes through.
  app.Tick(ui::kChkPlayLeave, false);
  EXPECT_EQ(app.ClickBegin(), "");
  EXPECT_EQ(app.Caption(ui::kCmdBegin), kStop);
}

TEST_F(Monitoring, AJoinAndALeaveAreAnnouncedInTheGameTitle) {
  ASSERT_TRUE(game.Start());
  ASSERT_EQ(app.ClickBegin(), "");
  ASSERT_TRUE(game.Command("join 3 Sp|az"));
  EXPECT_TRUE(WaitFor([&] { return game.Title() == "Spaz has joined"; }));
  // The announcement runs out and the game's own title comes back.
  EXPECT_TRUE(WaitFor([&] { return game.Title() == "Jazz Jackrabbit 2"; }));
  ASSERT_TRUE(game.Command("leave 3"));
  EXPECT_TRUE(WaitFor([&] { return game.Title() == "Spaz has left"; }));
}

TEST_F(Monitoring, StopLeavesTheAnnouncementAndBeginAttachesAfresh) {
  ASSERT_TRUE(game.Start());
  ASSERT_EQ(app.ClickBegin(), "");
  ASSERT_TRUE(game.Command("join 1 Jazz"));
  ASSERT_TRUE(WaitFor([&] { return game.Title() == "Jazz has joined"; }));
  ASSERT_EQ(app.ClickBegin(), "");  // Stop
  ASSERT_EQ(app.Caption(ui::kCmdBegin), kBegin);
  // Longer than an announcement lasts: with no ticks nothing puts the title back.
  EXPECT_FALSE(WaitFor([&] { return game.Title() != "Jazz has joined"; }, 5s));

  // A restarted game is a new window and process; the next Begin finds them.
  // The kept roster still has Jazz, so the empty new game first reads as his leave.
  game.Stop();
  ASSERT_TRUE(game.Start("--marker 0xE8"));
  ASSERT_EQ(app.ClickBegin(), "");
  ASSERT_EQ(app.Caption(ui::kCmdBegin), kStop);
  EXPECT_TRUE(WaitFor([&] { return game.Title() == "Jazz has left"; }));
  ASSERT_TRUE(game.Command("join 2 Lori"));
  EXPECT_TRUE(WaitFor([&] { return game.Title() == "Lori has joined"; }));
}

}  // namespace
}  // namespace harkwell::uitest
