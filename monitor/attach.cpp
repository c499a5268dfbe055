#include "monitor/attach.h"

#include "monitor/change.h"

namespace harkwell {

GameAttachment gameAttachment;

bool Attach() {
  gameAttachment.gameWindow = platform::FindTopLevelWindow(kGameWindowClass);
  gameAttachment.gameProcessId =
      gameAttachment.gameWindow != 0 ? platform::WindowProcessId(gameAttachment.gameWindow) : 0;
  gameAttachment.gameProcess =
      gameAttachment.gameProcessId != 0
          ? platform::OpenProcessHandle(kGameProcessAccess, false, gameAttachment.gameProcessId)
          : 0;
  if (gameAttachment.gameProcess == 0) return false;
  gameAttachment.layoutIndex = ProbeGameLayout(gameAttachment.gameProcess);
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

std::uint8_t ProbeGameLayout(platform::ProcessHandle gameProcess) {
  std::uint8_t marker = 0;
  platform::ReadProcessByte(gameProcess, kBuildMarkerAddress, marker);
  return LayoutForMarker(marker);
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
