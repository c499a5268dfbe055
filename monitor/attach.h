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

// The least the monitor needs of the game's process, and nothing that could
// change it: read its memory (PROCESS_VM_READ), learn when it started
// (PROCESS_QUERY_LIMITED_INFORMATION) and wait for it to end (SYNCHRONIZE).
inline constexpr std::uint32_t kGameProcessAccess = 0x0010 | 0x1000 | 0x00100000;

// Finds the game window, opens its process and probes the build. On failure
// gameProcess is 0 and layoutIndex keeps its earlier value.
bool Attach();
// Closes gameProcess; every field keeps its value.
void Detach();
// The layout index for the build marker byte; unknown builds use layout 0.
std::uint8_t ProbeGameLayout(platform::ProcessHandle gameProcess);

}  // namespace harkwell
