// Harkwell only looks: a monitored game's memory holds exactly what the game
// itself wrote, and a whole session leaves no file behind.
#include <windows.h>

#include <gtest/gtest.h>
#include <mmsystem.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "monitor/game_facts.h"
#include "tests/rig/rig.h"
#include "ui/control_ids.h"

namespace harkwell::rig {
namespace {

// Changes the game makes itself, each with the announcement a monitor makes of
// it (none for a rename, but for the name of a slot taken a moment before);
// together they touch names, occupancy bytes and both kinds of event.
const std::vector<std::pair<std::string, std::string>> kGameCommands{
    {"join 1 Jazz", "Jazz has joined"},  {"join 4 Sp|az", "Spaz has joined"},
    {"join 32 Lori", "Lori has joined"}, {"rename 4 Spaz", ""},
    {"leave 1", "Jazz has left"},        {"occupancy 12 3", ""},
    {"rename 12 Eve", "Eve has joined"}, {"leave 32", "Lori has left"},
};

std::string ReadGameMemory(DWORD processId, std::uint32_t address, std::size_t size) {
  std::string bytes(size, '\0');
  const OwnedHandle process(OpenProcess(PROCESS_VM_READ, FALSE, processId));
  SIZE_T read = 0;
  const bool ok =
      process && ReadProcessMemory(process.get(), reinterpret_cast<const void*>(std::uintptr_t{address}),
                                   bytes.data(), size, &read);
  return ok && read == size ? bytes : std::string();
}

// The build marker's page and every record of both layouts.
std::string GameMemory(const Game& game) {
  const std::uint32_t first = NameAddress(0, 1), last = OccupancyAddress(1, kSlotCount);
  return ReadGameMemory(game.ProcessId(), 0x400000, 0x1000) +
         ReadGameMemory(game.ProcessId(), first, last - first + 1);
}

// Runs the commands; with a monitor watching, each waits for its announcement.
void RunCommands(const Game& game, bool watched) {
  for (const auto& [command, announcement] : kGameCommands) {
    ASSERT_TRUE(game.Command(command)) << command;
    if (watched && !announcement.empty()) {
      ASSERT_TRUE(game.WaitForTitle(announcement)) << command;
    }
  }
}

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

std::string Folder(const std::string& path) { return path.back() == '\\' ? path : path + "\\"; }

FileList EveryFile() {
  char temp[MAX_PATH] = {}, current[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  GetCurrentDirectoryA(MAX_PATH, current);
  FileList files;
  for (const std::string& root : {std::string("C:\\"), Folder(temp), Folder(current),
                                  Folder(FromUnixPath(std::getenv("HARKWELL_HOME")))}) {
    ListFiles(root, files);
  }
  return files;
}

// Files the session may leave that are not Harkwell's: what the test's own
// sound device recorded.
bool NotHarkwells(const std::string& path) { return path.find("played.raw") != std::string::npos; }

// Joins, leaves and a rename, each announced, with a leave sound and the join
// flash on; then the game's memory is compared with a game's that ran the same
// commands unwatched, and every file with the list taken before.
TEST(ReadOnly, AMonitoredGameHoldsExactlyWhatItsOwnCommandsWroteAndTheSessionWritesNoFile) {
  ASSERT_GT(waveOutGetNumDevs(), 0u) << "this test needs the file-backed wave device (HOME/.asoundrc)";
  const std::wstring folder = TempFolder(L"harkwell-quiet");
  WriteFile(folder + L"ding.wav", WaveFile({0x5555, 250}));
  ForgetPlayedSounds();
  Game game;
  ASSERT_TRUE(game.Start("--marker 0xE8"));
  const FileList before = EveryFile();
  {
    Harkwell app;
    ASSERT_TRUE(app.Start());
    app.ChooseSound(ui::kCmdSoundLeave, folder + L"ding.wav");
    app.SetChecked(ui::kChkPlayLeave, true);
    app.SetChecked(ui::kChkFlashJoin, true);
    ASSERT_EQ(app.ClickBegin(), "");
    RunCommands(game, true);
    // Two leaves, two ticks apart or more: each sound plays in full.
    ASSERT_TRUE(PlayedExactly({{0x5555, 250}, {0x5555, 250}})) << Describe(PlayedSounds());
    ASSERT_TRUE(game.WaitForTitle(kGameTitle));  // the last announcement ran out
    ASSERT_EQ(app.ClickBegin(), "");             // Stop
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

  const std::string monitored = GameMemory(game);
  Game reference;  // the same commands, nobody watching
  ASSERT_TRUE(reference.Start("--marker 0xE8"));
  RunCommands(reference, false);
  const std::string expected = GameMemory(reference);
  ASSERT_EQ(monitored.size(), expected.size());
  ASSERT_FALSE(expected.empty());
  const auto difference = std::mismatch(monitored.begin(), monitored.end(), expected.begin());
  EXPECT_TRUE(difference.first == monitored.end())
      << "first difference at byte " << (difference.first - monitored.begin()) << " of the snapshot";
}

}  // namespace
}  // namespace harkwell::rig
