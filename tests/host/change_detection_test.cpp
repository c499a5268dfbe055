// Change detection: which event a tick reports, and what the kept roster holds
// afterwards, including a random drive against a small model of the rules.
#include <algorithm>
#include <random>

#include "monitor_fixture.h"

namespace harkwell {
namespace {

RosterSnapshot WithOccupied(std::initializer_list<int> slots) {
  RosterSnapshot snapshot;
  for (int slot : slots) {
    snapshot.occupancy[slot - 1] = 1;
    snapshot.names[slot - 1] = "P" + std::to_string(slot);
  }
  return snapshot;
}

class ChangeDetectionTest : public MonitorTest {};

TEST_F(ChangeDetectionTest, SumsAndChangedSlotCoverTheWholeByteRange) {
  RosterSnapshot full;
  full.occupancy.fill(255);
  EXPECT_EQ(SumOccupancy(full), 32 * 255);
  EXPECT_EQ(FindChangedSlot(full, full), -1);
  RosterSnapshot other = full;
  other.occupancy[31] = 254;
  EXPECT_EQ(FindChangedSlot(full, other), 32);
}

TEST_F(ChangeDetectionTest, JoinIsReportedForTheNewSlotWithItsCurrentName) {
  previousSnapshot = WithOccupied({1, 2});
  const RosterSnapshot current = WithOccupied({1, 2, 5});
  const auto event = DetectChange(current);
  ASSERT_TRUE(event);
  EXPECT_EQ(event->kind, EventKind::Join);
  EXPECT_EQ(event->slot, 5);
  EXPECT_EQ((*event->names)[4], "P5");
  EXPECT_EQ(event->names, &current.names);
}

TEST_F(ChangeDetectionTest, LeaveIsNamedFromTheKeptRoster) {
  previousSnapshot = WithOccupied({1, 2});
  RosterSnapshot current = WithOccupied({1});
  current.names[1] = "someone else";  // the record may already be reused
  const auto event = DetectChange(current);
  ASSERT_TRUE(event);
  EXPECT_EQ(event->kind, EventKind::Leave);
  EXPECT_EQ(event->slot, 2);
  EXPECT_EQ((*event->names)[1], "P2");
}

TEST_F(ChangeDetectionTest, SimultaneousChangesFollowTheSumAndTheLowestChangedSlot) {
  previousSnapshot = WithOccupied({1});
  auto event = DetectChange(WithOccupied({1, 4, 9}));
  ASSERT_TRUE(event);
  EXPECT_EQ(event->slot, 4);  // the second join is absorbed

  previousSnapshot = WithOccupied({3});
  EXPECT_FALSE(DetectChange(WithOccupied({7})));  // a leave and a join cancel out

  previousSnapshot = WithOccupied({3});
  const RosterSnapshot current = WithOccupied({7, 9});
  event = DetectChange(current);
  ASSERT_TRUE(event);
  EXPECT_EQ(event->kind, EventKind::Join);
  EXPECT_EQ(event->slot, 3);  // the lowest changed slot, though it emptied
  EXPECT_EQ((*event->names)[2], "");
}

TEST_F(ChangeDetectionTest, KeptNamesChangeOnlyOnAReportedTick) {
  previousSnapshot = WithOccupied({2});
  RosterSnapshot renamed = WithOccupied({2});
  renamed.names[1] = "New";
  renamed.occupancy[1] = 1;
  EXPECT_FALSE(DetectChange(renamed));
  CommitSnapshot(renamed, false);
  EXPECT_EQ(previousSnapshot.names[1], "P2");

  RosterSnapshot joined = renamed;
  joined.occupancy[5] = 1;
  CommitSnapshot(joined, true);
  EXPECT_EQ(previousSnapshot.names[1], "New");
  EXPECT_EQ(previousSnapshot.occupancy, joined.occupancy);
}

// The rules restated over a plain list of players, to drive the real tick
// with random joins, leaves, renames and odd occupancy bytes.
struct ModelRoster {
  std::array<int, kSlotCount> occupancy{};
  std::array<std::string, kSlotCount> names{};
};

std::string Cleaned(std::string name) {
  std::erase_if(name, [](char c) { return c == '|' || c == '\xA7'; });
  return name;
}

TEST_F(ChangeDetectionTest, RandomSessionsAnnounceExactlyWhatTheRulesPrescribe) {
  const std::string alphabet = "ab|\xA7Z9 ";
  for (unsigned seed = 1; seed <= 40; ++seed) {
    SetUp();
    AttachToGame();
    std::mt19937 random(seed);
    ModelRoster game, kept;
    int countdown = 0, events = 0;
    for (int tick = 0; tick < 300; ++tick) {
      const int changes = static_cast<int>(random() % 4);
      for (int c = 0; c < changes; ++c) {
        const int slot = static_cast<int>(random() % kSlotCount) + 1;
        std::string name;
        for (unsigned n = random() % 6; n > 0; --n) name += alphabet[random() % alphabet.size()];
        switch (random() % 4) {
          case 0:  // join, sometimes with an odd occupancy value
            game.occupancy[slot - 1] = random() % 5 == 0 ? static_cast<int>(random() % 256) : 1;
            game.names[slot - 1] = name;
            Join(slot, name, 0, static_cast<std::uint8_t>(game.occupancy[slot - 1]));
            break;
          case 1:
            game.occupancy[slot - 1] = 0;
            game.names[slot - 1] = "";
            Leave(slot);
            break;
          default:
            game.names[slot - 1] = name;
            Rename(slot, name);
            break;
        }
      }

      int sumNow = 0, sumBefore = 0, lowest = 0;
      for (int k = kSlotCount; k >= 1; --k) {
        sumNow += game.occupancy[k - 1];
        sumBefore += kept.occupancy[k - 1];
        if (game.occupancy[k - 1] != kept.occupancy[k - 1]) lowest = k;
      }
      std::string expectedTitle;
      if (sumNow != sumBefore) {
        const std::string& name = sumNow > sumBefore ? game.names[lowest - 1] : kept.names[lowest - 1];
        expectedTitle = Cleaned(name) + (sumNow > sumBefore ? " has joined" : " has left");
        kept.names = game.names;
      } else if (countdown == 0) {
        expectedTitle = kGameTitle;
      }
      kept.occupancy = game.occupancy;

      this->game().titlesSet.clear();
      MonitorTick();
      if (sumNow != sumBefore) {
        ++events;
        countdown = 16;
      } else if (countdown > 0) {
        --countdown;
      }
      const auto& titles = this->game().titlesSet;
      if (expectedTitle.empty()) {
        ASSERT_TRUE(titles.empty()) << "seed " << seed << " tick " << tick;
      } else {
        ASSERT_FALSE(titles.empty()) << "seed " << seed << " tick " << tick;
        ASSERT_EQ(titles.back(), expectedTitle) << "seed " << seed << " tick " << tick;
      }
      ASSERT_EQ(titleCountdown, countdown);
    }
    EXPECT_GT(events, 50) << "the drive should exercise many events";
  }
}

}  // namespace
}  // namespace harkwell
