// Whole ticks against a simulated game: the steady state and the game's exit.
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
  MonitorTick();
  MonitorTick();  // absorbs nothing new: both already kept after the first tick
  simulated::EndProcess();
  game().titlesSet.clear();
  MonitorTick();
  ASSERT_EQ(game().titlesSet.size(), 1u);
  EXPECT_EQ(game().titlesSet[0], "Spaz has left");
  const long readsPerTick = game().reads;
  Ticks(30);
  EXPECT_EQ(game().titlesSet.size(), 1u + 30u - 16u);  // only the title being put back
  for (std::size_t i = 1; i < game().titlesSet.size(); ++i) EXPECT_EQ(game().titlesSet[i], kGameTitle);
  EXPECT_GT(readsPerTick, 0);
}

TEST_F(TickTest, EachTickReadsEveryOccupancyByteAndEveryNameWithItsTerminatorOnce) {
  for (int players : {0, 8, 32}) {
    for (int nameLength : {0, 16, 64}) {
      SetUp();
      for (int slot = 1; slot <= players; ++slot) Join(slot, std::string(nameLength, 'n'));
      AttachToGame();
      for (int tick = 0; tick < 3; ++tick) {  // with and without an event
        const long before = game().reads;
        MonitorTick();
        EXPECT_EQ(game().reads - before, 32 + players * (nameLength + 1) + (32 - players))
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
  EXPECT_LE(game().reads - before, 32 + 32 * 1349);
  ASSERT_FALSE(game().titlesSet.empty());
  EXPECT_EQ(game().titlesSet.back().size(), kMaxNameLength + std::string(" has joined").size());

  MonitorTick();  // the process has ended: everybody is gone
  EXPECT_EQ(game().titlesSet.back().size(), kMaxNameLength + std::string(" has left").size());
  EXPECT_EQ(previousSnapshot.names[0], "");
}

}  // namespace
}  // namespace harkwell
