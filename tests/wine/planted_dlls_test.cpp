// Harkwell started from a folder that also holds DLLs named as system DLLs
// which Windows looks for beside a program first. The environment names them
// (HARKWELL_PLANTED_DLLS) and has Wine prefer such a copy to its own, as
// Windows does (WINEDLLOVERRIDES). Each copy leaves a marker when it loads:
// none may. Runs through tools/wine32.sh, so that it can start the 32-bit
// Harkwell too.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>

#include "tests/rig/rig.h"
#include "ui/control_ids.h"

namespace harkwell::rig {
namespace {

constexpr TestSound kJoinSound{0x5151, 250};

class PlantedDlls : public testing::TestWithParam<bool> {  // the 32-bit Harkwell?
 protected:
  // The names of the files in the folder that match `pattern`, each followed by a space.
  std::string Files(const wchar_t* pattern) const {
    std::string names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + pattern).c_str(), &found);
    for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found))
      names += Utf8(found.cFileName) + " ";
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
    return names;
  }
  void TearDown() override {
    app.OwnProcess().Kill();
    EXPECT_EQ(Files(L"*.loaded"), "") << "planted DLLs ran inside Harkwell";
  }

  std::wstring folder;
  Game game;
  Harkwell app;
};

TEST_P(PlantedDlls, NoneLoadsAsHarkwellMonitorsPlaysOpensTheChooserAndAbout) {
  const bool x86 = GetParam();
  const char* i686 = std::getenv("HARKWELL_I686_BIN");
  if (x86 && (i686 == nullptr || *i686 == '\0')) GTEST_SKIP() << "no 32-bit build given";
  folder = TempFolder(x86 ? L"harkwell-planted-32" : L"harkwell-planted-64");
  std::istringstream earlier(Files(L"*.*"));
  for (std::string name; earlier >> name;) DeleteFileW((folder + Wide(name)).c_str());
  const char* planted = std::getenv("HARKWELL_PLANTED_DLLS");
  ASSERT_NE(planted, nullptr);
  std::istringstream names(planted);
  for (std::string name; std::getline(names, name, ',');) {
    const std::wstring dll = folder + Wide(name) + (name.find('.') == std::string::npos ? L".dll" : L"");
    ASSERT_TRUE(CopyFileW(Wide(BuiltFile(x86, "planted.dll")).c_str(), dll.c_str(), FALSE)) << name;
  }
  ASSERT_TRUE(CopyFileW(Wide(HarkwellExe(x86)).c_str(), (folder + L"Harkwell.exe").c_str(), FALSE));
  WriteFile(folder + L"join.wav", WaveFile(kJoinSound));
  ForgetPlayedSounds();

  ASSERT_TRUE(game.Start("--marker 0xC0", BuiltFile(x86, "simgame.exe")));
  ASSERT_TRUE(app.Launch(L"/join join.wav /begin", folder, Utf8(folder) + "Harkwell.exe"));
  ASSERT_TRUE(app.WaitForMain());
  ASSERT_TRUE(WaitFor([&] { return app.Caption(ui::kCmdBegin) == "&Stop Monitoring"; }));
  ASSERT_TRUE(game.Command("join 3 Jazz"));
  ASSERT_TRUE(game.WaitForTitle("Jazz has joined"));
  EXPECT_TRUE(PlayedExactly({kJoinSound})) << Describe(PlayedSounds());
  EXPECT_EQ(app.ChooseSound(ui::kCmdSoundJoin, L"").find('<'), std::string::npos);  // opened and cancelled
  app.Click(ui::kCmdAbout);
  EXPECT_NE(app.WaitForWindow(ui::kForm2Class), nullptr);
  EXPECT_TRUE(app.Exit());
}

INSTANTIATE_TEST_SUITE_P(Builds, PlantedDlls, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "Harkwell32" : "Harkwell64");
                         });

}  // namespace
}  // namespace harkwell::rig
