// Whole ticks against a simulated game: the steady state and the game's exit.
#include <algorithm>
#include <set>

#include "monitor_fixture.h"

namespace harkwell {
namespace {

using TickTest = MonitorTest;

TEST_F(TickTest, PlayersAlreadyInTheGameAreReportedOneAtATimeFromTheFirstTick) {
  Join(3, "Early");
  Join(6, "Bird");
  AttachToGame();
  MonitorTick();
  EXPECT_EQ(game().title, "Early has joined");
  Ticks(20);
  EXPECT_EQ(game().title, kGameTitle);  // slot 6 was absorbed, never announced
}

TEST_F(TickTest, QuietTicksKeepTheNamesOfTheLastReportedEvent) {
  AttachToGame();
  Join(2, "Before");
  MonitorTick();
  Rename(2, "After");
  Ticks(10);
  EXPECT_EQ(previousSnapshot.names[1], "Before");
  Leave(2);
  MonitorTick();
  EXPECT_EQ(game().title, "Before has left");
}

TEST_F(TickTest, GameExitWithPlayersPresentGivesOneLeaveThenSilence) {
  AttachToGame();
  Join(4, "Spaz");
  Join(7, "Jazz");
  Ticks(2);
  simulated::EndProcess();
  game().titlesSet.clear();
  MonitorTick();
  ASSERT_EQ(game().titlesSet, std::vector<std::string>{"Spaz has left"});
  // The window went with the game: the leave is written again while it is up,
  // then only the game's own title, and every read fails at once.
  const long before = game().reads;
  Ticks(30);
  EXPECT_EQ(game().reads - before, 30 * RosterReads(0, 0));
  std::vector<std::string> expected(17, "Spaz has left");
  expected.resize(31, kGameTitle);
  EXPECT_EQ(game().titlesSet, expected);
}

TEST_F(TickTest, GameExitingAtAnyReadGivesEachPlayerAtMostOneLeaveWithTheirWholeName) {
  const std::set<std::string> players{"Alice has left", "Bob has left", "Carol has left"};
  long readsOfATick = 0;  // measured on the quiet tick before the exit
  for (long exitAt = 0; exitAt <= readsOfATick; ++exitAt) {
    SCOPED_TRACE(exitAt);
    SetUp();
    Join(2, "Alice");
    Join(5, "Bob");
    Join(20, "Carol");
    AttachToGame();
    MonitorTick();
    const long before = game().reads;
    MonitorTick();
    readsOfATick = game().reads - before;
    alertSettings.flashLeave = 1;  // one flash for each leave reported
    game().readsBeforeExit = exitAt;
    game().titlesSet.clear();
    Ticks(3);
    const std::set<std::string> leaves(game().titlesSet.begin(), game().titlesSet.end());
    EXPECT_TRUE(std::includes(players.begin(), players.end(), leaves.begin(), leaves.end()));
    EXPECT_EQ(leaves.size(), game().flashesRequested.size());
    EXPECT_GE(leaves.size(), 1u);
  }
}

TEST_F(TickTest, EachTickReadsEveryOccupancyByteAndEveryNameWithItsTerminatorOnce) {
  for (int players : {0, 8, 32}) {
    for (int nameLength : {0, 16, 64, static_cast<int>(kMaxNameLength)}) {
      SetUp();
      for (int slot = 1; slot <= players; ++slot) Join(slot, std::string(nameLength, 'n'));
      AttachToGame();
      for (int tick = 0; tick < 3; ++tick) {  // with and without an event
        const long before = game().reads;
        MonitorTick();
        EXPECT_EQ(game().reads - before, RosterReads(players, nameLength))
            << players << " players, names of " << nameLength;
      }
    }
  }
}

TEST_F(TickTest, TickOverUnterminatedAndFailingMemoryFinishesWithinTheReadBound) {
  AttachToGame();
  for (std::uint32_t a = NameAddress(0, 1); a < 0x700000; ++a) simulated::WriteByte(a, 'A');
  game().unreadable.push_back({NameAddress(0, 21) + 5, NameAddress(0, 22)});
  game().readsBeforeExit = 32 + 25 * 1348;  // the game goes away in the middle of a tick
  const long before = game().reads;
  MonitorTick();
  EXPECT_LE(game().reads - before, RosterReads(kSlotCount, kMaxNameLength));
  ASSERT_FALSE(game().titlesSet.empty());
  EXPECT_EQ(game().titlesSet.back().size(), kMaxNameLength + std::string(" has joined").size());

  MonitorTick();  // the process has ended: everybody is gone, named as last read in full
  EXPECT_EQ(game().titlesSet.back(), std::string(kMaxNameLength, 'A') + " has left");
}

}  // namespace
}  // namespace harkwell
