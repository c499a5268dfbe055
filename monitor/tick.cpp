#include "monitor/tick.h"

#include "monitor/attach.h"
#include "monitor/change.h"
#include "monitor/roster.h"
#include "notify/alerts.h"
#include "notify/title.h"

namespace harkwell {
namespace {

// Everybody the kept roster holds has left with the game, each once.
TickOutcome EndOfGame() {
  const RosterEvents leaves = LeavesOfEveryone();
  AnnounceGameEnd(leaves);
  RaiseAlerts(leaves);
  previousSnapshot = {};
  LetGoOfEndedGame();
  return TickOutcome::WaitingForGame;
}

// Attaching as Begin does, without its message: the next tick reads the game.
TickOutcome LookForGame() {
  if (Attach()) return TickOutcome::Watching;
  return gameAttachment.gameProcessId != 0 ? TickOutcome::GameCannotBeOpened : TickOutcome::WaitingForGame;
}

}  // namespace

TickOutcome MonitorTick() {
  if (gameAttachment.gameProcess == 0) return LookForGame();
  // Asked once a tick, first: a game that ends during the reads leaves
  // reads that failed, which count for nothing, and is let go on the next.
  if (GameHasEnded()) return EndOfGame();
  TitleTick();
  const RosterSnapshot current = ReadRoster(gameAttachment.gameProcess, gameAttachment.layoutIndex);
  const RosterEvents events = DetectChange(current);
  if (events.count > 0) {
    // The events' names may be previousSnapshot's: announce before committing.
    AnnounceInTitle(events);
    RaiseAlerts(events);
  }
  CommitSnapshot(current);
  return TickOutcome::Watching;
}

}  // namespace harkwell
