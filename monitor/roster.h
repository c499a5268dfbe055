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

// Reads all 32 occupancy bytes, then all 32 names, one byte per platform read.
// A failed read marks an occupancy byte unread (and leaves it 0), and ends a
// name and marks it cut short.
RosterSnapshot ReadRoster(platform::ProcessHandle gameProcess, std::uint8_t layoutIndex);

}  // namespace harkwell
