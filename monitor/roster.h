// The snapshot of the game's player table the monitor reads each tick.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "monitor/game_facts.h"
#include "platform/platform.h"

namespace harkwell {

// Player names as the game stores them: single-byte text, no terminating zero.
// Index k-1 holds slot k.
using RosterNames = std::array<std::string, kSlotCount>;

// The 32 player slots at one moment. Index k-1 holds slot k.
struct RosterSnapshot {
  std::array<std::uint8_t, kSlotCount> occupancy{};
  RosterNames names{};
  // Occupancy bytes a failed read left unknown: nothing can be said of the
  // slot this tick, so it is looked at again on the next.
  std::array<bool, kSlotCount> occupancyUnread{};
  // Names a failed read cut short: what was read names nobody for certain.
  std::array<bool, kSlotCount> nameCutShort{};
};

// The one-byte reads of a ReadRoster whose reads all succeed, with
// `namedSlots` names of `nameLength` bytes and every other name empty: one per
// occupancy byte, and for each name one per byte and one for the zero that
// ends it; a name that fills its record has no zero to read.
constexpr long RosterReads(int namedSlots, std::size_t nameLength) {
  const long perName =
      nameLength >= kMaxNameLength ? static_cast<long>(kMaxNameLength) : static_cast<long>(nameLength) + 1;
  return kSlotCount + namedSlots * perName + (kSlotCount - namedSlots);
}

// Reads all 32 occupancy bytes, then all 32 names, one byte per platform read.
// A failed read marks an occupancy byte unread (and leaves it 0), and ends a
// name and marks it cut short.
RosterSnapshot ReadRoster(platform::ProcessHandle gameProcess, std::uint8_t layoutIndex);

}  // namespace harkwell
