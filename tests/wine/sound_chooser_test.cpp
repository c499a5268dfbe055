// The sound chooser's handling of each outcome of the open-file dialog, with
// the dialog replaced at link time: under Wine the real one cannot be made to
// fail other than by a cancel without crashing inside its own code.
#include <windows.h>

#include <commdlg.h>
#include <gtest/gtest.h>

#include <string>

#include "notify/alerts.h"
#include "tests/rig/stand_in.h"
#include "ui/form1.h"

namespace {

// What the stand-in dialog does when it is shown next.
struct Outcome {
  BOOL result;
  DWORD error;
  const wchar_t* fileName;  // written into the dialog's buffer, if any
};
Outcome next{};
std::wstring preset;  // the file name the dialog opened with

BOOL WINAPI StandInGetOpenFileNameW(OPENFILENAMEW* dialog) {
  preset = dialog->lpstrFile;
  if (next.fileName != nullptr)
    lstrcpynW(dialog->lpstrFile, next.fileName, static_cast<int>(dialog->nMaxFile));
  return next.result;
}
DWORD WINAPI StandInCommDlgExtendedError() { return next.error; }

}  // namespace

HARKWELL_STAND_IN(GetOpenFileNameW, 4, StandInGetOpenFileNameW)
HARKWELL_STAND_IN(CommDlgExtendedError, 0, StandInCommDlgExtendedError)

namespace harkwell::ui::form1 {
HWND Window() { return nullptr; }  // the dialog's owner
namespace {

TEST(SoundChooser, EachButtonKeepsItsOwnPathWhateverTheDialogDoes) {
  next = {TRUE, 0, L"C:\\sounds\\join.wav"};
  cmdSoundJoin_Click();
  EXPECT_EQ(alertSettings.joinSoundPath, u"C:\\sounds\\join.wav");

  // The dialog opens with the last file chosen through either button.
  next = {TRUE, 0, L"C:\\sounds\\\x0437\x0432\x0443\x043A.wav"};
  cmdSoundLeave_Click();
  EXPECT_EQ(preset, L"C:\\sounds\\join.wav");
  EXPECT_EQ(alertSettings.leaveSoundPath, u"C:\\sounds\\\x0437\x0432\x0443\x043A.wav");

  // A failure other than cancel, after writing into the buffer: the button's
  // own path stays, and the preset is not spoilt.
  next = {FALSE, FNERR_BUFFERTOOSMALL, L"\x0104"};
  cmdSoundJoin_Click();
  EXPECT_EQ(alertSettings.joinSoundPath, u"C:\\sounds\\join.wav");
  next = {FALSE, CDERR_DIALOGFAILURE, nullptr};
  cmdSoundLeave_Click();
  EXPECT_EQ(alertSettings.leaveSoundPath, u"C:\\sounds\\\x0437\x0432\x0443\x043A.wav");
  EXPECT_EQ(preset, L"C:\\sounds\\\x0437\x0432\x0443\x043A.wav");

  // A name with a lone surrogate, which Windows allows, is kept as it is.
  next = {TRUE, 0, L"C:\\sounds\\a\xD800.wav"};
  cmdSoundJoin_Click();
  EXPECT_EQ(alertSettings.joinSoundPath, u"C:\\sounds\\a\xD800.wav");

  // A cancel empties the path of its own button only.
  next = {FALSE, 0, nullptr};
  cmdSoundJoin_Click();
  EXPECT_EQ(alertSettings.joinSoundPath, u"");
  EXPECT_EQ(alertSettings.leaveSoundPath, u"C:\\sounds\\\x0437\x0432\x0443\x043A.wav");
}

}  // namespace
}  // namespace harkwell::ui::form1
