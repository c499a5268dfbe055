// The two Sound... buttons: one open-file dialog, cdlgMain, shared by both, whose
// file name is kept between showings as the preset for either button.
#include <windows.h>

#include <commdlg.h>

#include <cstring>
#include <string>

#include "notify/alerts.h"
#include "ui/form1.h"
#include "ui/texts.h"

namespace harkwell::ui::form1 {
namespace {

constexpr DWORD kFileNameCapacity = 260;  // characters, the terminating NUL included
// No read-only box, only a file that exists, long names.
constexpr DWORD kDialogFlags = OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_LONGNAMES;

// The dialog's settings; only the file name changes from one showing to the next.
struct CommonDialog {
  const wchar_t* title = kSoundDialogTitle;
  const wchar_t* filter = kSoundDialogFilter;
  const wchar_t* defaultExtension = L"wav";  // "ding" finds ding.wav
  wchar_t fileName[kFileNameCapacity] = {};
};
CommonDialog cdlgMain;

// Shows the dialog and sets `path` from its outcome: the chosen file, empty on
// cancel, unchanged on a failure. The wide API lets any file name through,
// and the path is kept as the dialog gives it.
void ChooseSound(std::u16string& path) {
  wchar_t before[kFileNameCapacity];
  std::memcpy(before, cdlgMain.fileName, sizeof(before));

  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = Window();
  dialog.lpstrFilter = cdlgMain.filter;
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = cdlgMain.fileName;
  dialog.nMaxFile = kFileNameCapacity;
  dialog.lpstrTitle = cdlgMain.title;
  dialog.lpstrDefExt = cdlgMain.defaultExtension;
  dialog.Flags = kDialogFlags;
  if (GetOpenFileNameW(&dialog)) {
    path = reinterpret_cast<const char16_t*>(cdlgMain.fileName);
    return;
  }

  // A failed dialog may have written into the buffer (a path too long for it
  // leaves the needed length in its first characters), so the file name goes
  // back to what it was, keeping the preset usable. Only a cancel empties the
  // button's path; any other failure leaves it as it was, and never takes the
  // other button's file from the shared buffer.
  const DWORD error = CommDlgExtendedError();
  std::memcpy(cdlgMain.fileName, before, sizeof(before));
  if (error == 0) path.clear();
}

}  // namespace

void cmdSoundJoin_Click() { ChooseSound(alertSettings.joinSoundPath); }

void cmdSoundLeave_Click() { ChooseSound(alertSettings.leaveSoundPath); }

}  // namespace harkwell::ui::form1
