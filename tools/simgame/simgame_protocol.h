// What a test program needs to find and drive the simulated game: its window,
// the WM_COPYDATA tag for commands, and where the game keeps its player table.
// Header-only and free of <windows.h> so that any program can include it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace harkwell::simgame {

inline constexpr char kWindowClass[] = "DDWndClass";
inline constexpr char kWindowTitle[] = "Jazz Jackrabbit 2";

// COPYDATASTRUCT::dwData of a command ('JJ2'). The payload is one command line,
// e.g. "join 3 Spaz"; a trailing NUL is allowed. SendMessage returns TRUE when the
// command was applied and FALSE when it was rejected.
inline constexpr std::uint32_t kCopyDataTag = 0x4A4A32;
// The same, but the command waits and is applied inside the game's handling of
// the next title write it receives. A monitor writes the title before it reads
// the table, so every command queued this way lands in the same tick.
inline constexpr std::uint32_t kQueueForNextTitleTag = 0x4A4A33;

// The game's clock: how many title writes (WM_SETTEXT) it has received. A
// monitor writes the title once a tick while no announcement is up.
inline constexpr unsigned kQueryTitleWrites = 0x8000 + 1;  // WM_APP + 1, returns the count

// Build marker: one byte at this address selects the table layout.
inline constexpr std::uint32_t kMarkerAddress = 0x40003C;
inline constexpr std::uint8_t kMarkerLayout0 = 0xC0;
inline constexpr std::uint8_t kMarkerLayout1 = 0xE8;

inline constexpr int kSlotCount = 32;
inline constexpr std::uint32_t kRecordStride = 1444;
inline constexpr std::uint32_t kLayoutShift = 0x23620;
inline constexpr std::uint32_t kFirstNameAddress = 0x5A4F28;
inline constexpr std::uint32_t kFirstOccupancyAddress = 0x5A546C;
// Longest name that still leaves room for its NUL before the occupancy byte.
inline constexpr std::size_t kMaxNameLength = kFirstOccupancyAddress - kFirstNameAddress - 1;

// Any marker other than the one of the later build reads as layout 0.
inline constexpr int LayoutForMarker(std::uint8_t marker) { return marker == kMarkerLayout1 ? 1 : 0; }

// `slot` is 1..32; `layout` is 0 or 1.
inline constexpr std::uint32_t NameAddress(int layout, int slot) {
  return static_cast<std::uint32_t>(layout) * kLayoutShift + kFirstNameAddress +
         static_cast<std::uint32_t>(slot - 1) * kRecordStride;
}

inline constexpr std::uint32_t OccupancyAddress(int layout, int slot) {
  return static_cast<std::uint32_t>(layout) * kLayoutShift + kFirstOccupancyAddress +
         static_cast<std::uint32_t>(slot - 1) * kRecordStride;
}

static_assert(kMaxNameLength == 1347);
static_assert(OccupancyAddress(1, 2) - OccupancyAddress(0, 1) == kLayoutShift + kRecordStride);

}  // namespace harkwell::simgame
