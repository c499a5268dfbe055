// Runs Harkwell.exe beside the simulated game for the whole-process figures:
// start-up time, phases of steady monitoring (whose CPU time the calling
// script reads from the Linux side), a floor phase of bare one-byte reads,
// private bytes, object counts where Wine has them, and the latency from a
// join in the game to its announcement. Prints one fact per line for the
// report script. Usage: process_driver [HARKWELL_EXE [PHASE_SECONDS [JOINS]]]
#include <windows.h>

#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "monitor/game_facts.h"
#include "monitor/roster.h"
#include "tests/expected.h"
#include "tests/rig/process_counters.h"
#include "tests/rig/rig.h"
#include "ui/control_ids.h"

namespace {

using namespace harkwell;

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER Now() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now;
}

void Say(const char* format, auto... values) {
  std::printf(format, values...);
  std::printf("\n");
  std::fflush(stdout);
}

int Fail(const char* what) {
  Say("ERROR %s", what);
  return 1;
}

void Counters(HANDLE harkwell, DWORD processId, const char* when) {
  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof memory;
  if (GetProcessMemoryInfo(harkwell, &memory, sizeof memory)) {
    Say("PRIVATE_BYTES %s %llu %llu", when, static_cast<unsigned long long>(memory.PagefileUsage),
        static_cast<unsigned long long>(memory.PeakPagefileUsage));
  }
  const test::ProcessCounters counters = test::ReadProcessCounters(harkwell, processId);
  Say("HANDLES %s %ld", when, counters.handles);
  Say("GDI %s %ld", when, counters.gdiObjects);
  Say("WINDOWS %s %ld", when, counters.windows);
}

// A phase of steady monitoring: its CPU time is read outside, between the
// marks; the game's clock says how many ticks it held, each of `reads` reads.
void Phase(const rig::Game& game, const char* name, int seconds, long reads) {
  Say("PHASE %s BEGIN %ld %ld", name, game.TitleWrites(), reads);
  Sleep(static_cast<DWORD>(seconds) * 1000);
  Say("PHASE %s END %ld", name, game.TitleWrites());
}

// The floor: one-byte reads as bare as they come, timed from outside.
void Floor(const rig::Game& game) {
  const rig::OwnedHandle process(OpenProcess(PROCESS_VM_READ, FALSE, game.ProcessId()));
  constexpr int kFloorReads = 40000;
  std::uint8_t byte = 0;
  Say("FLOOR BEGIN");
  for (int i = 0; i < kFloorReads; ++i) {
    ReadProcessMemory(process.get(), reinterpret_cast<const void*>(std::uintptr_t{kBuildMarkerAddress}),
                      &byte, 1, nullptr);
  }
  Say("FLOOR END %d", kFloorReads);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string exe = argc > 1 ? argv[1] : rig::ProgramDirectory() + "Harkwell.exe";
  const int phaseSeconds = argc > 2 ? std::atoi(argv[2]) : 60;
  const int joins = argc > 3 ? std::atoi(argv[3]) : 40;

  rig::Game game;
  if (!game.Start()) return Fail("the simulated game did not start");

  Floor(game);  // at the start; again at the end

  rig::Harkwell app;
  const LARGE_INTEGER launched = Now();
  if (!app.Start(exe)) return Fail("Harkwell's window did not appear");
  Say("STARTUP_MS %.1f", Milliseconds(launched, Now()));
  const rig::OwnedHandle harkwell(
      OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, app.ProcessId()));
  Counters(harkwell.get(), app.ProcessId(), "start");

  if (app.ClickBegin() != "" || app.Caption(ui::kCmdBegin) != expected::kStopCaption) {
    return Fail("monitoring did not start");
  }
  if (!game.WaitTicks(2)) return Fail("no ticks");
  Phase(game, "empty", phaseSeconds, expected::RosterReads(0, 0));
  Counters(harkwell.get(), app.ProcessId(), "empty");

  // Every slot taken, with 15-byte names; the phase starts once the
  // announcements are over. Whether a build announces the joins one by one
  // or together, the first begins with slot 1's.
  auto announcedFirst = [&](const std::string& title) {
    return rig::WaitFor([&] { return game.Title().rfind(title, 0) == 0; });
  };
  for (int slot = 1; slot <= kSlotCount; ++slot) {
    game.Command("join " + std::to_string(slot) + " Player" + std::to_string(100000000 + slot));
  }
  if (!announcedFirst("Player100000001 has joined") || !game.WaitForTitle(kGameTitle)) {
    return Fail("the full game was not announced");
  }
  Phase(game, "full", phaseSeconds,
        expected::RosterReads(expected::kSlots, std::string("Player100000001").size()));
  Counters(harkwell.get(), app.ProcessId(), "full");
  for (int slot = 1; slot <= kSlotCount; ++slot) game.Command("leave " + std::to_string(slot));
  if (!announcedFirst("Player100000001 has left")) return Fail("the empty game was not announced");

  for (int i = 0; i < joins; ++i) {
    const std::string name = "Racer" + std::to_string(i);
    // Each join a random part of a tick after the last, so the latencies
    // sample the whole interval.
    Sleep(static_cast<DWORD>(std::rand() % 250));
    game.Command("join 1 " + name);
    const LARGE_INTEGER written = Now();
    // Polled every millisecond, finer than the rig's waits, for the figure's sake.
    while (game.Title() != name + " has joined") {
      if (Milliseconds(written, Now()) > 5000) return Fail("a join was not announced");
      Sleep(1);
    }
    Say("LATENCY join %.2f", Milliseconds(written, Now()));
    game.Command("leave 1");
    if (!game.WaitForTitle(name + " has left")) return Fail("a leave was not announced");
  }
  Counters(harkwell.get(), app.ProcessId(), "end");
  Floor(game);  // again, at the end: the floor is the mean of both
  if (!app.Exit()) return Fail("Harkwell did not exit");
  Say("DONE");
  return 0;
}
