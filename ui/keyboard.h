// The dialog keys of Harkwell's windows: Tab, Enter and the access keys.
#pragma once

#include <windows.h>

namespace harkwell::ui {

// Handles `message` when it is a dialog key for one of our windows; the
// message loop then neither translates nor dispatches it.
bool HandleDialogKeys(MSG& message);

}  // namespace harkwell::ui
