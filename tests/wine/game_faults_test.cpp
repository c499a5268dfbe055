// The game misbehaving under a monitoring Harkwell.exe: ending with players
// present and starting again, records that run wild, a window replaced,
// several changes within one tick, and a game that stops answering.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "tests/expected.h"
#include "tests/rig/beside_game.h"

namespace harkwell::rig {
namespace {

using Titles = std::vector<std::string>;

constexpr TestSound kJoinSound{0x1111, 250};
constexpr TestSound kLeaveSound{0x2222, 500};

using GameFaults = HarkwellBesideGame;

TEST_F(GameFaults, AGameThatEndsGivesOneLeaveSoundAndTheNextGamesPlayersAreAnnouncedUnasked) {
  const std::wstring folder = TempFolder(L"harkwell-game-faults");
  WriteFile(folder + L"join.wav", WaveFile(kJoinSound));
  WriteFile(folder + L"leave.wav", WaveFile(kLeaveSound));
  WriteFile(folder + L"players.txt", "0 join 3 Lori\n0 join 9 Bunny\n");
  app.ChooseSound(ui::kCmdSoundJoin, folder + L"join.wav");
  app.ChooseSound(ui::kCmdSoundLeave, folder + L"leave.wav");
  app.SetChecked(ui::kChkPlayJoin, true);
  app.SetChecked(ui::kChkPlayLeave, true);
  Begin();
  Announced("join 2 Jazz", "Jazz has joined");
  Announced("join 5 Spaz", "Spaz has joined");
  ASSERT_TRUE(PlayedExactly({kJoinSound, kJoinSound})) << Describe(PlayedSounds());

  // The window goes with the game, so the leaves are heard, once for both.
  ASSERT_TRUE(game.Command("exit"));
  ASSERT_TRUE(game.OwnProcess().WaitForExit());
  EXPECT_TRUE(PlayedExactly({kJoinSound, kJoinSound, kLeaveSound})) << Describe(PlayedSounds());

  // A game started later, with players already in, is found by the ticks:
  // no box, no leave of the last game, the joins within two ticks.
  ASSERT_TRUE(game.Start("--scenario \"" + Utf8(folder + L"players.txt") + "\""));
  const std::string joins = "Lori has joined, Bunny has joined";
  EXPECT_EQ(game.TitlesOverTicks(4, joins), (Titles{kGameTitle, joins}));
  EXPECT_EQ(app.Caption(ui::kCmdBegin), expected::kStopCaption);
  EXPECT_EQ(FindProcessWindow(app.ProcessId(), "#32770", expected::kTitle), nullptr);
  EXPECT_TRUE(PlayedExactly({kJoinSound, kJoinSound, kLeaveSound, kJoinSound})) << Describe(PlayedSounds());
}

TEST_F(GameFaults, UnreadableRecordsAndAnUnterminatedNameNeitherStopTheTicksNorRunPastTheRecord) {
  Begin();
  Announced("join 3 Jazz", "Jazz has joined");
  // Under Wine the reads see through the protection (nothing is announced);
  // what matters is that the ticks go on and keep announcing.
  ASSERT_TRUE(game.Command("noaccess 3"));
  Announced("join 1 Spaz", "Spaz has joined");

  // Slot 32's name, and its occupancy byte with it, become non-zero bytes
  // running to the end of the table's memory: a join whose name must stop
  // at the record's own occupancy byte.
  Announced("unterminated 32", std::string(kMaxNameLength, 'X') + " has joined");
  Announced("join 2 Lori", "Lori has joined");
  EXPECT_TRUE(Answers(app.Form1()));

  // A game that replaces its window while it runs: the announcements follow.
  ASSERT_TRUE(game.ReplaceWindow());
  Announced("leave 2", "Lori has left");
}

TEST_F(GameFaults, ChangesWithinOneTickAreAnnouncedTogetherRenamesNotAtAllAndABusyGameGetsThemLater) {
  Begin();
  Announced("join 3 Ann", "Ann has joined");
  ASSERT_TRUE(game.WaitForTitle(kGameTitle));  // over, so the next tick writes the title first

  ASSERT_TRUE(game.Queue("join 6 Cid") && game.Queue("join 5 Bob"));
  ASSERT_TRUE(game.WaitForTitle("Bob has joined, Cid has joined"));
  // A leave, its name left in the record, and a join.
  ASSERT_TRUE(game.Queue("occupancy 3 0") && game.Queue("join 7 Dan"));
  ASSERT_TRUE(game.WaitForTitle("Ann has left, Dan has joined"));

  // A rename is no event: a later leave carries the name of the join.
  ASSERT_TRUE(game.Command("rename 5 Rob"));
  ASSERT_TRUE(game.WaitForTitle(kGameTitle));
  EXPECT_EQ(game.TitlesOverTicks(4), Titles{kGameTitle});
  ASSERT_TRUE(game.Queue("leave 5") && game.Queue("leave 6"));
  EXPECT_TRUE(game.WaitForTitle("Bob has left, Cid has left"));

  // A game too busy to take an announcement: the stall starts right after the
  // tick's first title write, so the announcement that follows times out.
  for (const auto& [stall, change, title] : {std::tuple{"hang 400", "join 4 Jazz", "Jazz has joined"},
                                             std::tuple{"hang 1500", "leave 4", "Jazz has left"}}) {
    ASSERT_TRUE(game.WaitForTitle(kGameTitle));
    ASSERT_TRUE(game.Queue(stall) && game.Queue(change));
    EXPECT_TRUE(game.WaitForTitle(title)) << "after " << stall << " and " << change;
  }
}

TEST_F(GameFaults, AGameThatStopsAnsweringHoldsUpNeitherHarkwellNorItsTicks) {
  Begin();
  ASSERT_TRUE(game.Command("hang 6000"));
  ASSERT_FALSE(Answers(game.Window(), 200ms)) << "the game should be hanging";

  // Harkwell answers at once: About opens, the window goes to the tray and
  // comes back, and Stop and Begin work.
  app.Click(ui::kCmdAbout);
  HWND about = app.WaitForWindow(ui::kForm2Class, nullptr, 1s);
  ASSERT_NE(about, nullptr);
  PostMessageA(about, WM_CLOSE, 0, 0);
  EXPECT_TRUE(app.ToTray(1s));
  EXPECT_TRUE(app.FromTray(1s));
  ExpectBegin("", expected::kBeginCaption);  // Stop
  ExpectBegin("", expected::kStopCaption);   // Begin: finding and opening the game needs no answer from it

  // Once the game answers again, so do the announcements.
  ASSERT_TRUE(Answers(game.Window(), 10s));
  Announced("join 4 Jazz", "Jazz has joined");
}

}  // namespace
}  // namespace harkwell::rig
