#include "monitor/roster.h"

namespace harkwell {
namespace {

void ReadName(platform::ProcessHandle process, std::uint32_t address, std::string& name) {
  for (std::uint32_t offset = 0; offset < kMaxNameLength; ++offset) {
    std::uint8_t byte = 0;
    if (!platform::ReadProcessByte(process, address + offset, byte) || byte == 0) return;
    name.push_back(static_cast<char>(byte));
  }
}

}  // namespace

RosterSnapshot ReadRoster(platform::ProcessHandle gameProcess, std::uint8_t layoutIndex) {
  RosterSnapshot snapshot;
  for (int record = 0; record < kSlotCount; ++record) {
    // A fresh zero for every read: a failed read must not repeat an earlier byte.
    std::uint8_t occupancy = 0;
    platform::ReadProcessByte(gameProcess, OccupancyAddress(layoutIndex, record), occupancy);
    snapshot.occupancy[record] = occupancy;
  }
  for (int record = 0; record < kSlotCount; ++record) {
    ReadName(gameProcess, NameAddress(layoutIndex, record), snapshot.names[record]);
  }
  return snapshot;
}

}  // namespace harkwell
