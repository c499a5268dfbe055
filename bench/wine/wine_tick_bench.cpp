// Times whole monitor ticks against the simulated game through the real Win32
// layer, and beside them the floor they stand on: a one-byte ReadProcessMemory
// and a title write, timed alone. A tick's ratio to reads x read + titles x
// title says how much the monitor adds to the platform calls it cannot avoid,
// and carries across machines where the absolute times do not.
// Prints a table; with a file argument also writes JSON.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "monitor/attach.h"
#include "monitor/roster.h"
#include "monitor/tick.h"
#include "tests/rig/rig.h"

namespace {

using namespace harkwell;

struct Shape {
  int players;
  int nameBytes;
};

double Now() {
  LARGE_INTEGER counter, frequency;
  QueryPerformanceCounter(&counter);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Microseconds per call of `call`, the median of five runs of `count` calls:
// the other programs of the session, such as the game repainting, come
// between some calls and not others.
template <typename Call>
double MicrosecondsPerCall(int count, Call call) {
  std::vector<double> runs;
  for (int run = 0; run < 5; ++run) {
    const double start = Now();
    for (int i = 0; i < count; ++i) call();
    runs.push_back((Now() - start) / count * 1e6);
  }
  std::sort(runs.begin(), runs.end());
  return runs[2];
}

bool SetTable(const rig::Game& game, Shape shape) {
  for (int slot = 1; slot <= kSlotCount; ++slot) {
    if (!game.Command("leave " + std::to_string(slot))) return false;
  }
  for (int slot = 1; slot <= shape.players; ++slot) {
    const std::string command = shape.nameBytes == 0
                                    ? "occupancy " + std::to_string(slot) + " 1"
                                    : "join " + std::to_string(slot) + " " +
                                          std::string(static_cast<std::size_t>(shape.nameBytes), 'n');
    if (!game.Command(command)) return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const char* jsonPath = argc > 1 ? argv[1] : nullptr;
  const int ticks = argc > 2 ? std::atoi(argv[2]) : 20;

  rig::Game game;
  if (!game.Start() || !Attach()) {
    std::fprintf(stderr, "the simulated game did not start, or Harkwell's core could not attach to it\n");
    return 1;
  }
  const platform::ProcessHandle process = gameAttachment.gameProcess;
  const Shape shapes[] = {{0, 0}, {8, 0}, {8, 16}, {8, 64}, {32, 0}, {32, 16}, {32, 64}};
  std::string json = "[";
  std::printf("%8s %10s %10s %12s %12s %12s %12s %14s\n", "players", "name bytes", "reads", "us/read",
              "us/title", "us/tick", "floor us", "tick / floor");
  for (const Shape& shape : shapes) {
    if (!SetTable(game, shape)) return 1;
    for (int i = 0; i < 20; ++i) MonitorTick();  // report whoever is there, let the title settle
    // The floor is timed right before the ticks it is set against, so that
    // both see the machine in the same state.
    std::uint8_t byte = 0;
    const double readMicroseconds =
        MicrosecondsPerCall(500, [&] { platform::ReadProcessByte(process, kBuildMarkerAddress, byte); });
    const double titleMicroseconds =
        MicrosecondsPerCall(20, [&] { platform::SetWindowTitle(gameAttachment.gameWindow, kGameTitle); });
    const double tickMicroseconds = MicrosecondsPerCall(std::max(1, ticks / 5), MonitorTick);
    const long reads = expected::RosterReads(shape.players, shape.nameBytes);
    const double floor = reads * readMicroseconds + titleMicroseconds;  // one title write a quiet tick
    std::printf("%8d %10d %10ld %12.1f %12.0f %12.0f %12.0f %14.3f\n", shape.players, shape.nameBytes, reads,
                readMicroseconds, titleMicroseconds, tickMicroseconds, floor, tickMicroseconds / floor);
    json += std::string(&shape == shapes ? "" : ", ") + "{\"players\": " + std::to_string(shape.players) +
            ", \"name_bytes\": " + std::to_string(shape.nameBytes) + ", \"reads\": " + std::to_string(reads) +
            ", \"read_us\": " + std::to_string(readMicroseconds) +
            ", \"title_us\": " + std::to_string(titleMicroseconds) +
            ", \"us_per_tick\": " + std::to_string(tickMicroseconds) +
            ", \"floor_us\": " + std::to_string(floor) + "}";
  }
  Detach();
  // No game: each tick looks for one, a window search and no read.
  game.Stop();
  const double waitingMicroseconds = MicrosecondsPerCall(200, MonitorTick);
  const double searchMicroseconds =
      MicrosecondsPerCall(200, [] { platform::TopLevelWindows(kGameWindowClass); });
  std::printf("waiting for a game: %.1f us per tick, %.1f us per window search\n", waitingMicroseconds,
              searchMicroseconds);
  json = "{\"shapes\": " + json + "], \"waiting_us_per_tick\": " + std::to_string(waitingMicroseconds) +
         ", \"search_us\": " + std::to_string(searchMicroseconds) + "}\n";
  if (jsonPath != nullptr) {
    std::FILE* out = std::fopen(jsonPath, "w");
    if (out == nullptr) return 1;
    std::fputs(json.c_str(), out);
    std::fclose(out);
  }
  return 0;
}
