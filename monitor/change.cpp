#include "monitor/change.h"

namespace harkwell {
namespace {

// The game may set a slot's occupancy byte a moment before its name (all 32
// bytes are read before any name), so a join whose name reads as empty is
// looked at again on the next tick; but a player may really have an empty
// name, so after this many ticks it is announced as read.
constexpr std::uint8_t kEmptyNameWaits = 4;

bool Joining(const RosterSnapshot& current, int record) {
  return previousSnapshot.occupancy[record] == 0 && current.occupancy[record] != 0;
}

bool AwaitsName(const RosterSnapshot& current, int record) {
  return Joining(current, record) && !current.nameCutShort[record] && current.names[record].empty() &&
         previousSnapshot.emptyNameWaits[record] < kEmptyNameWaits;
}

// Whether the slot's record can be judged this tick. A join is announced
// only with its name read in full, so it waits for a tick that reads one.
bool Settled(const RosterSnapshot& current, int record) {
  return !current.occupancyUnread[record] && !(Joining(current, record) && current.nameCutShort[record]) &&
         !AwaitsName(current, record);
}

void Add(RosterEvents& events, EventKind kind, int record, const RosterNames& names) {
  events.events[events.count++] = {kind, static_cast<std::int16_t>(record + 1), &names};
}

}  // namespace

KeptRoster previousSnapshot;

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
    // DetectChange judged this tick by the count as it stood.
    if (AwaitsName(current, record)) {
      ++previousSnapshot.emptyNameWaits[record];
      continue;
    }
    if (!Settled(current, record)) continue;
    // The name is taken at the join only: a rename later is no event, and
    // the player leaves under the name the join announced.
    if (Joining(current, record)) previousSnapshot.names[record] = current.names[record];
    previousSnapshot.occupancy[record] = current.occupancy[record];
    previousSnapshot.emptyNameWaits[record] = 0;
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
