// Detects at most one join or leave per tick by comparing occupancy sums.
#pragma once

#include <cstdint>
#include <optional>

#include "monitor/roster.h"

namespace harkwell {

enum class EventKind : std::uint8_t { Join = 1, Leave = 2 };

struct RosterEvent {
  EventKind kind;
  std::int16_t slot;         // 1..32: the lowest slot whose occupancy changed
  const RosterNames* names;  // current names for a join, the kept ones for a leave
};

// The roster as of the last tick. Its names change only on a tick that
// reports an event, so a leaving player's name is still there.
extern RosterSnapshot previousSnapshot;

std::int16_t SumOccupancy(const RosterSnapshot& snapshot);
// The first slot (1..32) whose occupancy differs, or -1 when none does.
std::int16_t FindChangedSlot(const RosterSnapshot& a, const RosterSnapshot& b);
void CopyOccupancy(RosterSnapshot& dest, const RosterSnapshot& src);
// Every name of `src` but those a failed read cut short: a game that goes
// away mid-read leaves the names kept before, so that a later leave never
// carries an empty or half-read name.
void CopyNames(RosterSnapshot& dest, const RosterSnapshot& src);

// Compares `current` with previousSnapshot; changes neither.
std::optional<RosterEvent> DetectChange(const RosterSnapshot& current);
// Brings previousSnapshot up to date once the event (if any) has been handled.
void CommitSnapshot(const RosterSnapshot& current, bool reported);

}  // namespace harkwell
