// Harkwell only looks: a monitored game's memory holds exactly what the game
// itself wrote, and a whole session leaves no file behind.
#include <windows.h>

#include <gtest/gtest.h>
#include <mmsystem.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "tests/wine/reliability/reliability_support.h"
#include "tools/simgame/simgame_protocol.h"

namespace harkwell::reliability {
namespace {

// Changes the game makes itself, each far enough from the next to be a tick
// of its own; together they touch names, occupancy bytes and both kinds of event.
const std::vector<std::string> kGameCommands{
    "join 1 Jazz", "join 4 Sp|az", "join 32 Lori", "rename 4 Spaz", "leave 1", "occupancy 12 3", "leave 32",
};

// The build marker's page and every record of both layouts.
std::string GameMemory(const Game& game) {
  const std::uint32_t first = simgame::NameAddress(0, 1), last = simgame::OccupancyAddress(1, 32);
  return ReadGameMemory(game.process.info.dwProcessId, 0x400000, 0x1000) +
         ReadGameMemory(game.process.info.dwProcessId, first, last - first + 1);
}

void RunCommands(Game& game) {
  for (const std::string& command : kGameCommands) {
    ASSERT_TRUE(game.Command(command)) << command;
    std::this_thread::sleep_for(600ms);
  }
}

TEST(ReadOnly, AMonitoredGameHoldsExactlyWhatItsOwnCommandsWrote) {
  std::string monitored;
  {
    Harkwell app;
    ASSERT_TRUE(app.Start());
    Game game;
    ASSERT_TRUE(game.Start("--marker 0xE8"));
    ASSERT_EQ(app.ClickBegin(), "");
    RunCommands(game);
    ASSERT_TRUE(WaitFor([&] { return game.Title() == kGameTitle; }));  // the last announcement ran out
    ASSERT_TRUE(app.Exit());
    monitored = GameMemory(game);
  }
  Game reference;  // the same commands, nobody watching
  ASSERT_TRUE(reference.Start("--marker 0xE8"));
  RunCommands(reference);
  const std::string expected = GameMemory(reference);

  ASSERT_EQ(monitored.size(), expected.size());
  ASSERT_FALSE(expected.empty());
  const auto difference = std::mismatch(monitored.begin(), monitored.end(), expected.begin());
  EXPECT_TRUE(difference.first == monitored.end())
      << "first difference at byte " << (difference.first - monitored.begin()) << " of the snapshot";
}

// ------------------------------------------------------------------ files

struct FileState {
  std::uint64_t size;
  std::uint64_t written;
  bool operator==(const FileState&) const = default;
};
using FileList = std::map<std::string, FileState>;

// Folders that are links (Wine links the profile's Desktop, Documents, ...
// to the Unix home) lead outside and are not followed.
void ListFiles(const std::string& folder, FileList& files) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      ListFiles(folder + name + "\\", files);
    } else {
      files[folder + name] = {
          (std::uint64_t{found.nFileSizeHigh} << 32) | found.nFileSizeLow,
          (std::uint64_t{found.ftLastWriteTime.dwHighDateTime} << 32) | found.ftLastWriteTime.dwLowDateTime};
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

std::string Folder(std::string path) {
  for (char& c : path) c = c == '/' ? '\\' : c;
  return path.back() == '\\' ? path : path + "\\";
}

FileList EveryFile() {
  char temp[MAX_PATH] = {}, current[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  GetCurrentDirectoryA(MAX_PATH, current);
  FileList files;
  for (const std::string& root :
       {std::string("C:\\"), Folder(temp), Folder(current), Folder(std::string("Z:") + HARKWELL_HOME)}) {
    ListFiles(root, files);
  }
  return files;
}

// Files the session may leave that are not Harkwell's: what the test's own
// sound device recorded.
bool NotHarkwells(const std::string& path) { return path.find("played.raw") != std::string::npos; }

TEST(Quiet, ASessionWritesNoFile) {
  ASSERT_GT(waveOutGetNumDevs(), 0u) << "this test needs the file-backed wave device (HOME/.asoundrc)";
  const std::wstring folder = TempFolder(L"harkwell-quiet");
  WriteWav(folder + L"ding.wav", {0x5555, 250});
  ForgetPlayedSounds();
  Game game;
  ASSERT_TRUE(game.Start());
  const FileList before = EveryFile();

  {
    Harkwell app;
    ASSERT_TRUE(app.Start());
    app.ChooseSound(ui::kCmdSoundJoin, Utf8(folder + L"ding.wav"));
    app.Tick(ui::kChkPlayJoin, true);
    app.Tick(ui::kChkFlashJoin, true);
    ASSERT_EQ(app.ClickBegin(), "");
    ASSERT_TRUE(game.Command("join 3 Jazz"));
    ASSERT_TRUE(WaitFor([&] { return game.Title() == "Jazz has joined"; }));
    ASSERT_TRUE(PlayedExactly({{0x5555, 250}})) << Describe(PlayedSounds());
    ASSERT_TRUE(game.Command("leave 3"));
    ASSERT_TRUE(WaitFor([&] { return game.Title() == "Jazz has left"; }));
    ASSERT_EQ(app.ClickBegin(), "");  // Stop
    ASSERT_TRUE(app.Exit());
  }

  const FileList after = EveryFile();
  std::printf("%zu files listed before the session, %zu after\n", before.size(), after.size());
  for (const auto& [path, state] : after) {
    const auto old = before.find(path);
    if (old != before.end() && old->second == state) continue;
    if (NotHarkwells(path)) continue;
    ADD_FAILURE() << (old == before.end() ? "new file: " : "changed file: ") << path;
  }
}

}  // namespace
}  // namespace harkwell::reliability
