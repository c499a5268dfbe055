#include "monitor/change.h"

namespace harkwell {

RosterSnapshot previousSnapshot;

std::int16_t SumOccupancy(const RosterSnapshot& snapshot) {
  std::int16_t sum = 0;
  for (std::uint8_t occupancy : snapshot.occupancy) sum = static_cast<std::int16_t>(sum + occupancy);
  return sum;
}

std::int16_t FindChangedSlot(const RosterSnapshot& a, const RosterSnapshot& b) {
  for (int record = 0; record < kSlotCount; ++record) {
    if (a.occupancy[record] != b.occupancy[record]) return static_cast<std::int16_t>(record + 1);
  }
  return -1;
}

void CopyOccupancy(RosterSnapshot& dest, const RosterSnapshot& src) { dest.occupancy = src.occupancy; }

void CopyNames(RosterSnapshot& dest, const RosterSnapshot& src) {
  for (int record = 0; record < kSlotCount; ++record) {
    if (!src.nameCutShort[record]) dest.names[record] = src.names[record];
  }
}

std::optional<RosterEvent> DetectChange(const RosterSnapshot& current) {
  const std::int16_t sumNow = SumOccupancy(current);
  const std::int16_t sumBefore = SumOccupancy(previousSnapshot);
  if (sumNow > sumBefore) {
    return RosterEvent{EventKind::Join, FindChangedSlot(previousSnapshot, current), &current.names};
  }
  if (sumNow < sumBefore) {
    return RosterEvent{EventKind::Leave, FindChangedSlot(previousSnapshot, current), &previousSnapshot.names};
  }
  return std::nullopt;
}

void CommitSnapshot(const RosterSnapshot& current, bool reported) {
  CopyOccupancy(previousSnapshot, current);
  if (reported) CopyNames(previousSnapshot, current);
}

}  // namespace harkwell
