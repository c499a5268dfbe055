// The main window, Form1: the alert settings, Begin/Stop Monitoring, About and
// Exit. Its handlers live in three files: form1.cpp (the window and the
// monitoring control), sound_chooser.cpp and tray.cpp.
#pragma once

#include <windows.h>

namespace harkwell::ui::form1 {

// Registers the window class and creates the window, not yet shown.
HWND Create(HINSTANCE instance, int dpi);
// The window, or nullptr before it is created and after it is destroyed.
HWND Window();

// sound_chooser.cpp: the two Sound... buttons.
void cmdSoundJoin_Click();
void cmdSoundLeave_Click();

// tray.cpp: minimise to the notification area and back, and the program's end.
void Form_Resize(HWND form);
void Form_MouseDown(HWND form, int button, int shift, int x, int y);
void Form_Unload(HWND form);
// The notification area was re-created (Explorer restarted): put our icon back.
void TaskbarCreated(HWND form);

}  // namespace harkwell::ui::form1
