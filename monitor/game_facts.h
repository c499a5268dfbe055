// What Harkwell knows about the game it watches: its window, where each of its
// builds keeps the player table, and how the build shows itself. The one
// place these are written; the monitor, the simulated game, the tests and the
// tools all read them from here. Slots are numbered 1 to 32 everywhere.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "ui/texts.h"

namespace harkwell {

inline constexpr char kGameWindowClass[] = "DDWndClass";

inline constexpr int kSlotCount = 32;
inline constexpr std::uint32_t kRecordStride = 1444;

// One known build of the game: the byte that tells it (the low byte of its
// executable's PE header offset) and where it keeps slot 1's record. Its
// layout index is its row in kGameLayouts.
struct GameLayout {
  std::uint8_t marker;
  std::uint32_t firstNameAddress;
  std::uint32_t firstOccupancyAddress;
};

// Every address of the later build lies this far above the same one of the first.
inline constexpr std::uint32_t kLayoutDistance = 0x23620;
// Adding a build is adding its row; the first row is also taken for a marker
// that is in none.
inline constexpr std::array kGameLayouts{
    GameLayout{0xC0, 0x5A4F28, 0x5A546C},
    GameLayout{0xE8, 0x5A4F28 + kLayoutDistance, 0x5A546C + kLayoutDistance},
};

// A name may fill its record up to the occupancy byte and no further, which
// bounds every name read even when the game's bytes never end it.
inline constexpr std::uint32_t kMaxNameLength =
    kGameLayouts[0].firstOccupancyAddress - kGameLayouts[0].firstNameAddress;

constexpr bool LayoutsAgree(std::span<const GameLayout> layouts) {
  for (std::size_t row = 0; row < layouts.size(); ++row) {
    const GameLayout& layout = layouts[row];
    if (layout.firstOccupancyAddress - layout.firstNameAddress != kMaxNameLength) return false;
    for (std::size_t other = 0; other < row; ++other) {
      if (layouts[other].marker == layout.marker) return false;
    }
  }
  return true;
}
static_assert(LayoutsAgree(kGameLayouts),
              "every build has a name field of the same length and a marker of its own");

// Where the marker is read.
inline constexpr std::uint32_t kBuildMarkerAddress = 0x40003C;

// Whether the marker is a known build's. Other old programs may share one,
// so a marker alone does not make a window the game's.
constexpr bool IsKnownMarker(std::uint8_t marker) {
  for (const GameLayout& layout : kGameLayouts) {
    if (layout.marker == marker) return true;
  }
  return false;
}

// The layout index for a build marker: its row, or 0 for a build not known.
constexpr std::uint8_t LayoutForMarker(std::uint8_t marker) {
  for (std::size_t row = 0; row < kGameLayouts.size(); ++row) {
    if (kGameLayouts[row].marker == marker) return static_cast<std::uint8_t>(row);
  }
  return 0;
}

// A layout index out of the table reads as 0.
constexpr const GameLayout& Layout(std::uint8_t layoutIndex) {
  return kGameLayouts[layoutIndex < kGameLayouts.size() ? layoutIndex : 0];
}

// `slot` is 1..32.
constexpr std::uint32_t OccupancyAddress(std::uint8_t layoutIndex, int slot) {
  return Layout(layoutIndex).firstOccupancyAddress + static_cast<std::uint32_t>(slot - 1) * kRecordStride;
}
constexpr std::uint32_t NameAddress(std::uint8_t layoutIndex, int slot) {
  return Layout(layoutIndex).firstNameAddress + static_cast<std::uint32_t>(slot - 1) * kRecordStride;
}

}  // namespace harkwell
