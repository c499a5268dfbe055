// Change detection: which event a tick reports, and what the kept roster holds
// afterwards. The roster fuzzer checks the same rules after every tick over
// arbitrary game memory.
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
  RosterSnapshot other = full;
  EXPECT_EQ(FindChangedSlot(full, other), -1);  // equal rosters, and nothing read past them
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

}  // namespace
}  // namespace harkwell
