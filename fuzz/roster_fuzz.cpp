// Drives ticks over a game whose table bytes, unreadable ranges, failing reads
// and restarts come from the fuzz input, and checks after every tick what must
// hold whatever the game's memory holds.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

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

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

void CheckTick() {
  auto& game = simulated::Game();
  const RosterSnapshot before = previousSnapshot;
  const int countdownBefore = titleCountdown;
  const long readsBefore = game.reads;
  game.titlesSet.clear();

  MonitorTick();

  Require(game.reads - readsBefore <= 32 + 32 * 1349, "reads of one tick within the bound");
  Require(titleCountdown >= 0 && titleCountdown <= kAnnouncementTicks, "countdown within 0..16");
  for (const std::string& name : previousSnapshot.names)
    Require(name.size() <= kMaxNameLength, "name length");

  // Every tick keeps the occupancy it read, so the kept roster shows what was read.
  const RosterSnapshot& current = previousSnapshot;
  const int sumBefore = SumOccupancy(before);
  const int sumNow = SumOccupancy(current);
  if (sumNow == sumBefore) {
    Require(current.names == before.names, "names kept without an event");
    Require(game.titlesSet.size() == (countdownBefore == 0 ? 1u : 0u), "no announcement without an event");
    if (!game.titlesSet.empty()) Require(game.titlesSet[0] == kGameTitle, "only the game's own title");
    Require(titleCountdown == (countdownBefore > 0 ? countdownBefore - 1 : 0), "countdown steps down");
    return;
  }

  int lowest = 0;
  for (int slot = 1; slot <= kSlotCount && lowest == 0; ++slot) {
    if (before.occupancy[slot - 1] != current.occupancy[slot - 1]) lowest = slot;
  }
  Require(lowest >= 1, "a changed sum has a changed slot");
  const bool join = sumNow > sumBefore;
  const std::string& name = join ? current.names[lowest - 1] : before.names[lowest - 1];
  const std::string expected = CleanPlayerName(name) + (join ? kJoinedSuffix : kLeftSuffix);
  Require(!game.titlesSet.empty() && game.titlesSet.back() == expected, "announcement of the lowest slot");
  Require(game.titlesSet.size() == (countdownBefore == 0 ? 2u : 1u), "exactly one announcement");
  Require(titleCountdown == kAnnouncementTicks, "announcement gets the full time");
}

}  // namespace
}  // namespace harkwell

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace harkwell;
  FuzzedDataProvider input(data, size);
  simulated::ResetGame();
  ResetProgramState();
  auto& game = simulated::Game();

  const std::uint8_t marker =
      input.ConsumeBool() ? kBuildMarkerLayout1 : input.ConsumeIntegral<std::uint8_t>();
  const std::uint8_t layout = LayoutForMarker(marker);
  simulated::WriteByte(kBuildMarkerAddress, marker);
  if (!Attach()) std::abort();
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
        CheckTick();
        ++ticks;
        break;
    }
  }
  CheckTick();
  return 0;
}
