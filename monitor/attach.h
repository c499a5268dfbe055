// The program's hold on the running game.
#pragma once

#include <cstdint>

#include "monitor/game_facts.h"
#include "platform/platform.h"

namespace harkwell {

struct GameAttachment {
  platform::WindowHandle gameWindow = 0;
  std::uint32_t gameProcessId = 0;
  platform::ProcessHandle gameProcess = 0;  // 0 when opening failed
  std::uint8_t layoutIndex = 0;
};

extern GameAttachment gameAttachment;

// PROCESS_ALL_ACCESS as the Windows versions of the game's day define it.
inline constexpr std::uint32_t kGameProcessAccess = 0x1F0FFF;

// Finds the game window, opens its process and probes the build. On failure
// gameProcess is 0 and layoutIndex keeps its earlier value.
bool Attach();
// Closes gameProcess; every field keeps its value.
void Detach();
// The layout index for the build marker byte; unknown builds use layout 0.
std::uint8_t ProbeGameLayout(platform::ProcessHandle gameProcess);

}  // namespace harkwell
