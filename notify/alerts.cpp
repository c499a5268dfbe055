#include "notify/alerts.h"

#include "monitor/attach.h"

namespace harkwell {

AlertSettings alertSettings;

void RaiseAlerts(EventKind kind) {
  // The sound starts before the flash.
  switch (kind) {
    case EventKind::Join:
      if (alertSettings.playJoin == 1) platform::PlaySoundFile(alertSettings.joinSoundPath, kSoundFlags);
      if (alertSettings.flashJoin == 1) FlashGameWindow(gameAttachment.gameWindow);
      break;
    case EventKind::Leave:
      if (alertSettings.playLeave == 1) platform::PlaySoundFile(alertSettings.leaveSoundPath, kSoundFlags);
      if (alertSettings.flashLeave == 1) FlashGameWindow(gameAttachment.gameWindow);
      break;
  }
}

void FlashGameWindow(platform::WindowHandle window) {
  // 20 is the record's size in the game's 32-bit world; the Win32 layer
  // substitutes the size its own FLASHWINFO has.
  platform::FlashWindowWithInfo({20, window, kFlashAll, kFlashCount, 0});
}

}  // namespace harkwell
