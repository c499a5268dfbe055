// Detects the joins and leaves of a tick, slot by slot, against the roster
// kept from earlier ticks.
#pragma once

#include <array>
#include <cstdint>

#include "monitor/roster.h"

namespace harkwell {

enum class EventKind : std::uint8_t { Join = 1, Leave = 2 };

struct RosterEvent {
  EventKind kind = EventKind::Join;
  std::int16_t slot = 0;               // 1..32
  const RosterNames* names = nullptr;  // current names for a join, the kept ones for a leave
};

// Every event of one tick, in slot order.
struct RosterEvents {
  std::array<RosterEvent, kSlotCount> events{};
  int count = 0;
};

// The roster as the announcements left it: each slot's occupancy as last
// settled, and for an occupied slot the name its join was announced with, so
// that its leave carries that name whatever the record holds by then.
struct KeptRoster : RosterSnapshot {
  // Ticks each joining slot has waited so far for a name that read as empty.
  std::array<std::uint8_t, kSlotCount> emptyNameWaits{};
};
extern KeptRoster previousSnapshot;

// Compares `current` with previousSnapshot, slot by slot; changes neither. A
// slot going from 0 to non-zero is a join, from non-zero to 0 a leave, and
// any other change no event. A slot whose occupancy could not be read, or
// that joins with a name a failed read cut short, gives nothing this tick;
// nor, for its first four ticks, a join whose name reads as empty.
RosterEvents DetectChange(const RosterSnapshot& current);
// Brings previousSnapshot up to date once the events have been handled. The
// slots DetectChange passed over are left as they were, to be looked at again.
void CommitSnapshot(const RosterSnapshot& current);
// A leave for every player the kept roster holds, for a game that has ended.
RosterEvents LeavesOfEveryone();
bool HasEvent(const RosterEvents& events, EventKind kind);

}  // namespace harkwell
