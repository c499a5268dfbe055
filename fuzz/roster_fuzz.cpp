// Drives ticks over a game whose table bytes, unreadable ranges, failing reads
// and restarts come from the fuzz input, and checks after every tick what must
// hold whatever the game's memory holds.
#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/require.h"
#include "monitor/attach.h"
#include "monitor/change.h"
#include "monitor/roster.h"
#include "monitor/tick.h"
#include "notify/alerts.h"
#include "notify/title.h"
#include "platform/simulated_platform.h"
#include "tests/program_state.h"

namespace harkwell {
namespace {

using fuzz::Require;

// The names a tick read, each whole or cut short by a failed read, from the
// reads themselves: bytes at a name's address up to its zero or its bound.
struct NamesRead {
  std::array<std::string, kSlotCount> names;
  std::array<bool, kSlotCount> whole;
};

NamesRead FromReads(const std::vector<simulated::ReadRecord>& reads, std::uint8_t layout) {
  NamesRead read;
  read.whole.fill(true);
  for (const simulated::ReadRecord& record : reads) {
    const std::uint32_t offset = record.address - NameAddress(layout, 1);
    const std::uint32_t slot = offset / kRecordStride;
    if (slot >= kSlotCount || offset % kRecordStride >= kMaxNameLength) continue;
    if (!record.ok) read.whole[slot] = false;
    if (record.value != 0) read.names[slot] += static_cast<char>(record.value);
  }
  return read;
}

// Each slot's name as last read whole on a tick that reported an event: the
// name a leave from that slot must carry.
std::array<std::string, kSlotCount> lastWholeNames;

void CheckTick(std::uint8_t layout) {
  auto& game = simulated::Game();
  const RosterSnapshot before = previousSnapshot;
  const int countdownBefore = titleCountdown;
  const std::optional<std::string> retryBefore = announcementToRetry;
  game.titlesSet.clear();
  game.readLog.clear();

  MonitorTick();

  Require(static_cast<long>(game.readLog.size()) <= RosterReads(kSlotCount, kMaxNameLength),
          "reads of one tick within the bound");
  Require(titleCountdown >= 0 && titleCountdown <= kAnnouncementTicks, "countdown within 0..16");
  // The tick's first write: the game's title, or an announcement not yet taken.
  std::vector<std::string> titles;
  if (countdownBefore == 0) titles.push_back(kGameTitle);
  if (countdownBefore > 0 && retryBefore) titles.push_back(*retryBefore);

  // Every tick keeps the occupancy it read, so the kept roster shows what was read.
  const RosterSnapshot& current = previousSnapshot;
  const int sumBefore = SumOccupancy(before);
  const int sumNow = SumOccupancy(current);
  if (sumNow != sumBefore) {
    int lowest = 0;
    for (int slot = 1; slot <= kSlotCount && lowest == 0; ++slot) {
      if (before.occupancy[slot - 1] != current.occupancy[slot - 1]) lowest = slot;
    }
    Require(lowest >= 1, "a changed sum has a changed slot");
    const NamesRead read = FromReads(game.readLog, layout);
    const bool join = sumNow > sumBefore;
    titles.push_back(CleanPlayerName(join ? read.names[lowest - 1] : lastWholeNames[lowest - 1]) +
                     (join ? kJoinedSuffix : kLeftSuffix));
    Require(titleCountdown == kAnnouncementTicks, "announcement gets the full time");
    for (int slot = 0; slot < kSlotCount; ++slot) {
      if (read.whole[slot]) lastWholeNames[slot] = read.names[slot];
    }
  } else {
    Require(titleCountdown == (countdownBefore > 0 ? countdownBefore - 1 : 0), "countdown steps down");
  }
  Require(game.titlesSet == titles, "the title writes of the tick, the announcement last");
  Require(previousSnapshot.names == lastWholeNames, "kept names are the last read whole at an event");
}

}  // namespace
}  // namespace harkwell

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace harkwell;
  using fuzz::Require;
  FuzzedDataProvider input(data, size);
  simulated::ResetGame();
  ResetProgramState();
  lastWholeNames = {};
  auto& game = simulated::Game();
  game.logReads = true;

  const std::uint8_t marker =
      input.ConsumeBool() ? kBuildMarkerLayout1 : input.ConsumeIntegral<std::uint8_t>();
  const std::uint8_t layout = LayoutForMarker(marker);
  simulated::WriteByte(kBuildMarkerAddress, marker);
  Require(Attach(), "attaches to a running game");
  Require(gameAttachment.layoutIndex == layout, "probe picks the layout");

  const std::uint32_t tableStart = NameAddress(layout, 1) - 16;
  const std::uint32_t tableSize = 33 * kRecordStride;
  int ticks = 0;
  while (input.remaining_bytes() > 0 && ticks < 200) {
    const std::uint32_t address = tableStart + input.ConsumeIntegral<std::uint16_t>() % tableSize;
    switch (input.ConsumeIntegralInRange(0, 7)) {
      case 0:
        simulated::WriteByte(address, input.ConsumeIntegral<std::uint8_t>());
        break;
      case 1:
        simulated::WriteBytes(address, input.ConsumeBytesAsString(input.ConsumeIntegralInRange(0, 1500)));
        break;
      case 2: {
        const int slot = input.ConsumeIntegralInRange(1, kSlotCount);
        simulated::WriteByte(OccupancyAddress(layout, slot), input.ConsumeIntegral<std::uint8_t>());
        break;
      }
      case 3:
        game.unreadable.push_back({address, address + input.ConsumeIntegralInRange<std::uint32_t>(1, 4000)});
        break;
      case 4:
        game.unreadable.clear();
        break;
      case 5:
        game.readsBeforeExit = input.ConsumeIntegralInRange(0, 3000);
        break;
      case 6:
        simulated::RestartProcess();
        break;
      default:
        CheckTick(layout);
        ++ticks;
        break;
    }
  }
  CheckTick(layout);
  return 0;
}
