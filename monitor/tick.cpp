#include "monitor/tick.h"

#include "monitor/attach.h"
#include "monitor/change.h"
#include "monitor/roster.h"
#include "notify/alerts.h"
#include "notify/title.h"

namespace harkwell {

void MonitorTick() {
  TitleTick();
  const RosterSnapshot current = ReadRoster(gameAttachment.gameProcess, gameAttachment.layoutIndex);
  const std::optional<RosterEvent> event = DetectChange(current);
  if (event) {
    // The event's names may be previousSnapshot's: announce before committing.
    AnnounceInTitle(event->slot, event->kind, *event->names);
    RaiseAlerts(event->kind);
  }
  CommitSnapshot(current, event.has_value());
}

}  // namespace harkwell
