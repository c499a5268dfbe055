#include "notify/alerts.h"

#include "monitor/attach.h"

namespace harkwell {

AlertSettings alertSettings;

void RaiseAlerts(const RosterEvents& events) {
  const bool joins = HasEvent(events, EventKind::Join);
  const bool leaves = HasEvent(events, EventKind::Leave);
  // The sound starts before the flash.
  if (joins && alertSettings.playJoin == 1) {
    platform::PlaySoundFile(alertSettings.joinSoundPath, kSoundFlags);
  } else if (leaves && alertSettings.playLeave == 1) {
    platform::PlaySoundFile(alertSettings.leaveSoundPath, kSoundFlags);
  }
  if ((joins && alertSettings.flashJoin == 1) || (leaves && alertSettings.flashLeave == 1))
    FlashGameWindow(gameAttachment.gameWindow);
}

void FlashGameWindow(platform::WindowHandle window) {
  platform::FlashWindowWithInfo({window, kFlashAll, kFlashCount, 0});
}

}  // namespace harkwell
