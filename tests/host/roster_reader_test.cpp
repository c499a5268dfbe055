// The roster reader: addresses, byte-exact names, and bounded reads when the
// game's memory fails or never ends a name.
#include <algorithm>

#include "monitor_fixture.h"
#include "tests/expected.h"

namespace harkwell {
namespace {

using RosterReaderTest = MonitorTest;

TEST_F(RosterReaderTest, LayoutsPlaceRecordsAtTheGameBuildsAddresses) {
  for (std::uint8_t layout = 0; layout < std::size(expected::kBuilds); ++layout) {
    const expected::Build& build = expected::kBuilds[layout];
    EXPECT_EQ(LayoutForMarker(build.marker), layout);
    for (int slot : {1, 2, 32}) {
      EXPECT_EQ(OccupancyAddress(layout, slot), build.firstOccupancy + (slot - 1) * 1444u);
      EXPECT_EQ(NameAddress(layout, slot), build.firstName + (slot - 1) * 1444u);
      EXPECT_EQ(OccupancyAddress(std::size(expected::kBuilds), slot),
                OccupancyAddress(0, slot));  // past the table
    }
  }
  EXPECT_EQ(kGameLayouts.size(), std::size(expected::kBuilds));
}

TEST_F(RosterReaderTest, ReadsEachLayoutOnlyAtItsOwnAddresses) {
  AttachToGame();
  Join(1, "Zero", 0);
  Join(2, "One", 1, 1);
  Join(32, "Last", 1, 1);

  const RosterSnapshot layout0 = ReadRoster(gameAttachment.gameProcess, 0);
  EXPECT_EQ(layout0.occupancy[0], 1);
  EXPECT_EQ(layout0.occupancy[1], 0);
  EXPECT_EQ(layout0.names[0], "Zero");

  const RosterSnapshot layout1 = ReadRoster(gameAttachment.gameProcess, 1);
  EXPECT_EQ(layout1.occupancy[0], 0);
  EXPECT_EQ(layout1.occupancy[1], 1);
  EXPECT_EQ(layout1.names[1], "One");
  EXPECT_EQ(layout1.occupancy[31], 1);
  EXPECT_EQ(layout1.names[31], "Last");
}

TEST_F(RosterReaderTest, KeepsNameAndOccupancyBytesExactlyAsStored) {
  AttachToGame();
  Join(1, "A|b", 0, 1);
  Join(2, std::string("\xA7") + "1Jo\xE9", 0, 7);
  Join(3, "", 0, 255);  // occupied, but the name starts with its zero
  Rename(4, "Ghost");   // an empty record still yields the text left in it

  const RosterSnapshot snapshot = ReadRoster(gameAttachment.gameProcess, 0);
  const std::string names[] = {"A|b", std::string("\xA7") + "1Jo\xE9", "", "Ghost"};
  const int occupancy[] = {1, 7, 255, 0};
  for (int record = 0; record < 4; ++record) {
    EXPECT_EQ(snapshot.names[record], names[record]);
    EXPECT_EQ(snapshot.occupancy[record], occupancy[record]);
  }
}

TEST_F(RosterReaderTest, FailedOccupancyReadIsMarkedUnreadAndRepeatsNoEarlierByte) {
  AttachToGame();
  Join(1, "Alive", 0, 1);
  Join(2, "Hidden", 0, 1);
  game().unreadable.push_back({OccupancyAddress(0, 2), OccupancyAddress(0, 32) + 1});

  const RosterSnapshot snapshot = ReadRoster(gameAttachment.gameProcess, 0);
  EXPECT_EQ(snapshot.occupancy[0], 1);
  EXPECT_FALSE(snapshot.occupancyUnread[0]);
  for (int record = 1; record < kSlotCount; ++record) {
    EXPECT_EQ(snapshot.occupancy[record], 0) << record;
    EXPECT_TRUE(snapshot.occupancyUnread[record]) << record;
  }
}

TEST_F(RosterReaderTest, NameEndsWhereReadableMemoryEnds) {
  AttachToGame();
  const std::uint32_t start = NameAddress(0, 5);
  simulated::WriteBytes(start, std::string(100, 'x'));
  game().unreadable.push_back({start + 10, start + 200});

  const RosterSnapshot snapshot = ReadRoster(gameAttachment.gameProcess, 0);
  EXPECT_EQ(snapshot.names[4], std::string(10, 'x'));
  EXPECT_TRUE(snapshot.nameCutShort[4]);
  EXPECT_FALSE(snapshot.nameCutShort[3] || snapshot.nameCutShort[5]);
}

TEST_F(RosterReaderTest, GameExitingMidReadEndsTheNameAndLaterReadsComeBackEmpty) {
  AttachToGame();
  Join(1, "Spaz");
  Join(2, "Jazz");
  game().readsBeforeExit = 32 + 2;  // ends two bytes into the first name
  const long before = game().reads;

  const RosterSnapshot during = ReadRoster(gameAttachment.gameProcess, 0);
  EXPECT_EQ(during.occupancy[0], 1);
  EXPECT_EQ(during.names[0], "Sp");
  EXPECT_EQ(during.names[1], "");
  EXPECT_TRUE(during.nameCutShort[0] && during.nameCutShort[31]);

  const RosterSnapshot after = ReadRoster(gameAttachment.gameProcess, 0);
  EXPECT_TRUE(std::ranges::all_of(after.occupancyUnread, std::identity{}));
  for (const std::string& name : after.names) EXPECT_EQ(name, "");
  // Each name ends at its first failed read: two good bytes and one failure
  // for the first name, one failed read for every other.
  EXPECT_EQ(game().reads - before, (32 + 3 + 31) + (32 + 32));
}

}  // namespace
}  // namespace harkwell
