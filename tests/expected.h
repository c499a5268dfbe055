// What the tests expect Harkwell to show and where they expect the game's
// table: written here once for every test, tool and benchmark, and on
// purpose not taken from the product's own headers, so that a wrong text or
// address in the product fails a test instead of moving with it.
#pragma once

#include <algorithm>
#include <cstdint>

namespace harkwell::expected {

inline constexpr char kTitle[] = "Harkwell";  // main window, message boxes, tray tip
inline constexpr char kAboutTitle[] = "About Harkwell";
inline constexpr char kBeginCaption[] = "&Begin Monitoring";
inline constexpr char kStopCaption[] = "&Stop Monitoring";
inline constexpr char kNoSoundDevice[] =
    "You have no sound device installed, or you have an error with it.  Therefore, sounds cannot be played.";
inline constexpr char kNoJoinSound[] =
    "You have chosen to play a sound when someone joins, but you have not selected a sound to play.";
inline constexpr char kNoLeaveSound[] =
    "You have chosen to play a sound when someone leaves, but you have not selected a sound to play.";
inline constexpr char kNoGame[] = "This program requires JJ2 to be running.";
inline constexpr char kGameAsAdministrator[] =
    "JJ2 is running as administrator, so Harkwell cannot read it. Start Harkwell as administrator too, or "
    "start JJ2 normally.";
inline constexpr char kGameNotReadable[] = "JJ2 is running, but Windows does not let Harkwell read it.";
inline constexpr unsigned kTrayIconId = 1;
// Read, query and wait, and nothing that could change the game.
inline constexpr std::uint32_t kProcessAccess = 0x0010 | 0x1000 | 0x00100000;
inline constexpr char kGameTitle[] = "Jazz Jackrabbit 2";  // the game's own, which Harkwell puts back
inline constexpr int kAnnouncementTicks = 16;              // an announcement stays up this many ticks

// The known game builds: the marker byte at kMarkerAddress and slot 1's name
// and occupancy byte. A build added to the product needs its row here.
inline constexpr std::uint32_t kMarkerAddress = 0x40003C;
struct Build {
  std::uint8_t marker;
  std::uint32_t firstName, firstOccupancy;
};
inline constexpr Build kBuilds[] = {{0xC0, 0x5A4F28, 0x5A546C}, {0xE8, 0x5C8548, 0x5C8A8C}};
// 32 slots, slot k's record 1444 bytes after slot k-1's; a name may fill its
// record up to the occupancy byte.
inline constexpr int kSlots = 32;
inline constexpr std::uint32_t kRecordStride = 1444;
inline constexpr std::uint32_t kNameBytes = kBuilds[0].firstOccupancy - kBuilds[0].firstName;

// A tick's reads with `named` names of `length` bytes and the rest empty: each
// occupancy byte, name byte and name's zero, which a name filling its record lacks.
constexpr long RosterReads(int named, long length) {
  return kSlots + named * std::min(length + 1, long{kNameBytes}) + (kSlots - named);
}

// The most samples a sound played from memory may hold: 32 MiB.
inline constexpr std::uint32_t kMaxInMemorySoundBytes = std::uint32_t{32} << 20;

}  // namespace harkwell::expected
