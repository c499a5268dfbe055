// Times whole monitor ticks against the simulated game through the real
// Win32 calls, and splits each tick into the time inside ReadProcessMemory and
// everything else. Prints a table; with a file argument also writes JSON.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "game_process.h"
#include "monitor/attach.h"
#include "monitor/change.h"
#include "monitor/tick.h"
#include "notify/title.h"

namespace harkwell::platform {
extern std::int64_t readCounterTicks;
extern std::int64_t titleCounterTicks;
}  // namespace harkwell::platform

namespace {

using namespace harkwell;

struct Shape {
  int players;
  int nameBytes;
};

struct Result {
  Shape shape;
  int ticks;
  double readsPerTick;
  double microsecondsPerTick;
  double microsecondsPerRead;
  double outsideShare;          // of the tick, outside ReadProcessMemory
  double outsidePlatformShare;  // outside ReadProcessMemory and SetWindowTextA
};

double Seconds(std::int64_t counterTicks) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(counterTicks) / static_cast<double>(frequency.QuadPart);
}

Result Measure(test::GameProcess& game, Shape shape, int ticks) {
  for (int slot = 1; slot <= kSlotCount; ++slot) game.Leave(slot);
  for (int slot = 1; slot <= shape.players; ++slot) {
    game.Join(slot, std::string(static_cast<std::size_t>(shape.nameBytes), 'n'));
  }
  for (int i = 0; i < 3; ++i) MonitorTick();  // report whoever is there, then steady state

  const std::int64_t readsBefore = platform::readCounterTicks;
  const std::int64_t titlesBefore = platform::titleCounterTicks;
  LARGE_INTEGER start, end;
  QueryPerformanceCounter(&start);
  for (int i = 0; i < ticks; ++i) MonitorTick();
  QueryPerformanceCounter(&end);

  const double total = Seconds(end.QuadPart - start.QuadPart);
  const double inReads = Seconds(platform::readCounterTicks - readsBefore);
  const double inTitles = Seconds(platform::titleCounterTicks - titlesBefore);
  const double reads = 32.0 + shape.players * (shape.nameBytes + 1) + (kSlotCount - shape.players);
  Result result{shape, ticks, reads, 0, 0, 0, 0};
  result.microsecondsPerTick = total / ticks * 1e6;
  result.microsecondsPerRead = result.microsecondsPerTick / reads;
  result.outsideShare = (total - inReads) / total;
  result.outsidePlatformShare = (total - inReads - inTitles) / total;
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  const char* jsonPath = argc > 1 ? argv[1] : nullptr;
  const int ticks = argc > 2 ? std::atoi(argv[2]) : 20;

  test::GameProcess game;
  if (!game.Start("--marker 0xC0", 0)) {
    std::fprintf(stderr, "the simulated game did not start\n");
    return 1;
  }
  if (!Attach()) {
    std::fprintf(stderr, "could not attach to the simulated game\n");
    return 1;
  }

  const Shape shapes[] = {{0, 0}, {8, 0}, {8, 16}, {8, 64}, {32, 0}, {32, 16}, {32, 64}};
  std::vector<Result> results;
  std::printf("%8s %10s %10s %12s %12s %14s %17s\n", "players", "name bytes", "reads", "us/tick", "us/read",
              "outside reads", "outside platform");
  for (const Shape& shape : shapes) {
    const Result r = Measure(game, shape, ticks);
    results.push_back(r);
    std::printf("%8d %10d %10.0f %12.1f %12.2f %13.2f%% %16.3f%%\n", shape.players, shape.nameBytes,
                r.readsPerTick, r.microsecondsPerTick, r.microsecondsPerRead, r.outsideShare * 100,
                r.outsidePlatformShare * 100);
  }
  Detach();

  if (jsonPath != nullptr) {
    std::FILE* out = std::fopen(jsonPath, "w");
    if (out == nullptr) return 1;
    std::fprintf(out, "[\n");
    for (std::size_t i = 0; i < results.size(); ++i) {
      const Result& r = results[i];
      std::fprintf(out,
                   "  {\"players\": %d, \"name_bytes\": %d, \"ticks\": %d, \"reads_per_tick\": %.0f, "
                   "\"us_per_tick\": %.3f, \"us_per_read\": %.4f, \"outside_read_share\": %.5f, "
                   "\"outside_platform_share\": %.6f}%s\n",
                   r.shape.players, r.shape.nameBytes, r.ticks, r.readsPerTick, r.microsecondsPerTick,
                   r.microsecondsPerRead, r.outsideShare, r.outsidePlatformShare,
                   i + 1 < results.size() ? "," : "");
    }
    std::fprintf(out, "]\n");
    std::fclose(out);
  }
  return 0;
}
