// The game misbehaving under a monitoring Harkwell.exe: exiting with players
// present, records that run wild, and several changes within one tick.
#include <windows.h>

#include <gtest/gtest.h>
#include <mmsystem.h>

#include <string>
#include <vector>

#include "tests/wine/reliability/reliability_support.h"
#include "tools/simgame/simgame_protocol.h"

namespace harkwell::reliability {
namespace {

using Titles = std::vector<std::string>;

constexpr TestSound kJoinSound{0x1111, 250};
constexpr TestSound kLeaveSound{0x2222, 500};

class GameFaults : public HarkwellBesideGame {
 protected:
  static void SetUpTestSuite() {
    folder_ = TempFolder(L"harkwell-game-faults");
    WriteWav(folder_ + L"join.wav", kJoinSound);
    WriteWav(folder_ + L"leave.wav", kLeaveSound);
  }

  // Begins monitoring and waits until the first tick has put the game's title back.
  void Begin() {
    ASSERT_EQ(app.ClickBegin(), "");
    SetWindowTextA(game.window, "before the first tick");
    ASSERT_TRUE(WaitFor([&] { return game.Title() == kGameTitle; }));
  }
  void Announced(const std::string& title) {
    ASSERT_TRUE(WaitFor([&] { return game.Title() == title; })) << "waiting for " << title;
  }
  // Waits until the announcement is over, so the next tick writes the title.
  void AnnouncementOver() {
    ASSERT_TRUE(WaitFor([&] { return game.Title() == kGameTitle; }));
  }

  static std::wstring folder_;
};
std::wstring GameFaults::folder_;

TEST_F(GameFaults, ExitWithPlayersPresentGivesOneLeaveThenSilenceAndBeginNoLongerAttaches) {
  app.ChooseSound(ui::kCmdSoundJoin, Utf8(folder_ + L"join.wav"));
  app.ChooseSound(ui::kCmdSoundLeave, Utf8(folder_ + L"leave.wav"));
  app.Tick(ui::kChkPlayJoin, true);
  app.Tick(ui::kChkPlayLeave, true);
  Begin();
  ASSERT_TRUE(game.Command("join 2 Jazz"));
  Announced("Jazz has joined");
  ASSERT_TRUE(PlayedExactly({kJoinSound})) << Describe(PlayedSounds());
  ASSERT_TRUE(game.Command("join 5 Spaz"));
  Announced("Spaz has joined");
  ASSERT_TRUE(PlayedExactly({kJoinSound, kJoinSound})) << Describe(PlayedSounds());

  // The window goes with the game, so the leave is heard, not seen.
  ASSERT_TRUE(game.Command("exit"));
  ASSERT_TRUE(game.process.WaitForExit());
  EXPECT_TRUE(PlayedExactly({kJoinSound, kJoinSound, kLeaveSound})) << Describe(PlayedSounds());
  EXPECT_FALSE(WaitFor([] { return PlayedSounds().size() > 3; }, 3s)) << "twelve ticks after the leave";
  EXPECT_EQ(PlayedSounds().size(), 3u) << Describe(PlayedSounds());

  EXPECT_TRUE(Answers(app.form1));
  EXPECT_EQ(app.ClickBegin(), "");  // Stop
  EXPECT_EQ(app.ClickBegin(), kNoGame);
  EXPECT_TRUE(Answers(app.form1));
}

TEST_F(GameFaults, UnreadableRecordsAndAnUnterminatedNameNeitherStopTheTicksNorRunPastTheRecord) {
  Begin();
  ASSERT_TRUE(game.Command("join 3 Jazz"));
  Announced("Jazz has joined");
  AnnouncementOver();

  // Under Wine the reads see through the protection (nothing is announced);
  // what matters is that the ticks go on and keep announcing.
  ASSERT_TRUE(game.Command("noaccess 3"));
  ASSERT_TRUE(game.Command("join 1 Spaz"));
  Announced("Spaz has joined");
  AnnouncementOver();

  // Slot 32's name, and its occupancy byte with it, become non-zero bytes
  // running to the end of the table's memory: a join whose name must stop
  // at the record's own occupancy byte.
  ASSERT_TRUE(game.Command("unterminated 32"));
  const std::string longName(1348, 'X');
  ASSERT_TRUE(WaitFor([&] { return FullTitle(game.window) == longName + " has joined"; }))
      << FullTitle(game.window).size() << " characters: " << FullTitle(game.window).substr(0, 40);
  ASSERT_TRUE(game.Command("join 2 Lori"));
  Announced("Lori has joined");
  EXPECT_TRUE(Answers(app.form1));
}

TEST_F(GameFaults, ChangesWithinOneTickAreReportedByTheSumsAlone) {
  Begin();
  ASSERT_TRUE(game.Command("join 3 Ann"));
  Announced("Ann has joined");
  AnnouncementOver();

  auto join = [&](int slot, const std::string& name) {
    ASSERT_TRUE(WriteGameMemory(game, simgame::NameAddress(0, slot), name + '\0'));
    ASSERT_TRUE(WriteGameMemory(game, simgame::OccupancyAddress(0, slot), std::string(1, '\1')));
  };
  auto leave = [&](int slot) {
    ASSERT_TRUE(WriteGameMemory(game, simgame::OccupancyAddress(0, slot), std::string(1, '\0')));
    ASSERT_TRUE(WriteGameMemory(game, simgame::NameAddress(0, slot), std::string(1, '\0')));
  };

  // Two joins: one announcement, for the lower slot.
  WithTickHeld(game, [&] {
    join(6, "Cid");
    join(5, "Bob");
  });
  Titles titles = RecordTitles(
      game.window, [](const Titles& t) { return t.size() >= 3; }, 8s);
  EXPECT_EQ(titles, (Titles{kGameTitle, "Bob has joined", kGameTitle}));
  EXPECT_EQ(RecordTitlesFor(game.window, 1s), Titles{kGameTitle});

  // A leave and a join: the sum stays, nothing is announced.
  WithTickHeld(game, [&] {
    leave(3);
    join(7, "Dan");
  });
  EXPECT_EQ(RecordTitlesFor(game.window, 2s), Titles{kGameTitle});

  // A rename is no event; the kept roster still has the old name, which a
  // later leave announces. Cid, who joined unannounced beside Bob, left his
  // name in the kept roster too.
  ASSERT_TRUE(game.Command("rename 5 Rob"));
  EXPECT_EQ(RecordTitlesFor(game.window, 2s), Titles{kGameTitle});
  ASSERT_TRUE(game.Command("leave 5"));
  Announced("Bob has left");
  ASSERT_TRUE(game.Command("leave 6"));
  Announced("Cid has left");
}

}  // namespace
}  // namespace harkwell::reliability
