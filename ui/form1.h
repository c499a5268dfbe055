// The main window, Form1: the alert settings, Begin/Stop Monitoring, About and
// Exit. Its handlers live in four files: form1.cpp (the window and the
// monitoring control), sound_chooser.cpp, tray.cpp and keyboard.cpp.
#pragma once

#include <windows.h>

#include <string>

#include "ui/command_line.h"

namespace harkwell::ui::form1 {

// Registers the window class and creates the window, not yet shown; with
// `minimised`, already minimised, so that it can go to the tray unseen.
HWND Create(HINSTANCE instance, int dpi, bool minimised);
// Applies the start-up options through the controls' own handlers, then
// shows the window as `showCommand` says, or puts it in the tray.
void ApplyStartOptions(const StartOptions& options, int showCommand);
// The window, or nullptr before it is created and after it is destroyed.
HWND Window();
// One of its controls by id, on the window or inside the group box.
HWND Control(int id);

// sound_chooser.cpp: the two Sound... buttons.
void cmdSoundJoin_Click();
void cmdSoundLeave_Click();

// tray.cpp: minimise to the notification area and back, and the program's end.
void Form_Resize(HWND form);
void Form_MouseDown(HWND form, int button, int shift, int x, int y);
void Form_Unload(HWND form);
// The window back from the tray, in its normal state and in front.
void RestoreFromTray(HWND form);
// The notification area was re-created (Explorer restarted): put our icon back.
void TaskbarCreated(HWND form);
// An announcement as a notification from the icon, while the window is in the tray.
void NotifyFromTray(HWND form, const std::string& announcement);

// keyboard.cpp: Tab in the designed order, and Enter on the focused button.
// WM_NEXTDLGCTL: the next or previous control, or the one given.
void NextDialogControl(WPARAM wParam, LPARAM lParam);
// DM_GETDEFID: no button is the default, but Enter presses the focused one.
LRESULT FocusedButtonId();

}  // namespace harkwell::ui::form1
