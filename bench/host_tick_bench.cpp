// The cost of one monitor tick on the host, against the simulated game:
// time per tick, platform reads per tick, allocations per tick, and, with
// reads that cost next to nothing, the monitor's own cost per read.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "monitor/attach.h"
#include "monitor/change.h"
#include "monitor/tick.h"
#include "notify/alerts.h"
#include "notify/title.h"
#include "platform/simulated_platform.h"
#include "tests/program_state.h"

namespace {
std::atomic<long> allocations{0};
}  // namespace

// Counts every allocation of the process, to show what a tick allocates.
void* operator new(std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace harkwell {
namespace {

void SetUpGame(int occupied, int nameLength, bool zeroCostReads) {
  simulated::ResetGame();
  ResetProgramState();
  auto& game = simulated::Game();
  game.recordTitles = false;
  for (int slot = 1; slot <= occupied; ++slot) {
    simulated::WriteBytes(NameAddress(0, slot),
                          std::string(static_cast<std::size_t>(nameLength), 'n') + '\0');
    simulated::WriteByte(OccupancyAddress(0, slot), 1);
  }
  if (!Attach()) std::abort();
  if (zeroCostReads) {
    game.flatBase = NameAddress(0, 1);
    for (std::uint32_t a = game.flatBase; a < NameAddress(0, 1) + 33 * kRecordStride; ++a) {
      game.flatMemory.push_back(simulated::PeekByte(a));
    }
  }
  // The first tick reports the players already there; measure the steady state.
  for (int i = 0; i < 20; ++i) MonitorTick();
}

void BM_Tick(benchmark::State& state) {
  SetUpGame(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), state.range(2) != 0);
  const long readsBefore = simulated::Game().reads;
  const long allocationsBefore = allocations.load();
  for (auto _ : state) MonitorTick();
  const double ticks = static_cast<double>(state.iterations());
  const double reads = static_cast<double>(simulated::Game().reads - readsBefore);
  state.counters["reads_per_tick"] = reads / ticks;
  state.counters["allocs_per_tick"] = static_cast<double>(allocations.load() - allocationsBefore) / ticks;
  state.counters["ns_per_read"] =
      benchmark::Counter(reads * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void TableShapes(benchmark::internal::Benchmark* b) {
  b->ArgNames({"players", "name_bytes", "zero_cost_reads"});
  for (int zeroCost : {0, 1}) {
    for (int players : {0, 8, 32}) {
      for (int nameLength : {0, 16, 64}) {
        if (players == 0 && nameLength != 0) continue;  // no names to read
        b->Args({players, nameLength, zeroCost});
      }
    }
  }
}

BENCHMARK(BM_Tick)->Apply(TableShapes);

}  // namespace
}  // namespace harkwell

BENCHMARK_MAIN();
