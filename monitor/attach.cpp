#include "monitor/attach.h"

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
  return true;
}

void Detach() { platform::CloseProcessHandle(gameAttachment.gameProcess); }

std::uint8_t ProbeGameLayout(platform::ProcessHandle gameProcess) {
  std::uint8_t marker = 0;
  platform::ReadProcessByte(gameProcess, kBuildMarkerAddress, marker);
  return LayoutForMarker(marker);
}

}  // namespace harkwell
