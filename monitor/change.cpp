#include "monitor/change.h"

namespace harkwell {
namespace {

// Whether the slot's record can be judged this tick. A join is announced
// only with its name read in full, so it waits for a tick that reads one.
bool Settled(const RosterSnapshot& current, int record) {
  const bool joining = previousSnapshot.occupancy[record] == 0 && current.occupancy[record] != 0;
  return !current.occupancyUnread[record] && !(joining && current.nameCutShort[record]);
}

void Add(RosterEvents& events, EventKind kind, int record, const RosterNames& names) {
  events.events[events.count++] = {kind, static_cast<std::int16_t>(record + 1), &names};
}

}  // namespace

RosterSnapshot previousSnapshot;

RosterEvents DetectChange(const RosterSnapshot& current) {
  RosterEvents events;
  for (int record = 0; record < kSlotCount; ++record) {
    if (!Settled(current, record)) continue;
    const bool was = previousSnapshot.occupancy[record] != 0;
    const bool is = current.occupancy[record] != 0;
    if (!was && is) Add(events, EventKind::Join, record, current.names);
    if (was && !is) Add(events, EventKind::Leave, record, previousSnapshot.names);
  }
  return events;
}

void CommitSnapshot(const RosterSnapshot& current) {
  for (int record = 0; record < kSlotCount; ++record) {
    if (!Settled(current, record)) continue;
    // The name is taken at the join only: a rename later is no event, and
    // the player leaves under the name the join announced.
    if (previousSnapshot.occupancy[record] == 0 && current.occupancy[record] != 0)
      previousSnapshot.names[record] = current.names[record];
    previousSnapshot.occupancy[record] = current.occupancy[record];
  }
}

RosterEvents LeavesOfEveryone() {
  RosterEvents events;
  for (int record = 0; record < kSlotCount; ++record) {
    if (previousSnapshot.occupancy[record] != 0)
      Add(events, EventKind::Leave, record, previousSnapshot.names);
  }
  return events;
}

bool HasEvent(const RosterEvents& events, EventKind kind) {
  for (int i = 0; i < events.count; ++i) {
    if (events.events[i].kind == kind) return true;
  }
  return false;
}

}  // namespace harkwell
