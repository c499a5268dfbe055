#include "notify/title.h"

#include "monitor/attach.h"

namespace harkwell {

int titleCountdown = 0;
std::optional<std::string> announcementToRetry;

void TitleTick() {
  if (titleCountdown > 0) {
    --titleCountdown;
    if (announcementToRetry &&
        platform::SetWindowTitle(gameAttachment.gameWindow, announcementToRetry->c_str()))
      announcementToRetry.reset();
    return;
  }
  // The countdown is over: an idle write that fails needs nothing, as the next
  // tick writes it again, and an announcement never taken is written no more.
  platform::SetWindowTitle(gameAttachment.gameWindow, kGameTitle);
}

void AnnounceInTitle(std::int16_t slot, EventKind kind, const RosterNames& names) {
  if (slot < 1 || slot > kSlotCount) return;  // change detection never reports one
  std::string message = CleanPlayerName(names[slot - 1]);
  message += kind == EventKind::Join ? kJoinedSuffix : kLeftSuffix;
  titleCountdown = kAnnouncementTicks;
  if (platform::SetWindowTitle(gameAttachment.gameWindow, message.c_str())) {
    announcementToRetry.reset();
  } else {
    announcementToRetry = std::move(message);
  }
}

void DropAnnouncementRetry() { announcementToRetry.reset(); }

std::string CleanPlayerName(std::string_view name) {
  std::string cleaned;
  cleaned.reserve(name.size());
  for (char c : name) {
    if (c != '|' && static_cast<unsigned char>(c) != 0xA7) cleaned.push_back(c);
  }
  return cleaned;
}

}  // namespace harkwell
