// Every text Harkwell shows, in one place: its name, the captions of its
// controls, its messages, the About window's wording, the words it writes into
// the game's title and its command line's usage and errors. Plain constants
// with no Windows header, so the portable code includes it too. The resource
// script reads the macros; the program reads the constants.
#pragma once

#define HARKWELL_NAME "Harkwell"
#define HARKWELL_AUTHORS "Harkwell Team"
#define HARKWELL_CREDIT_LINE "(c) 2002 " HARKWELL_AUTHORS

#ifndef RC_INVOKED
namespace harkwell {

// Written into the game's title: "<name> has joined, <name> has left", and
// the game's own title put back after an announcement.
inline constexpr char kJoinedSuffix[] = " has joined";
inline constexpr char kLeftSuffix[] = " has left";
inline constexpr char kEventSeparator[] = ", ";  // between the events of one tick
inline constexpr char kGameTitle[] = "Jazz Jackrabbit 2";

}  // namespace harkwell

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

// The box of a start with /? or a bad argument: the argument quoted, then
// one of the errors, then the usage.
inline constexpr char16_t kUsage[] =
    u"Usage: Harkwell.exe [options]\n"
    u"\n"
    u"/join PATH\tPlay (join) with the WAV file PATH\n"
    u"/leave PATH\tPlay (leave) with the WAV file PATH\n"
    u"/flashjoin\tFlash JJ2 Window on join\n"
    u"/flashleave\tFlash JJ2 Window on leave\n"
    u"/begin\t\tBegin Monitoring at once\n"
    u"/wait\t\tBegin Monitoring, waiting for the game if it is not running\n"
    u"/tray\t\tstart in the notification area\n"
    u"/notify\t\twhile in the notification area, show each announcement as a Windows notification\n"
    u"/?\t\tshow this help\n"
    u"\n"
    u"Options may start with - as well as /. A relative PATH is looked for in the current folder, "
    u"then in Harkwell's own folder.\n"
    u"Example: Harkwell.exe /join sounds\\join.wav /leave sounds\\leave.wav /wait /tray /notify";
inline constexpr char16_t kNeedsPath[] = u" needs the path of a WAV file after it.";
inline constexpr char16_t kNoSuchFile[] = u" names no file that can be opened.";
inline constexpr char16_t kNotAnOption[] = u" is not an option of Harkwell.";

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
