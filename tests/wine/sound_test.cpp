// The sound chooser and the sound alerts, with a wave device whose output
// lands in files: a test sees which sounds played, in full and in order.
#include <windows.h>

#include <gtest/gtest.h>
#include <mmsystem.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "tests/expected.h"
#include "tests/rig/beside_game.h"

namespace harkwell::rig {
namespace {

constexpr TestSound kDing{0x1111, 250};
constexpr TestSound kDong{0x2222, 250};

class Sounds : public HarkwellBesideGame {
 protected:
  static void SetUpTestSuite() {
    folder_ = TempFolder(L"harkwell-sounds");
    WriteFile(folder_ + L"ding.wav", WaveFile(kDing));
    WriteFile(folder_ + L"dong.wav", WaveFile(kDong));
  }
  void SetUp() override {
    ASSERT_GT(waveOutGetNumDevs(), 0u) << "these tests need the file-backed wave device (HOME/.asoundrc)";
    HarkwellBesideGame::SetUp();
  }

  static std::wstring folder_;
};
std::wstring Sounds::folder_;

TEST_F(Sounds, BeginNamesTheFirstPlayBoxWithoutASoundCancelEmptiesOnlyItsOwnAndBeginReadsTheBoxes) {
  app.SetChecked(ui::kChkPlayJoin, true);
  app.SetChecked(ui::kChkPlayLeave, true);
  EXPECT_EQ(app.ClickBegin(), expected::kNoJoinSound);
  app.ChooseSound(ui::kCmdSoundJoin, folder_ + L"ding.wav");
  EXPECT_EQ(app.ClickBegin(), expected::kNoLeaveSound);
  app.ChooseSound(ui::kCmdSoundLeave, folder_ + L"dong.wav");
  app.ChooseSound(ui::kCmdSoundJoin, L"");  // cancel: no join sound any more
  EXPECT_EQ(app.ClickBegin(), expected::kNoJoinSound);

  // Play for leaves only, with the leave sound kept and no join sound: Begin succeeds.
  app.SetChecked(ui::kChkPlayJoin, false);
  ExpectBegin("", expected::kStopCaption);

  // A Play box ticked while monitoring waits for the next Begin: Spaz's join
  // plays nothing, then his leave its sound (so that a join sound before it
  // would show), and after Begin Lori's join plays.
  app.ChooseSound(ui::kCmdSoundJoin, folder_ + L"ding.wav");
  ASSERT_TRUE(game.WaitTicks(1));
  app.SetChecked(ui::kChkPlayJoin, true);
  Announced("join 5 Spaz", "Spaz has joined");
  Announced("leave 5", "Spaz has left");
  EXPECT_TRUE(PlayedExactly({kDong})) << Describe(PlayedSounds());
  ASSERT_EQ(app.ClickBegin(), "");  // Stop
  ASSERT_EQ(app.ClickBegin(), "");  // Begin takes the ticked box
  Announced("join 6 Lori", "Lori has joined");
  EXPECT_TRUE(PlayedExactly({kDong, kDing})) << Describe(PlayedSounds());
}

TEST_F(Sounds, APathThatFillsTheDialogsBufferPlays) {
  // 259 characters and the terminating NUL fill the dialog's 260.
  const std::wstring file = L"\\full.wav";
  const std::wstring path = folder_ + std::wstring(259 - folder_.size() - file.size(), L'd') + file;
  ASSERT_EQ(path.size(), 259u);
  CreateDirectoryW(path.substr(0, path.size() - file.size()).c_str(), nullptr);
  WriteFile(path, WaveFile(kDong));
  ASSERT_EQ(app.ChooseSound(ui::kCmdSoundJoin, path), "");
  app.SetChecked(ui::kChkPlayJoin, true);
  Begin();
  Announced("join 1 Jazz", "Jazz has joined");
  EXPECT_TRUE(PlayedExactly({kDong})) << Describe(PlayedSounds());
}

// Files that are not what they seem, under a name winmm opens itself and under
// one it cannot, which is played from a checked copy. Each is the join sound
// in turn; the leave sound that follows it shows what the join played.
class SoundFiles : public Sounds, public testing::WithParamInterface<const wchar_t*> {};

std::string ClaimingSixtyFourMebibytes(std::string wave) {
  const std::uint32_t claim = 64u << 20;
  std::memcpy(wave.data() + 4, &claim, 4);   // RIFF
  std::memcpy(wave.data() + 40, &claim, 4);  // data
  return wave;
}

TEST_P(SoundFiles, EachPlaysOnlyTheSamplesItHoldsAndHarkwellGoesOn) {
  constexpr TestSound kGood{0x3333, 250}, kClaiming{0x4444, 250}, kLeave{0x7777, 250};
  std::string noBlockSize = WaveFile(kGood);
  noBlockSize[32] = noBlockSize[33] = 0;  // winmm divides by it
  const struct {
    const wchar_t* name;
    std::string bytes;
    std::optional<TestSound> plays;
  } files[] = {
      {L"good.wav", WaveFile(kGood), kGood},
      {L"claims 64 MiB.wav", ClaimingSixtyFourMebibytes(WaveFile(kClaiming)), kClaiming},
      {L"cut in fmt.wav", WaveFile(kGood).substr(0, 30), std::nullopt},
      {L"empty.wav", "", std::nullopt},
      {L"text.wav", "This is a text file with a .wav name.\n", std::nullopt},
      {L"no block size.wav", noBlockSize, std::nullopt},
      {L"gone.wav", WaveFile(kGood), std::nullopt},
      {L"", "", std::nullopt},  // none: the choice is cancelled
  };
  const std::wstring prefix = folder_ + GetParam();
  WriteFile(prefix + L"leave.wav", WaveFile(kLeave));
  app.ChooseSound(ui::kCmdSoundLeave, prefix + L"leave.wav");
  app.SetChecked(ui::kChkPlayJoin, true);
  app.SetChecked(ui::kChkPlayLeave, true);
  app.ChooseSound(ui::kCmdSoundJoin, prefix + L"leave.wav");  // Begin needs a join sound
  Begin();

  std::vector<TestSound> expected;
  int player = 0;
  for (const auto& file : files) {
    SCOPED_TRACE(Utf8(file.name));
    const std::wstring path = prefix + file.name;
    if (*file.name) WriteFile(path, file.bytes);
    ASSERT_EQ(app.ChooseSound(ui::kCmdSoundJoin, *file.name ? path : L"").find('<'), std::string::npos);
    if (std::wstring(file.name) == L"gone.wav") {
      ASSERT_TRUE(DeleteFileW(path.c_str()));
    }

    const std::string name = "P" + std::to_string(++player);
    Announced("join 1 " + name, name + " has joined");
    if (file.plays) {
      expected.push_back(*file.plays);
      ASSERT_TRUE(PlayedExactly(expected)) << Describe(PlayedSounds());
    }
    Announced("leave 1", name + " has left");
    expected.push_back(kLeave);
    ASSERT_TRUE(PlayedExactly(expected)) << Describe(PlayedSounds());
    ASSERT_TRUE(Answers(app.Form1()));
  }
}

INSTANTIATE_TEST_SUITE_P(Names, SoundFiles,
                         testing::Values(L"Caf\x00E9 se\x00F1or \x00A7 ",
                                         L"\x0437\x0432\x0443\x043A \x30B5\x30A6\x30F3\x30C9 "));

}  // namespace
}  // namespace harkwell::rig
