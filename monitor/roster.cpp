#include "monitor/roster.h"

namespace harkwell {
namespace {

// Returns false when a read failed before the name's end.
bool ReadName(platform::ProcessHandle process, std::uint32_t address, std::string& name) {
  // Collected on the stack first, so that a name costs at most one allocation.
  std::array<char, kMaxNameLength> bytes;
  std::uint32_t length = 0;
  bool complete = true;
  while (length < kMaxNameLength) {
    std::uint8_t byte = 0;
    if (!platform::ReadProcessByte(process, address + length, byte)) {
      complete = false;
      break;
    }
    if (byte == 0) break;
    bytes[length++] = static_cast<char>(byte);
  }
  name.assign(bytes.data(), length);
  return complete;
}

}  // namespace

RosterSnapshot ReadRoster(platform::ProcessHandle gameProcess, std::uint8_t layoutIndex) {
  RosterSnapshot snapshot;
  for (int slot = 1; slot <= kSlotCount; ++slot) {
    // A failed read is no empty slot: the game may simply be going away.
    snapshot.occupancyUnread[slot - 1] = !platform::ReadProcessByte(
        gameProcess, OccupancyAddress(layoutIndex, slot), snapshot.occupancy[slot - 1]);
  }
  for (int slot = 1; slot <= kSlotCount; ++slot) {
    snapshot.nameCutShort[slot - 1] =
        !ReadName(gameProcess, NameAddress(layoutIndex, slot), snapshot.names[slot - 1]);
  }
  return snapshot;
}

}  // namespace harkwell
