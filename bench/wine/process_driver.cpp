// Runs Harkwell.exe beside the simulated game for the whole-process figures:
// start-up time, phases of steady monitoring (whose CPU time the calling script
// reads from the Linux side), private bytes, object counts where Wine has them,
// and the latency from a join written into the game to its announcement.
// Prints one fact per line for the report script.
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "game_process.h"
#include "process_counters.h"
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

void Counters(const PROCESS_INFORMATION& harkwell, const char* when) {
  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof memory;
  if (GetProcessMemoryInfo(harkwell.hProcess, &memory, sizeof memory)) {
    Say("PRIVATE_BYTES %s %llu %llu", when, static_cast<unsigned long long>(memory.PagefileUsage),
        static_cast<unsigned long long>(memory.PeakPagefileUsage));
  }
  const test::ProcessCounters counters = test::ReadProcessCounters(harkwell.hProcess, harkwell.dwProcessId);
  Say("HANDLES %s %ld", when, counters.handles);
  Say("GDI %s %ld", when, counters.gdiObjects);
  Say("WINDOWS %s %ld", when, counters.windows);
}

// Waits, polling every 2 ms for at most `seconds`, until the game shows `title`.
bool WaitForTitle(test::GameProcess& game, const std::string& title, int seconds) {
  const DWORD deadline = GetTickCount() + static_cast<DWORD>(seconds) * 1000;
  while (GetTickCount() < deadline) {
    if (game.Title() == title) return true;
    Sleep(2);
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  const int phaseSeconds = argc > 1 ? std::atoi(argv[1]) : 60;
  const int joins = argc > 2 ? std::atoi(argv[2]) : 40;

  test::GameProcess game;
  if (!game.Start("--marker 0xC0", 0)) return Say("ERROR the simulated game did not start"), 1;

  std::string commandLine = "\"" + test::ProgramDirectory() + "Harkwell.exe\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION harkwell{};
  const LARGE_INTEGER launched = Now();
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &harkwell)) {
    return Say("ERROR Harkwell.exe did not start"), 1;
  }
  HWND main = nullptr;
  for (int i = 0; i < 20000 && main == nullptr; ++i) {
    HWND found = FindWindowA(ui::kForm1Class, nullptr);
    if (found != nullptr && IsWindowVisible(found))
      main = found;
    else
      Sleep(1);
  }
  if (main == nullptr) return Say("ERROR Harkwell's window did not appear"), 1;
  Say("STARTUP_MS %.1f", Milliseconds(launched, Now()));
  Say("HARKWELL_PID %lu", harkwell.dwProcessId);
  Counters(harkwell, "start");

  PostMessageA(GetDlgItem(main, ui::kCmdBegin), BM_CLICK, 0, 0);
  char caption[64] = {};
  for (int i = 0; i < 500 && std::string(caption) != "&Stop Monitoring"; ++i) {
    Sleep(10);
    GetDlgItemTextA(main, ui::kCmdBegin, caption, sizeof caption);
  }
  if (std::string(caption) != "&Stop Monitoring") return Say("ERROR monitoring did not start"), 1;

  Sleep(1000);
  Say("PHASE empty BEGIN");
  Sleep(static_cast<DWORD>(phaseSeconds) * 1000);
  Say("PHASE empty END");
  Counters(harkwell, "empty");

  for (int slot = 1; slot <= 32; ++slot) game.Join(slot, "Player" + std::to_string(100000000 + slot));
  Sleep(6000);  // the first join is announced, the rest absorbed; let the title settle
  Say("PHASE full BEGIN");
  Sleep(static_cast<DWORD>(phaseSeconds) * 1000);
  Say("PHASE full END");
  Counters(harkwell, "full");
  for (int slot = 1; slot <= 32; ++slot) game.Leave(slot);
  Sleep(1000);

  for (int i = 0; i < joins; ++i) {
    const std::string name = "Racer" + std::to_string(i);
    // Join spaced a random part of a tick after the last announcement, so the
    // latencies sample the whole interval.
    Sleep(static_cast<DWORD>(std::rand() % 250));
    game.Write(NameAddress(0, 0), name + '\0');
    game.Write(OccupancyAddress(0, 0), std::string(1, '\1'));
    const LARGE_INTEGER written = Now();
    if (!WaitForTitle(game, name + " has joined", 5)) return Say("ERROR join %d was not announced", i), 1;
    Say("LATENCY join %.2f", Milliseconds(written, Now()));
    game.Leave(1);
    if (!WaitForTitle(game, name + " has left", 5)) return Say("ERROR leave %d was not announced", i), 1;
  }
  Counters(harkwell, "end");

  PostMessageA(GetDlgItem(main, ui::kCmdExit), BM_CLICK, 0, 0);
  WaitForSingleObject(harkwell.hProcess, 10000);
  CloseHandle(harkwell.hThread);
  CloseHandle(harkwell.hProcess);
  Say("DONE");
  return 0;
}
