// The game's player table and the snapshot the monitor reads from it.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace harkwell {

inline constexpr int kSlotCount = 32;

// Player names as the game stores them: single-byte text, no terminating zero.
// Index k-1 holds slot k.
using RosterNames = std::array<std::string, kSlotCount>;

// The 32 player slots at one moment. Index k-1 holds slot k.
struct RosterSnapshot {
  std::array<std::uint8_t, kSlotCount> occupancy{};
  RosterNames names{};
};

// Where one build of the game keeps record 0 of its player table.
struct GameLayout {
  std::uint32_t firstNameAddress;
  std::uint32_t firstOccupancyAddress;
};

inline constexpr std::uint32_t kRecordStride = 1444;
inline constexpr std::uint32_t kLayoutDistance = 0x23620;
inline constexpr std::array<GameLayout, 2> kGameLayouts{{
    {0x5A4F28, 0x5A546C},
    {0x5A4F28 + kLayoutDistance, 0x5A546C + kLayoutDistance},
}};

// The name may fill the record up to its occupancy byte, and no further:
// this bounds every name read, even when the game's bytes never end it.
inline constexpr std::uint32_t kMaxNameLength = 0x5A546C - 0x5A4F28;

// Any index other than 1 selects layout 0, the same rule the build probe uses.
constexpr const GameLayout& LayoutFor(std::uint8_t layoutIndex) {
  return kGameLayouts[layoutIndex == 1 ? 1 : 0];
}
constexpr std::uint32_t OccupancyAddress(std::uint8_t layoutIndex, int record) {
  return LayoutFor(layoutIndex).firstOccupancyAddress + static_cast<std::uint32_t>(record) * kRecordStride;
}
constexpr std::uint32_t NameAddress(std::uint8_t layoutIndex, int record) {
  return LayoutFor(layoutIndex).firstNameAddress + static_cast<std::uint32_t>(record) * kRecordStride;
}

// Reads all 32 occupancy bytes, then all 32 names, one byte per platform read.
// A failed read yields 0 for an occupancy byte and ends a name.
RosterSnapshot ReadRoster(platform::ProcessHandle gameProcess, std::uint8_t layoutIndex);

}  // namespace harkwell
