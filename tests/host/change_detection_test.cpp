// Change detection over whole ticks: every join and leave of a tick, each
// once, in one title, named as its join was; and the slots a failed read
// leaves in doubt looked at again on the next tick.
#include <functional>

#include "monitor_fixture.h"

namespace harkwell {
namespace {

using ChangeDetectionTest = MonitorTest;
using Titles = std::vector<std::string>;

enum class Fault { None, NameCutShort, OccupancyUnread };

struct MixedTick {
  const char* what;
  std::function<void(MonitorTest&)> change;
  Fault fault;
  int faultSlot;
  Titles titles;       // the tick's announcements, exactly
  Titles nextTitles;   // the next tick's, the fault gone
  const char* leaves;  // when everybody then leaves at once
};

// Alice (2), Bob (5) and Carol (20) are in the game and announced before each row.
const MixedTick kMixedTicks[] = {
    {"two joins",
     [](MonitorTest& t) { t.Join(7, "Golf"), t.Join(9, "India"); },
     Fault::None,
     0,
     {"Golf has joined, India has joined"},
     {},
     "Alice has left, Bob has left, Golf has left, India has left, Carol has left"},
    {"two joins, one name cut short",
     [](MonitorTest& t) { t.Join(7, "Golf"), t.Join(9, "India"); },
     Fault::NameCutShort,
     9,
     {"Golf has joined"},
     {"India has joined"},
     "Alice has left, Bob has left, Golf has left, India has left, Carol has left"},
    {"a leave and a join, the name left in the record",
     [](MonitorTest& t) { t.Vacate(5), t.Join(7, "Golf"); },
     Fault::None,
     0,
     {"Bob has left, Golf has joined"},
     {},
     "Alice has left, Golf has left, Carol has left"},
    {"a leave and a join, the leave unread",
     [](MonitorTest& t) { t.Vacate(5), t.Join(7, "Golf"); },
     Fault::OccupancyUnread,
     5,
     {"Golf has joined"},
     {"Bob has left"},
     "Alice has left, Golf has left, Carol has left"},
    {"a leave and two joins",
     [](MonitorTest& t) { t.Leave(2), t.Join(7, "Golf"), t.Join(9, "India"); },
     Fault::None,
     0,
     {"Alice has left, Golf has joined, India has joined"},
     {},
     "Bob has left, Golf has left, India has left, Carol has left"},
    {"a leave and two joins, a join unread",
     [](MonitorTest& t) { t.Leave(2), t.Join(7, "Golf"), t.Join(9, "India"); },
     Fault::OccupancyUnread,
     7,
     {"Alice has left, India has joined"},
     {"Golf has joined"},
     "Bob has left, Golf has left, India has left, Carol has left"},
    {"three leaves",
     [](MonitorTest& t) { t.Leave(2), t.Leave(5), t.Leave(20); },
     Fault::None,
     0,
     {"Alice has left, Bob has left, Carol has left"},
     {},
     ""},
    {"three leaves, the middle one unread",
     [](MonitorTest& t) { t.Leave(2), t.Leave(5), t.Leave(20); },
     Fault::OccupancyUnread,
     5,
     {"Alice has left, Carol has left"},
     {"Bob has left"},
     ""},
    {"a renamed player leaves under the name of the join",
     [](MonitorTest& t) { t.Rename(2, "Al"), t.Join(7, "Golf"); },
     Fault::None,
     0,
     {"Golf has joined"},
     {},
     "Alice has left, Bob has left, Golf has left, Carol has left"},
    {"a join over the record's last name, its first byte unreadable",
     [](MonitorTest& t) { t.Vacate(5), MonitorTick(), t.Join(5, "Zed"); },
     Fault::NameCutShort,
     5,
     {},
     {"Zed has joined"},
     "Alice has left, Zed has left, Carol has left"},
    {"a slot refilled within one tick is not seen",
     [](MonitorTest& t) { t.Join(5, "Dave"); },
     Fault::None,
     0,
     {},
     {},
     "Alice has left, Bob has left, Carol has left"},
    {"a failed read on a quiet tick",
     [](MonitorTest&) {},
     Fault::OccupancyUnread,
     2,
     {},
     {},
     "Alice has left, Bob has left, Carol has left"},
};

TEST_F(ChangeDetectionTest, MixedTicksAnnounceEveryEventOnceNamedAsItsJoinWas) {
  for (const MixedTick& row : kMixedTicks) {
    SCOPED_TRACE(row.what);
    SetUp();
    AttachToGame();
    Join(2, "Alice");
    Join(5, "Bob");
    Join(20, "Carol");
    MonitorTick();
    row.change(*this);
    const std::uint32_t at =
        row.fault == Fault::NameCutShort ? NameAddress(0, row.faultSlot) : OccupancyAddress(0, row.faultSlot);
    if (row.fault != Fault::None) game().unreadable.push_back({at, at + 1});
    game().titlesSet.clear();
    MonitorTick();
    EXPECT_EQ(game().titlesSet, row.titles);
    game().unreadable.clear();
    game().titlesSet.clear();
    MonitorTick();
    EXPECT_EQ(game().titlesSet, row.nextTitles);
    for (int slot = 1; slot <= kSlotCount; ++slot) Leave(slot);
    game().titlesSet.clear();
    MonitorTick();
    EXPECT_EQ(game().titlesSet, *row.leaves ? Titles{row.leaves} : Titles{});
  }
}

}  // namespace
}  // namespace harkwell
