// Announces joins and leaves in the game window's title for 16 ticks.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "monitor/change.h"
#include "monitor/game_facts.h"

namespace harkwell {

inline constexpr char kJoinedSuffix[] = " has joined";
inline constexpr char kLeftSuffix[] = " has left";
inline constexpr int kAnnouncementTicks = 16;

// Ticks the current announcement still stays up.
extern int titleCountdown;

// Counts a showing announcement down, or puts the game's own title back.
void TitleTick();
// Shows "<cleaned name> has joined/left" for the full 16 ticks, replacing any
// announcement still up.
void AnnounceInTitle(std::int16_t slot, EventKind kind, const RosterNames& names);
// Removes '|' and the Windows-1252 section sign (0xA7), which the game uses
// for colour codes, and keeps every other byte.
std::string CleanPlayerName(std::string_view name);

}  // namespace harkwell
