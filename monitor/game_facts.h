// What Harkwell knows about the game it watches: its window, where each of its
// two builds keeps the player table, and how the build shows itself. The one
// place these are written; the monitor, the simulated game, the tests and the
// tools all read them from here. Slots are numbered 1 to 32 everywhere.
#pragma once

#include <array>
#include <cstdint>

namespace harkwell {

inline constexpr char kGameWindowClass[] = "DDWndClass";
inline constexpr char kGameTitle[] = "Jazz Jackrabbit 2";

inline constexpr int kSlotCount = 32;
inline constexpr std::uint32_t kRecordStride = 1444;

// Where one build of the game keeps slot 1's record.
struct GameLayout {
  std::uint32_t firstNameAddress;
  std::uint32_t firstOccupancyAddress;
};

// Every address of the later build lies this far above the same one of the first.
inline constexpr std::uint32_t kLayoutDistance = 0x23620;
inline constexpr std::array<GameLayout, 2> kGameLayouts{{
    {0x5A4F28, 0x5A546C},
    {0x5A4F28 + kLayoutDistance, 0x5A546C + kLayoutDistance},
}};

// A name may fill its record up to the occupancy byte and no further, which
// bounds every name read even when the game's bytes never end it.
inline constexpr std::uint32_t kMaxNameLength =
    kGameLayouts[0].firstOccupancyAddress - kGameLayouts[0].firstNameAddress;

// The low byte of the game executable's PE header offset tells the builds apart.
inline constexpr std::uint32_t kBuildMarkerAddress = 0x40003C;
inline constexpr std::uint8_t kBuildMarkerLayout0 = 0xC0;
inline constexpr std::uint8_t kBuildMarkerLayout1 = 0xE8;

// Any marker but the later build's means layout 0.
constexpr std::uint8_t LayoutForMarker(std::uint8_t marker) { return marker == kBuildMarkerLayout1 ? 1 : 0; }

// Any layout index other than 1 selects layout 0; `slot` is 1..32.
constexpr std::uint32_t OccupancyAddress(std::uint8_t layoutIndex, int slot) {
  return kGameLayouts[layoutIndex == 1 ? 1 : 0].firstOccupancyAddress +
         static_cast<std::uint32_t>(slot - 1) * kRecordStride;
}
constexpr std::uint32_t NameAddress(std::uint8_t layoutIndex, int slot) {
  return kGameLayouts[layoutIndex == 1 ? 1 : 0].firstNameAddress +
         static_cast<std::uint32_t>(slot - 1) * kRecordStride;
}

}  // namespace harkwell
