// The program's hold on the running game.
#pragma once

#include <cstdint>

#include "monitor/game_facts.h"
#include "platform/platform.h"

namespace harkwell {

struct GameAttachment {
  platform::WindowHandle gameWindow = 0;
  std::uint32_t gameProcessId = 0;
  // 0 when opening failed, and while monitoring waits for a game to start.
  platform::ProcessHandle gameProcess = 0;
  std::uint8_t layoutIndex = 0;
  // The process the kept roster was read from. Ids are reused, so its start
  // time tells a restarted game from the same one.
  std::uint32_t rosterProcessId = 0;
  std::uint64_t rosterProcessStart = 0;
};

extern GameAttachment gameAttachment;

// The least the monitor needs of the game's process, and nothing that could
// change it: read its memory (PROCESS_VM_READ), learn when it started
// (PROCESS_QUERY_LIMITED_INFORMATION) and wait for it to end (SYNCHRONIZE).
inline constexpr std::uint32_t kGameProcessAccess = 0x0010 | 0x1000 | 0x00100000;

// Finds the game's window among the windows of its class, opens its process
// and learns the build from its marker. Other old programs use the class too,
// and may share a marker: the game is, in this order, a window with a known
// marker titled as the game, one with a known marker (its title may still
// hold an announcement), one titled as the game with an unknown marker (read
// with layout 0); no other window is ever taken. On failure gameProcess is 0
// and layoutIndex keeps its earlier value; gameProcessId is not 0 when a
// window titled as the game was found but its process could not be opened. A
// game process other than the one the kept roster came from starts from an
// empty roster.
bool Attach();
// Closes gameProcess and sets it to 0, so no closed handle stays in it;
// every other field keeps its value.
void Detach();

enum class AttachFailure : std::uint8_t {
  NoGame,
  GameRunsAsAdministrator,  // and Harkwell does not: Windows keeps the game from it
  GameRefusesAccess,        // for another reason
};
// Why the last Attach failed, for the message the user sees.
AttachFailure WhyNotAttached();

// Whether the attached game's process has ended. A failed read is no sign of
// it: only the process itself says so.
bool GameHasEnded();
// Lets go of a game that has ended, as Detach does, so that monitoring waits
// for the next game.
void LetGoOfEndedGame();
// Whether gameWindow is still the game's: a window of the game's class, of
// the game's process. Window handles are reused once a window is gone.
bool StillTheGameWindow();
// The game's process may replace its window: looks for a window of the
// game's class in that process and takes it. Returns whether one was found.
bool FindGameWindowAgain();

}  // namespace harkwell
