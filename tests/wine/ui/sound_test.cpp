// The sound chooser and the sound alerts, with a wave device whose output
// lands in a file so a test can see that a sound was really played.
#include <windows.h>

#include <gtest/gtest.h>
#include <mmsystem.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "tests/wine/ui/harkwell_driver.h"

namespace harkwell::uitest {
namespace {

constexpr char kNoJoinSound[] =
    "You have chosen to play a sound when someone joins, but you have not selected a sound to play.";
constexpr char kNoLeaveSound[] =
    "You have chosen to play a sound when someone leaves, but you have not selected a sound to play.";
constexpr char kStop[] = "&Stop Monitoring";

// Where the device configured for these tests writes what it plays (a Unix path).
std::string PlayedFile() { return std::string("Z:") + HARKWELL_PLAYED_RAW; }

// The device starts the file afresh for each program that opens it, so a new
// sound shows as a new write time rather than always as a longer file.
std::uint64_t PlayedStamp() {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExA(PlayedFile().c_str(), GetFileExInfoStandard, &data)) return 0;
  const std::uint64_t written =
      (std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime;
  const std::uint64_t size = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
  return size == 0 ? 0 : written;
}

// A quarter second of a 16-bit mono tone at 22.05 kHz.
void WriteWav(const std::string& path) {
  const std::uint32_t rate = 22050, samples = rate / 4, dataBytes = samples * 2;
  std::vector<char> wav;
  auto put = [&](const void* bytes, std::size_t size) {
    wav.insert(wav.end(), static_cast<const char*>(bytes), static_cast<const char*>(bytes) + size);
  };
  auto u32 = [&](std::uint32_t v) { put(&v, 4); };
  auto u16 = [&](std::uint16_t v) { put(&v, 2); };
  put("RIFF", 4), u32(36 + dataBytes), put("WAVEfmt ", 8), u32(16), u16(1), u16(1), u32(rate), u32(rate * 2),
      u16(2), u16(16), put("data", 4), u32(dataBytes);
  for (std::uint32_t i = 0; i < samples; ++i) u16(static_cast<std::uint16_t>((i / 25) % 2 ? 8000 : -8000));
  std::ofstream(path, std::ios::binary).write(wav.data(), static_cast<std::streamsize>(wav.size()));
}

class Sound : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    folder_ = std::string(folder) + "harkwell-sounds\\";
    CreateDirectoryA(folder_.c_str(), nullptr);
    WriteWav(folder_ + "ding.wav");
    WriteWav(folder_ + "dong.wav");
  }
  void SetUp() override {
    ASSERT_GT(waveOutGetNumDevs(), 0u) << "these tests need the file-backed wave device (HOME/.asoundrc)";
    ASSERT_TRUE(app.Start());
  }
  void TearDown() override {
    if (app.process.Running()) {
      EXPECT_TRUE(app.Exit());
    }
  }

  // Waits until something is played, or reports that nothing was within `time`.
  static bool SomethingPlayed(std::uint64_t before, std::chrono::milliseconds time = 10s) {
    return WaitFor([&] { return PlayedStamp() != before && PlayedStamp() != 0; }, time);
  }

  static std::string folder_;
  Harkwell app;
  Game game;
};
std::string Sound::folder_;

TEST_F(Sound, BeginNamesTheFirstPlayBoxWhoseSoundIsMissing) {
  ASSERT_TRUE(game.Start());
  app.Tick(ui::kChkPlayJoin, true);
  app.Tick(ui::kChkPlayLeave, true);
  EXPECT_EQ(app.ClickBegin(), kNoJoinSound);
  app.ChooseSound(ui::kCmdSoundJoin, folder_ + "ding.wav");
  EXPECT_EQ(app.ClickBegin(), kNoLeaveSound);

  // Play for leaves only, with a leave sound and no join sound: Begin succeeds.
  app.Tick(ui::kChkPlayJoin, false);
  app.ChooseSound(ui::kCmdSoundJoin, "");  // cancel: no join sound any more
  app.ChooseSound(ui::kCmdSoundLeave, folder_ + "dong.wav");
  EXPECT_EQ(app.ClickBegin(), "");
  EXPECT_EQ(app.Caption(ui::kCmdBegin), kStop);
}

