// Window classes and control ids of Harkwell's windows. Tests that drive the
// program from outside find its windows and controls by these.
#pragma once

namespace harkwell::ui {

inline constexpr char kForm1Class[] = "HarkwellForm1";
inline constexpr char kForm2Class[] = "HarkwellForm2";

// Held by the running Harkwell for its whole run, so that one runs per
// Windows session: a second start finds it and shows the first instead.
inline constexpr wchar_t kInstanceMutex[] = L"Local\\Harkwell";
// Posted by a second start to the running Harkwell's main window: come out
// of the tray and to the front. WM_APP + 1, private to our window class.
inline constexpr unsigned kShowYourselfMessage = 0x8001;

// Ids stay clear of IDOK (1) and IDCANCEL (2), which the dialog manager sends
// for Enter and Escape: no button of ours is the default or the cancel button.
enum Form1Control : int {
  kFrameSettings = 100,
  kLabel1 = 101,
  kChkPlayJoin = 102,
  kCmdSoundJoin = 103,
  kChkFlashJoin = 104,
  kLabel2 = 105,
  kChkPlayLeave = 106,
  kCmdSoundLeave = 107,
  kChkFlashLeave = 108,
  kCmdExit = 109,
  kCmdAbout = 110,
  kCmdBegin = 111,
};

// The About window's controls keep their designer's plain names.
enum Form2Control : int {
  kImage1 = 200,       // the program icon
  kForm2Label1 = 201,  // the program's name
  kForm2Label2 = 202,  // its version
  kForm2Label3 = 203,  // the credit line
  kForm2Label4 = 204,  // the web site link
  kForm2Label5 = 205,  // the e-mail link
  kForm2Label6 = 206,  // the line of thanks
  kCommand1 = 207,     // Close
};

// Resource id of the program icon.
inline constexpr int kProgramIconId = 1;

}  // namespace harkwell::ui
