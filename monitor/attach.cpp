#include "monitor/attach.h"

#include "monitor/change.h"

namespace harkwell {

GameAttachment gameAttachment;

namespace {

// How much a window of the game's class looks like the game; more is better.
enum class Likeness : std::uint8_t { None, GameTitle, KnownMarker, KnownMarkerAndGameTitle };

struct Candidate {
  platform::WindowHandle window = 0;
  std::uint32_t processId = 0;
  platform::ProcessHandle process = 0;
  std::uint8_t marker = 0;
  Likeness likeness = Likeness::None;
};

// Each window of the class is looked at once; only the best one's process
// stays open. A window titled as the game whose process refuses us is kept
// aside, to say why the game cannot be read.
Candidate FindGame(Candidate& refused) {
  Candidate best;
  for (const platform::WindowHandle window : platform::TopLevelWindows(kGameWindowClass)) {
    const std::uint32_t processId = platform::WindowProcessId(window);
    if (processId == 0) continue;
    const bool gameTitle = platform::WindowTitle(window) == kGameTitle;
    const platform::ProcessHandle process = platform::OpenProcessHandle(kGameProcessAccess, false, processId);
    if (process == 0) {
      if (gameTitle && refused.window == 0) refused = {window, processId};
      continue;
    }
    std::uint8_t marker = 0;  // a marker that cannot be read is no build's
    const bool known =
        platform::ReadProcessByte(process, kBuildMarkerAddress, marker) && IsKnownMarker(marker);
    const Likeness likeness = known ? (gameTitle ? Likeness::KnownMarkerAndGameTitle : Likeness::KnownMarker)
                                    : (gameTitle ? Likeness::GameTitle : Likeness::None);
    if (likeness <= best.likeness) {
      platform::CloseProcessHandle(process);
      continue;
    }
    platform::CloseProcessHandle(best.process);  // none yet: 0, which closes nothing
    best = {window, processId, process, marker, likeness};
    if (likeness == Likeness::KnownMarkerAndGameTitle) break;
  }
  return best;
}

}  // namespace

bool Attach() {
  Candidate refused;
  const Candidate game = FindGame(refused);
  const Candidate& found = game.likeness != Likeness::None ? game : refused;
  gameAttachment.gameWindow = found.window;
  gameAttachment.gameProcessId = found.processId;
  gameAttachment.gameProcess = found.process;
  if (gameAttachment.gameProcess == 0) return false;
  gameAttachment.layoutIndex = LayoutForMarker(found.marker);
  // Another game's players are all new: none of the kept roster left it.
  const std::uint64_t start = platform::ProcessStartTime(gameAttachment.gameProcess);
  if (gameAttachment.gameProcessId != gameAttachment.rosterProcessId ||
      start != gameAttachment.rosterProcessStart) {
    previousSnapshot = {};
    gameAttachment.rosterProcessId = gameAttachment.gameProcessId;
    gameAttachment.rosterProcessStart = start;
  }
  return true;
}

void Detach() {
  platform::CloseProcessHandle(gameAttachment.gameProcess);
  gameAttachment.gameProcess = 0;
}

AttachFailure WhyNotAttached() {
  if (gameAttachment.gameProcessId == 0) return AttachFailure::NoGame;
  // A game that keeps even its token from us most likely runs as administrator.
  if (!platform::ThisProcessElevated() &&
      platform::ProcessElevated(gameAttachment.gameProcessId).value_or(true))
    return AttachFailure::GameRunsAsAdministrator;
  return AttachFailure::GameRefusesAccess;
}

bool GameHasEnded() { return platform::ProcessHasEnded(gameAttachment.gameProcess); }

void LetGoOfEndedGame() { Detach(); }

bool StillTheGameWindow() {
  return platform::IsProcessWindow(gameAttachment.gameWindow, kGameWindowClass, gameAttachment.gameProcessId);
}

bool FindGameWindowAgain() {
  const platform::WindowHandle window =
      platform::FindProcessWindow(kGameWindowClass, gameAttachment.gameProcessId);
  if (window == 0) return false;
  gameAttachment.gameWindow = window;
  return true;
}

}  // namespace harkwell