TEST_F(Sound, AJoinPlaysTheChosenFile) {
  ASSERT_TRUE(game.Start());
  app.ChooseSound(ui::kCmdSoundJoin, folder_ + "ding.wav");
  app.Tick(ui::kChkPlayJoin, true);
  ASSERT_EQ(app.ClickBegin(), "");
  const std::uint64_t before = PlayedStamp();
  ASSERT_TRUE(game.Command("join 4 Spaz"));
  ASSERT_TRUE(WaitFor([&] { return game.Title() == "Spaz has joined"; }));
  EXPECT_TRUE(SomethingPlayed(before));
}

TEST_F(Sound, CancelEmptiesThePathOfItsButtonOnly) {
  app.ChooseSound(ui::kCmdSoundJoin, folder_ + "ding.wav");
  app.ChooseSound(ui::kCmdSoundLeave, folder_ + "dong.wav");
  app.ChooseSound(ui::kCmdSoundJoin, "");
  app.Tick(ui::kChkPlayJoin, true);
  EXPECT_EQ(app.ClickBegin(), kNoJoinSound);
  // The leave sound is still there: without a game the check passes on to attaching.
  app.Tick(ui::kChkPlayJoin, false);
  app.Tick(ui::kChkPlayLeave, true);
  EXPECT_EQ(app.ClickBegin(), "This program requires JJ2 to be running.");
}

TEST_F(Sound, TheLastChoiceIsThePresetForBothButtons) {
  EXPECT_EQ(app.ChooseSound(ui::kCmdSoundJoin, folder_ + "ding.wav"), "");
  // Confirming the preset in the leave chooser gives leaves the same file.
  const std::string preset = app.ChooseSound(ui::kCmdSoundLeave, "ding.wav");
  EXPECT_NE(preset.find("ding.wav"), std::string::npos) << preset;
  app.Tick(ui::kChkPlayLeave, true);
  ASSERT_TRUE(game.Start());
  ASSERT_EQ(app.ClickBegin(), "");
  ASSERT_TRUE(game.Command("join 1 Jazz"));
  ASSERT_TRUE(WaitFor([&] { return game.Title() == "Jazz has joined"; }));
  const std::uint64_t before = PlayedStamp();
  ASSERT_TRUE(game.Command("leave 1"));
  ASSERT_TRUE(WaitFor([&] { return game.Title() == "Jazz has left"; }));
  EXPECT_TRUE(SomethingPlayed(before));
}

TEST_F(Sound, APlayBoxTickedWhileMonitoringWaitsForTheNextBegin) {
  ASSERT_TRUE(game.Start());
  app.ChooseSound(ui::kCmdSoundJoin, folder_ + "ding.wav");
  ASSERT_EQ(app.ClickBegin(), "");
  app.Tick(ui::kChkPlayJoin, true);
  std::uint64_t before = PlayedStamp();
  ASSERT_TRUE(game.Command("join 5 Spaz"));
  ASSERT_TRUE(WaitFor([&] { return game.Title() == "Spaz has joined"; }));
  EXPECT_FALSE(SomethingPlayed(before, 2s));

  ASSERT_EQ(app.ClickBegin(), "");  // Stop
  ASSERT_EQ(app.ClickBegin(), "");  // Begin takes the ticked box
  before = PlayedStamp();
  ASSERT_TRUE(game.Command("join 6 Lori"));
  ASSERT_TRUE(WaitFor([&] { return game.Title() == "Lori has joined"; }));
  EXPECT_TRUE(SomethingPlayed(before));
}

}  // namespace
}  // namespace harkwell::uitest
