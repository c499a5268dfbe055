// What a test program needs to drive the simulated game beyond the game's own
// facts (monitor/game_facts.h): its WM_COPYDATA tags and its clock.
// Header-only and free of <windows.h> so that any program can include it.
#pragma once

#include <cstdint>

#include "monitor/game_facts.h"

namespace harkwell::simgame {

// COPYDATASTRUCT::dwData of a command ('JJ2'). The payload is one command line,
// e.g. "join 3 Spaz"; a trailing NUL is allowed. SendMessage returns TRUE when the
// command was applied and FALSE when it was rejected.
inline constexpr std::uint32_t kCopyDataTag = 0x4A4A32;
// The same, but the command waits and is applied inside the game's handling of
// the next title write it receives. A monitor writes the title before it reads
// the table, so every command queued this way lands in the same tick.
inline constexpr std::uint32_t kQueueForNextTitleTag = 0x4A4A33;

// The game's clock: how many title writes (WM_SETTEXT) it has received. A
// monitor writes the title once a tick while no announcement is up.
inline constexpr unsigned kQueryTitleWrites = 0x8000 + 1;  // WM_APP + 1, returns the count

}  // namespace harkwell::simgame
