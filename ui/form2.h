// The About window, Form2: at most one at a time, built afresh after closing.
#pragma once

#include <windows.h>

namespace harkwell::ui::form2 {

// Registers the window class; call once before Show.
void Register(HINSTANCE instance, int dpi);
// Shows the About window, creating it when none is open; an open one is
// brought to the front instead.
void Show();
// The open About window, or nullptr.
HWND Window();
// Closes the About window if it is open.
void Unload();

}  // namespace harkwell::ui::form2
