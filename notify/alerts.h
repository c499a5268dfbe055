// Plays the chosen sound and flashes the game window for a tick's events.
#pragma once

#include <cstdint>
#include <string>

#include "monitor/change.h"
#include "platform/platform.h"

namespace harkwell {

struct AlertSettings {
  // Check-box values (0 or 1) captured at Begin Monitoring.
  std::uint8_t playJoin = 0;
  std::uint8_t flashJoin = 0;
  std::uint8_t playLeave = 0;
  std::uint8_t flashLeave = 0;
  // Paths from the sound chooser, in Windows' own UTF-16; empty means none chosen.
  std::u16string joinSoundPath;
  std::u16string leaveSoundPath;
};

extern AlertSettings alertSettings;

// SND_ASYNC | SND_NODEFAULT: play in the background, and play nothing at all
// when the file cannot be played.
inline constexpr std::uint32_t kSoundFlags = 3;
inline constexpr std::uint32_t kFlashAll = 3;  // FLASHW_ALL: caption and taskbar button
inline constexpr std::uint32_t kFlashCount = 5;

// One sound and one flash for a tick's events: the join sound when the tick
// has a join whose sound is on, otherwise the leave sound when it has a leave
// whose sound is on; a flash when the flash of any kind it has is on.
void RaiseAlerts(const RosterEvents& events);
void FlashGameWindow(platform::WindowHandle window);

}  // namespace harkwell
