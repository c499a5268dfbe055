// Every text Harkwell shows, in one place: its name, the captions of its
// controls, its messages and the About window's wording. The resource script
// reads the macros; the program reads the constants.
#pragma once

#define HARKWELL_NAME "Harkwell"
#define HARKWELL_AUTHORS "Harkwell Team"
#define HARKWELL_CREDIT_LINE "(c) 2002 " HARKWELL_AUTHORS

#ifndef RC_INVOKED
namespace harkwell::ui {

// The main window's caption, the title of its message boxes and the tip of its tray icon.
inline constexpr char kApplicationTitle[] = HARKWELL_NAME;

inline constexpr char kBeginCaption[] = "&Begin Monitoring";
inline constexpr char kStopCaption[] = "&Stop Monitoring";
inline constexpr char kSettingsCaption[] = "Settings";
inline constexpr char kOnJoinCaption[] = "On join,";
inline constexpr char kOnLeaveCaption[] = "On leave,";
inline constexpr char kPlayCaption[] = "Play";
inline constexpr char kSoundCaption[] = "Sound...";
inline constexpr char kFlashCaption[] = "Flash JJ2 Window";
inline constexpr char kExitCaption[] = "E&xit";
inline constexpr char kAboutCaption[] = "&About";

inline constexpr char kNoSoundDevice[] =
    "You have no sound device installed, or you have an error with it.  Therefore, sounds cannot be played.";
inline constexpr char kNoJoinSound[] =
    "You have chosen to play a sound when someone joins, but you have not selected a sound to play.";
inline constexpr char kNoLeaveSound[] =
    "You have chosen to play a sound when someone leaves, but you have not selected a sound to play.";
inline constexpr char kNoGame[] = "This program requires JJ2 to be running.";
inline constexpr char kGameAsAdministrator[] =
    "JJ2 is running as administrator, so Harkwell cannot read it. Start Harkwell as administrator too, or "
    "start JJ2 normally.";
inline constexpr char kGameNotReadable[] = "JJ2 is running, but Windows does not let Harkwell read it.";

inline constexpr wchar_t kSoundDialogTitle[] = L"Select Sound";
inline constexpr wchar_t kSoundDialogFilter[] = L"Sound (*.wav)\0*.wav\0";

inline constexpr char kAboutWindowCaption[] = "About " HARKWELL_NAME;
inline constexpr char kVersionPrefix[] = "Version ";
inline constexpr char kCreditLine[] = HARKWELL_CREDIT_LINE;
inline constexpr char kSiteLabel[] = "HW Site";
inline constexpr char kSiteTarget[] = "https://example.org/harkwell";
inline constexpr char kEmailLabel[] = "Email HW";
inline constexpr char kEmailTarget[] = "mailto:harkwell@example.org";
inline constexpr char kThanksLine[] = "*** Thanks to all testers ***";
inline constexpr char kCloseCaption[] = "Close";

}  // namespace harkwell::ui
#endif
