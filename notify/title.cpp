#include "notify/title.h"

#include "monitor/attach.h"

namespace harkwell {
namespace {

// A write that fails because the window is no longer the game's sends the
// search after the window the game replaced it with; later writes go there.
bool WriteGameTitle(const char* title) {
  if (platform::SetWindowTitle(gameAttachment.gameWindow, title)) return true;
  if (!StillTheGameWindow()) FindGameWindowAgain();
  return false;
}

std::string AnnouncementText(const RosterEvents& events) {
  std::string message;
  for (int i = 0; i < events.count; ++i) {
    const RosterEvent& event = events.events[i];
    if (i > 0) message += kEventSeparator;
    message += CleanPlayerName((*event.names)[event.slot - 1]);
    message += event.kind == EventKind::Join ? kJoinedSuffix : kLeftSuffix;
  }
  return message;
}

void Record(const std::string& message) {
  ++announcements.count;
  announcements.last = message;
}

}  // namespace

int titleCountdown = 0;
bool announcementInTitle = false;
std::optional<std::string> announcementToRetry;
Announcements announcements;

void TitleTick() {
  if (titleCountdown > 0) {
    --titleCountdown;
    if (announcementToRetry && WriteGameTitle(announcementToRetry->c_str())) announcementToRetry.reset();
    return;
  }
  // The countdown is over: an idle write that fails needs nothing, as the next
  // tick writes it again, and an announcement never taken is written no more.
  if (WriteGameTitle(kGameTitle)) announcementInTitle = false;
}

void AnnounceInTitle(const RosterEvents& events) {
  std::string message = AnnouncementText(events);
  Record(message);
  titleCountdown = kAnnouncementTicks;
  announcementInTitle = true;
  if (WriteGameTitle(message.c_str())) {
    announcementToRetry.reset();
  } else {
    announcementToRetry = std::move(message);
  }
}

void DropAnnouncementRetry() { announcementToRetry.reset(); }

void AnnounceGameEnd(const RosterEvents& leaves) {
  if (leaves.count > 0) {
    const std::string message = AnnouncementText(leaves);
    Record(message);
    platform::SetWindowTitle(gameAttachment.gameWindow, message.c_str());
  }
  titleCountdown = 0;
  announcementToRetry.reset();
}

void PutBackGameTitle() {
  // Not the countdown: it is over as soon as the game's title is due back,
  // whether the game took that title or not.
  if (announcementInTitle && StillTheGameWindow() &&
      platform::SetWindowTitle(gameAttachment.gameWindow, kGameTitle)) {
    announcementInTitle = false;
  }
}

std::string CleanPlayerName(std::string_view name) {
  std::string cleaned;
  cleaned.reserve(name.size());
  for (char c : name) {
    if (c != '|' && static_cast<unsigned char>(c) != 0xA7) cleaned.push_back(c);
  }
  return cleaned;
}

}  // namespace harkwell
