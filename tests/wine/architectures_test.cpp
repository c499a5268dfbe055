// Harkwell built for 32-bit and for 64-bit Windows, each beside the simulated
// game built both ways: the 64-bit Harkwell beside a 32-bit game is how most
// players run it. Each starts from a folder that also holds DLLs named as
// system DLLs which Windows looks for beside a program first: the environment
// names them (HARKWELL_PLANTED_DLLS) and has Wine prefer such a copy to its
// own, as Windows does (WINEDLLOVERRIDES). Each copy leaves a marker when it
// loads: none may. This program runs through tools/wine32.sh when a 32-bit
// build is given, so that it can start 32-bit programs (rig.h's BuiltFile and
// HarkwellExe say which); without one only the 64-bit pairing runs.
#include <windows.h>

#include <gtest/gtest.h>
#include <winternl.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "monitor/game_facts.h"
#include "tests/expected.h"
#include "tests/rig/rig.h"
#include "ui/control_ids.h"

namespace harkwell::rig {
namespace {

constexpr TestSound kJoinSound{0x1234, 250};

struct Combination {
  bool harkwell32;
  bool game32;
};

// The rights each handle of Harkwell's to the game grants, read from a copy
// in this process of every handle value Harkwell may hold.
std::vector<ACCESS_MASK> AccessToGame(DWORD harkwell, DWORD game) {
  std::vector<ACCESS_MASK> granted;
  const OwnedHandle process(OpenProcess(PROCESS_DUP_HANDLE, FALSE, harkwell));
  for (ULONG_PTR value = 4; process && value < 0x10000; value += 4) {
    HANDLE copy = nullptr;
    if (!DuplicateHandle(process.get(), reinterpret_cast<HANDLE>(value), GetCurrentProcess(), &copy, 0, FALSE,
                         DUPLICATE_SAME_ACCESS))
      continue;
    const OwnedHandle owned(copy);
    PUBLIC_OBJECT_BASIC_INFORMATION basic{};
    if (GetProcessId(copy) == game &&
        NtQueryObject(copy, ObjectBasicInformation, &basic, sizeof basic, nullptr) == 0)
      granted.push_back(basic.GrantedAccess);
  }
  return granted;
}

class Architectures : public testing::TestWithParam<Combination> {
 protected:
  // A folder of its own for each Harkwell: a copy of it, the planted DLLs, and a sound.
  void SetUp() override {
    const bool x86 = GetParam().harkwell32;
    const char* i686 = std::getenv("HARKWELL_I686_BIN");
    if ((x86 || GetParam().game32) && (i686 == nullptr || *i686 == '\0')) {
      GTEST_SKIP() << "no 32-bit build given";
    }
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
  }
  void TearDown() override {
    app.OwnProcess().Kill();
    if (!folder.empty()) {
      EXPECT_EQ(Files(L"*.loaded"), "") << "planted DLLs ran inside Harkwell";
    }
  }
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

  bool StartGame(const char* marker) {
    game.Stop();
    return game.Start("--marker " + std::string(marker), BuiltFile(GetParam().game32, "simgame.exe"));
  }

  // Lets a player join and leave: both announced, the join with its sound
  // and until the game's own title comes back.
  void JoinAndLeave(const std::string& name) {
    ForgetPlayedSounds();
    ASSERT_TRUE(game.Command("join 3 " + name));
    ASSERT_TRUE(game.WaitForTitle(name + " has joined"));
    EXPECT_TRUE(PlayedExactly({kJoinSound})) << Describe(PlayedSounds());
    ASSERT_TRUE(game.WaitForTitle(kGameTitle));
    ASSERT_TRUE(game.Command("leave 3"));
    ASSERT_TRUE(game.WaitForTitle(name + " has left"));
  }

  std::wstring folder;
  Harkwell app;
  Game game;
};

TEST_P(Architectures, NoPlantedDllLoadsAsHarkwellMonitorsBothLayoutsPlaysAndOpensTheChooserTrayAndAbout) {
  ASSERT_TRUE(StartGame("0xC0"));
  ASSERT_TRUE(app.Launch(L"/join join.wav /begin", folder, Utf8(folder) + "Harkwell.exe"));
  ASSERT_TRUE(app.WaitForMain());
  ASSERT_TRUE(WaitFor([&] { return app.Caption(ui::kCmdBegin) == expected::kStopCaption; }));
  // Read, query and wait: no right that could change or end the game.
  const std::vector<ACCESS_MASK> granted = AccessToGame(app.ProcessId(), game.ProcessId());
  EXPECT_FALSE(granted.empty());
  for (const ACCESS_MASK access : granted)
    EXPECT_EQ(access & ~(PROCESS_VM_READ | PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE), 0u)
        << std::hex << access;
  JoinAndLeave("Spaz");

  // The game closed and started again as the other build: the ticks notice
  // the end, wait, and attach to the new game by themselves; meanwhile the
  // sound is chosen again in the chooser.
  ASSERT_TRUE(StartGame("0xE8"));
  ASSERT_EQ(app.ChooseSound(ui::kCmdSoundJoin, folder + L"join.wav").find('<'), std::string::npos);
  JoinAndLeave("Lori");
  EXPECT_EQ(app.Caption(ui::kCmdBegin), expected::kStopCaption);

  ASSERT_TRUE(app.ToTray());
  ASSERT_TRUE(app.FromTray());

  app.Click(ui::kCmdAbout);
  HWND about = app.WaitForWindow(ui::kForm2Class);
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(WindowText(about), expected::kAboutTitle);

  HWND form1 = app.Form1();
  EXPECT_TRUE(app.Exit());
  EXPECT_FALSE(IsWindow(about));
  EXPECT_FALSE(TrayIconExists(form1));
}

INSTANTIATE_TEST_SUITE_P(Builds, Architectures,
                         testing::Values(Combination{true, true}, Combination{true, false},
                                         Combination{false, true}, Combination{false, false}),
                         [](const testing::TestParamInfo<Combination>& info) {
                           return std::string(info.param.harkwell32 ? "Harkwell32" : "Harkwell64") +
                                  (info.param.game32 ? "Beside32BitGame" : "Beside64BitGame");
                         });

}  // namespace
}  // namespace harkwell::rig
