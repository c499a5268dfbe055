// Puts the program-wide state back to how a fresh run starts, so that each
// test, benchmark or fuzz input begins like a new program.
#pragma once

#include "monitor/attach.h"
#include "monitor/change.h"
#include "notify/alerts.h"
#include "notify/title.h"

namespace harkwell {

inline void ResetProgramState() {
  gameAttachment = {};
  previousSnapshot = {};
  alertSettings = {};
  titleCountdown = 0;
  announcementInTitle = false;
  announcementToRetry.reset();
  announcements = {};
}

}  // namespace harkwell
