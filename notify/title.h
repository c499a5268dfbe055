// Announces a tick's joins and leaves in the game window's title for 16 ticks.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "monitor/change.h"
#include "monitor/game_facts.h"
#include "ui/texts.h"

namespace harkwell {

inline constexpr int kAnnouncementTicks = 16;

// Ticks the current announcement still stays up.
extern int titleCountdown;
// Whether the game's title may be an announcement: one was written and the
// game has not taken its own title back since. A write the game did not
// confirm in time may still have reached it.
extern bool announcementInTitle;
// An announcement the game's window did not take (busy past the write's
// bound, or gone): written again in its place on each tick while it is up.
extern std::optional<std::string> announcementToRetry;
// Every announcement made, the game's end included, counted, and the last as
// written to the title: the user interface tells each one on elsewhere.
// Writing one again is no new announcement.
struct Announcements {
  unsigned count = 0;
  std::string last;
};
extern Announcements announcements;

// Counts a showing announcement down, writing it again if the game has not
// taken it yet, or puts the game's own title back.
void TitleTick();
// Shows the tick's events as one title, "<cleaned name> has joined/left" for
// each in slot order, separated by ", ", for the full 16 ticks, replacing
// any announcement still up or waiting to be written again.
void AnnounceInTitle(const RosterEvents& events);
// Monitoring stops: an announcement not yet taken is dropped, so that it never
// reaches a game attached later. The countdown itself stays where it is.
void DropAnnouncementRetry();
// The game has ended: its players' leaves are written once, as one title,
// into a window that went with it, and no announcement stays up or waits.
void AnnounceGameEnd(const RosterEvents& leaves);
// Harkwell exits: an announcement the game's title may still show, frozen by
// Stop, or left when the game was too busy to take its own title back, gives
// way to the game's own title, in a window that is still the game's.
void PutBackGameTitle();
// Removes '|' and the Windows-1252 section sign (0xA7), which the game uses
// for colour codes, and keeps every other byte.
std::string CleanPlayerName(std::string_view name);

}  // namespace harkwell
