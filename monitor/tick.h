// One look at the game, run every 250 ms while monitoring is on.
#pragma once

namespace harkwell {

// Steps the title, reads the roster, reports at most one join or leave and
// keeps the roster. Needs no window of our own, so tests call it directly.
void MonitorTick();

}  // namespace harkwell
