// Change detection over whole ticks: every join and leave of a tick, each
// once, in one title, named as its join was; and the slots a failed read
// leaves in doubt looked at again on the next tick.
#include <functional>

#include "monitor_fixture.h"

namespace harkwell {
namespace {

using ChangeDetectionTest = MonitorTest;

// A row's change, made after Alice (2), Bob (5) and Carol (20) were announced,
// with the fault of its tick; the tick's announcement and the next one's, the
// fault gone ("" for none); and the one of everybody then leaving at once.
struct MixedTick {
  const char* what;
  std::function<void(MonitorTest&)> change;
  const char* title;
  const char* nextTitle;
  const char* leaves;
};

const MixedTick kMixedTicks[] = {
    {"two joins", [](MonitorTest& t) { t.Join(7, "Golf"), t.Join(9, "India"); },
     "Golf has joined, India has joined", "",
     "Alice has left, Bob has left, Golf has left, India has left, Carol has left"},
    {"two joins, one name cut short",
     [](MonitorTest& t) { t.Join(7, "Golf"), t.Join(9, "India"), t.Unreadable(NameAddress(0, 9)); },
     "Golf has joined", "India has joined",
     "Alice has left, Bob has left, Golf has left, India has left, Carol has left"},
    {"a leave and a join, the name left in the record",
     [](MonitorTest& t) { t.Vacate(5), t.Join(7, "Golf"); }, "Bob has left, Golf has joined", "",
     "Alice has left, Golf has left, Carol has left"},
    {"a leave and a join, the leave unread",
     [](MonitorTest& t) { t.Vacate(5), t.Join(7, "Golf"), t.Unreadable(OccupancyAddress(0, 5)); },
     "Golf has joined", "Bob has left", "Alice has left, Golf has left, Carol has left"},
    {"a leave and two joins", [](MonitorTest& t) { t.Leave(2), t.Join(7, "Golf"), t.Join(9, "India"); },
     "Alice has left, Golf has joined, India has joined", "",
     "Bob has left, Golf has left, India has left, Carol has left"},
    {"a leave and two joins, a join unread",
     [](MonitorTest& t) {
       t.Leave(2), t.Join(7, "Golf"), t.Join(9, "India"), t.Unreadable(OccupancyAddress(0, 7));
     },
     "Alice has left, India has joined", "Golf has joined",
     "Bob has left, Golf has left, India has left, Carol has left"},
    {"three leaves", [](MonitorTest& t) { t.Leave(2), t.Leave(5), t.Leave(20); },
     "Alice has left, Bob has left, Carol has left", "", ""},
    {"three leaves, the middle one unread",
     [](MonitorTest& t) { t.Leave(2), t.Leave(5), t.Leave(20), t.Unreadable(OccupancyAddress(0, 5)); },
     "Alice has left, Carol has left", "Bob has left", ""},
    {"a renamed player leaves under the name of the join",
     [](MonitorTest& t) { t.Rename(2, "Al"), t.Join(7, "Golf"); }, "Golf has joined", "",
     "Alice has left, Bob has left, Golf has left, Carol has left"},
    {"a join over the record's last name, its first byte unreadable",
     [](MonitorTest& t) { t.Vacate(5), MonitorTick(), t.Join(5, "Zed"), t.Unreadable(NameAddress(0, 5)); },
     "", "Zed has joined", "Alice has left, Zed has left, Carol has left"},
    {"a slot refilled within one tick is not seen", [](MonitorTest& t) { t.Join(5, "Dave"); }, "", "",
     "Alice has left, Bob has left, Carol has left"},
    {"a failed read on a quiet tick", [](MonitorTest& t) { t.Unreadable(OccupancyAddress(0, 2)); }, "", "",
     "Alice has left, Bob has left, Carol has left"},
};

TEST_F(ChangeDetectionTest, MixedTicksAnnounceEveryEventOnceNamedAsItsJoinWas) {
  const auto titles = [](const char* title) { return *title ? Titles{title} : Titles{}; };
  for (const MixedTick& row : kMixedTicks) {
    SCOPED_TRACE(row.what);
    SetUp();
    AttachToGame();
    Join(2, "Alice");
    Join(5, "Bob");
    Join(20, "Carol");
    MonitorTick();
    row.change(*this);
    EXPECT_EQ(TitlesOverTicks(1), titles(row.title));
    game().unreadable.clear();
    EXPECT_EQ(TitlesOverTicks(1), titles(row.nextTitle));
    for (int slot = 1; slot <= kSlotCount; ++slot) Leave(slot);
    EXPECT_EQ(TitlesOverTicks(1), titles(row.leaves));
  }
}

}  // namespace
}  // namespace harkwell
