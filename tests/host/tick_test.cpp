// Whole ticks against a simulated game: the reads of a tick, the game's end
// at any point, the wait for the next game, and another game after a Begin.
#include "monitor_fixture.h"
#include "tests/expected.h"

namespace harkwell {
namespace {

using TickTest = MonitorTest;

TEST_F(TickTest, AnEndedGameGivesEveryoneOneLeaveThenTheNextIsAwaitedWithoutReads) {
  AttachToGame();
  alertSettings = {1, 1, 1, 1, u"join.wav", u"leave.wav"};
  Join(4, "Spaz");
  Join(7, "Jazz");
  game().titleWritesToMiss = 2;  // the idle title and the joins: they wait to be written again
  MonitorTick();
  simulated::EndProcess();
  game().titlesSet.clear();
  game().soundsPlayed.clear();
  game().flashesRequested.clear();
  EXPECT_EQ(MonitorTick(), TickOutcome::WaitingForGame);
  EXPECT_EQ(game().titlesSet, Titles{"Spaz has left, Jazz has left"});
  EXPECT_EQ(announcements.last, "Spaz has left, Jazz has left");
  ASSERT_EQ(game().soundsPlayed.size(), 1u);
  EXPECT_EQ(game().soundsPlayed[0].path, u"leave.wav");
  EXPECT_EQ(game().flashesRequested.size(), 1u);
  EXPECT_TRUE(game().openHandles.empty());

  const long reads = game().reads;
  game().others = {{}, {.openable = false}};  // other programs' windows of the class: never the game
  for (int tick = 0; tick < 30; ++tick) EXPECT_EQ(MonitorTick(), TickOutcome::WaitingForGame);
  simulated::RestartProcess();
  game().processOpenable = false;  // a game run as administrator
  EXPECT_EQ(MonitorTick(), TickOutcome::GameCannotBeOpened);
  EXPECT_TRUE(game().reads == reads && game().openHandles.empty());

  game().processOpenable = true;
  Join(2, "Lori");
  EXPECT_EQ(MonitorTick(), TickOutcome::Watching);
  MonitorTick();
  // Neither the joins that were never taken nor any leave reach the new game.
  EXPECT_EQ(game().titlesSet, (Titles{"Spaz has left, Jazz has left", kGameTitle, "Lori has joined"}));
  EXPECT_EQ(game().soundsPlayed.size(), 2u);
}

TEST_F(TickTest, AGameEndingAtAnyReadOfATickGivesEachPlayerOneLeaveInOneTitle) {
  long readsOfATick = 1;  // measured on the quiet tick before the end
  for (long endAt = 0; endAt < readsOfATick; ++endAt) {
    SCOPED_TRACE(endAt);
    SetUp();
    Join(2, "Alice");
    Join(5, "Bob");
    Join(20, "Carol");
    AttachToGame();
    alertSettings.flashLeave = 1;
    Ticks(17);  // the joins' announcement is over
    const long before = game().reads;
    MonitorTick();
    readsOfATick = game().reads - before;
    game().readsBeforeExit = endAt;
    EXPECT_EQ(TitlesOverTicks(3), (Titles{kGameTitle, "Alice has left, Bob has left, Carol has left"}));
    EXPECT_EQ(game().flashesRequested.size(), 1u);
  }
}

TEST_F(TickTest, ABeginOnAnotherGameStartsFromAnEmptyRosterAndOnTheSameOneFromTheKeptRoster) {
  const struct {
    const char* what;
    bool restart, sameId;
    const char* title;
  } cases[] = {
      {"the same game", false, false, "Alice has left, Bob has joined"},
      {"a restarted game", true, false, "Bob has joined"},
      {"a restarted game under the same id", true, true, "Bob has joined"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    SetMarker(0xC0);  // a known build is found again with its announcement in the title
    AttachToGame();
    Join(2, "Alice");
    MonitorTick();
    Detach();  // Stop: the countdown stays frozen
    const std::uint32_t id = game().processId;
    if (c.restart) simulated::RestartProcess();
    if (c.sameId) game().processId = id;
    Leave(2);
    Join(3, "Bob");
    AttachToGame();
    EXPECT_EQ(TitlesOverTicks(1), Titles{c.title});
  }
}

TEST_F(TickTest, EachTickReadsEveryOccupancyByteAndEveryNameWithItsTerminatorOnce) {
  for (int players : {0, 8, 32}) {
    for (int nameLength : {0, 16, 64, static_cast<int>(expected::kNameBytes)}) {
      SetUp();
      for (int slot = 1; slot <= players; ++slot) Join(slot, std::string(nameLength, 'n'));
      AttachToGame();
      for (int tick = 0; tick < 3; ++tick) {  // with and without an event
        const long before = game().reads;
        MonitorTick();
        EXPECT_EQ(game().reads - before, expected::RosterReads(players, nameLength))
            << players << " players, names of " << nameLength;
      }
    }
  }
}

TEST_F(TickTest, TickOverUnterminatedAndFailingMemoryFinishesWithinTheReadBound) {
  AttachToGame();
  for (std::uint32_t a = NameAddress(0, 1); a < 0x700000; ++a) simulated::WriteByte(a, 'A');
  MonitorTick();  // every slot joins, named up to its occupancy byte
  game().unreadable.push_back({NameAddress(0, 21) + 5, NameAddress(0, 22)});
  game().readsBeforeExit = 32 + 25 * 1348;  // the game goes away in the middle of a tick
  const long before = game().reads;
  MonitorTick();
  EXPECT_LE(game().reads - before, expected::RosterReads(expected::kSlots, expected::kNameBytes));
  MonitorTick();
  std::string leaves = std::string(expected::kNameBytes, 'A') + " has left";
  for (int slot = 2; slot <= expected::kSlots; ++slot)
    leaves += ", " + std::string(expected::kNameBytes, 'A') + " has left";
  EXPECT_EQ(game().titlesSet.back(), leaves);
}

}  // namespace
}  // namespace harkwell
