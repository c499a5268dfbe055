// Sound files the user may choose that are not what they seem, chosen through
// the real Select Sound dialog: nothing may crash, nothing may play where
// nothing can, and the stored path must stay a path the user chose.
#include <windows.h>

#include <gtest/gtest.h>
#include <mmsystem.h>

#include <fstream>
#include <string>

#include "tests/wine/reliability/reliability_support.h"

namespace harkwell::reliability {
namespace {

constexpr TestSound kGoneSound{0x1111, 250};
constexpr TestSound kFullPathSound{0x3333, 250};
constexpr TestSound kForeignNameSound{0x4444, 250};

class BadSoundFiles : public HarkwellBesideGame {
 protected:
  static void SetUpTestSuite() { folder_ = TempFolder(L"harkwell-bad-sounds"); }

  // Picks `path` in the chooser of button `id`, typed with the wide API so
  // that any name gets through. Returns whether the dialog took it and closed.
  bool Choose(int id, const std::wstring& path) {
    app.Click(id);
    HWND dialog = app.WaitForDialog("Select Sound");
    HWND fileName = nullptr;
    if (!WaitFor([&] { return dialog != nullptr && (fileName = GetDlgItem(dialog, 0x47C)) != nullptr; })) {
      return false;
    }
    SendMessageW(fileName, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    return WaitFor([&] { return !IsWindow(dialog); });
  }

  // Writes `sound` at `path`, chooses it for joins, begins with Play ticked
  // and lets a player join: exactly that sound must arrive.
  void ExpectChosenFilePlays(const std::wstring& path, TestSound sound) {
    WriteWav(path, sound);
    ASSERT_TRUE(Choose(ui::kCmdSoundJoin, path));
    app.Tick(ui::kChkPlayJoin, true);
    ASSERT_EQ(app.ClickBegin(), "");
    ASSERT_TRUE(game.Command("join 1 Jazz"));
    EXPECT_TRUE(PlayedExactly({sound})) << Describe(PlayedSounds());
  }

  // Lets a player join and leave, each announced.
  void JoinAndLeave(const std::string& name) {
    ASSERT_TRUE(game.Command("join 1 " + name));
    ASSERT_TRUE(WaitFor([&] { return game.Title() == name + " has joined"; }));
    ASSERT_TRUE(game.Command("leave 1"));
    ASSERT_TRUE(WaitFor([&] { return game.Title() == name + " has left"; }));
  }

  static std::wstring folder_;
};
std::wstring BadSoundFiles::folder_;

TEST_F(BadSoundFiles, AFileThatIsNoWaveOrIsGoneBeforeItPlaysPlaysNothing) {
  std::ofstream((folder_ + L"not-a-sound.wav").c_str()) << "This is a text file with a .wav name.\n";
  WriteWav(folder_ + L"gone.wav", kGoneSound);
  ASSERT_TRUE(Choose(ui::kCmdSoundJoin, folder_ + L"not-a-sound.wav"));
  ASSERT_TRUE(Choose(ui::kCmdSoundLeave, folder_ + L"gone.wav"));
  ASSERT_TRUE(DeleteFileW((folder_ + L"gone.wav").c_str()));
  app.Tick(ui::kChkPlayJoin, true);
  app.Tick(ui::kChkPlayLeave, true);
  ASSERT_EQ(app.ClickBegin(), "");  // only emptiness is checked at Begin
  JoinAndLeave("Jazz");
  JoinAndLeave("Spaz");
  EXPECT_FALSE(WaitFor([] { return !PlayedSounds().empty(); }, 2s));
  EXPECT_TRUE(Answers(app.form1));
}

TEST_F(BadSoundFiles, APathThatFillsTheBufferPlays) {
  // 259 characters and the terminating NUL fill the dialog's 260.
  const std::wstring file = L"\\full.wav";
  const std::wstring path = folder_ + std::wstring(259 - folder_.size() - file.size(), L'd') + file;
  ASSERT_EQ(path.size(), 259u);
  CreateDirectoryW(path.substr(0, path.size() - file.size()).c_str(), nullptr);
  ExpectChosenFilePlays(path, kFullPathSound);
}

// The path is kept as UTF-8 and played through the wide API: a name beyond
// ASCII must reach the player intact.
TEST_F(BadSoundFiles, ANonAsciiNamePlays) {
  ExpectChosenFilePlays(folder_ + L"Caf\x00E9 se\x00F1or \x00A7.wav", kForeignNameSound);
}

// winmm's own file opening goes through the ANSI code page under Wine 8, so
// this name plays only because the sound is handed over from memory.
TEST_F(BadSoundFiles, ANameOutsideTheAnsiCodePagePlays) {
  ExpectChosenFilePlays(folder_ + L"\x0437\x0432\x0443\x043A \x30B5\x30A6\x30F3\x30C9.wav",
                        kForeignNameSound);
}

}  // namespace
}  // namespace harkwell::reliability
