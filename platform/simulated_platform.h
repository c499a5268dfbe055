// A simulated game process and window for host tests, behind the same calls
// as the real platform. Every sound and flash request is recorded as made.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "monitor/game_facts.h"
#include "platform/platform.h"

namespace harkwell::simulated {

struct AddressRange {
  std::uint32_t begin;
  std::uint32_t end;  // one past the last address
};

struct SoundCall {
  std::u16string path;
  std::uint32_t flags;
};

// Another program with a top-level window, in front of the game's. Its memory
// holds nothing but its marker.
struct OtherProgram {
  platform::WindowHandle window = 0x20010;
  std::string windowClass = kGameWindowClass;
  std::uint32_t processId = 0x3A0;
  std::string title = "Some Other Game";
  std::uint8_t marker = 0x80;
  bool openable = true;
};

inline constexpr std::uint32_t kPageSize = 4096;
using Page = std::array<std::uint8_t, kPageSize>;

struct SimulatedGame {
  // The game window and process. `running` false means the process has ended:
  // its window is gone and every read through an old handle fails.
  platform::WindowHandle window = 0x10010;
  std::string windowClass = kGameWindowClass;
  std::uint32_t processId = 0x2A0;
  std::uint64_t startTime = 1;  // changes with every restart, even when the id is reused
  bool running = true;
  bool processOpenable = true;
  std::string title = kGameTitle;
  // What the tokens say: the game's (nullopt: it cannot be read) and our own.
  std::optional<bool> elevated = false;
  bool selfElevated = false;
  std::vector<OtherProgram> others;

  // Sparse memory: pages appear when written; unwritten readable bytes read 0.
  std::unordered_map<std::uint32_t, std::unique_ptr<Page>> pages;
  std::vector<AddressRange> readable{{0x400000, 0x700000}};
  std::vector<AddressRange> unreadable;
  // Reads still allowed before the process ends by itself (-1: no limit).
  long readsBeforeExit = -1;
  // Title writes still to come that the busy window does not take in time.
  int titleWritesToMiss = 0;
  // When set, reads come from this flat copy of [flatBase, flatBase + size)
  // with no other check: a read that costs next to nothing, so that a
  // benchmark sees the monitor's own work.
  std::vector<std::uint8_t> flatMemory;
  std::uint32_t flatBase = 0;

  // What the program did.
  long reads = 0;                      // of the game's memory
  bool recordTitles = true;            // off for long runs that need no history
  std::vector<std::string> titlesSet;  // every write asked for, taken or not
  std::vector<SoundCall> soundsPlayed;
  std::vector<platform::FlashWindowInfo> flashesRequested;
  std::vector<platform::ProcessHandle> openHandles;
  std::uint32_t openAccess = 0;  // as the last open asked
  long closeCalls = 0;
};

// The one game the simulated platform talks to.
SimulatedGame& Game();
// A fresh game: default window, process and readable image, nothing recorded.
void ResetGame();

// One read through a handle, as the game's memory and process allow it;
// ReadProcessByte's flat path goes around it, kept lean for the benchmark of
// the monitor's own work.
bool ReadFromGame(platform::ProcessHandle process, std::uint32_t address, std::uint8_t& value);
void WriteByte(std::uint32_t address, std::uint8_t value);
void WriteBytes(std::uint32_t address, const std::string& bytes);
std::uint8_t PeekByte(std::uint32_t address);
// The process ends now: its window goes and reads fail from here on.
void EndProcess();
// A new process with a new window, as when the game is started again.
void RestartProcess();
// The running game closes its window and opens another.
void ReplaceWindow();

}  // namespace harkwell::simulated
