// One look at the game, run every 250 ms while monitoring is on.
#pragma once

#include <cstdint>

namespace harkwell {

enum class TickOutcome : std::uint8_t {
  Watching,            // a game is attached
  WaitingForGame,      // none runs yet, or the last one ended
  GameCannotBeOpened,  // a game's window was found, its process refused us
};

// Steps the title, reads the roster, reports the tick's joins and leaves and
// keeps the roster; notices the game ending and, while no game is attached,
// looks for one. Needs no window of our own, so tests call it directly.
TickOutcome MonitorTick();

}  // namespace harkwell
