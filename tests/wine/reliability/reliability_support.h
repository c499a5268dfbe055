// What the reliability tests share beyond the UI driver: sounds that can be
// told apart once played, a title recorder, the game's table written from
// outside, and a way to make several table changes land in one monitor tick.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>
#include <mmsystem.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "tests/wine/ui/harkwell_driver.h"

namespace harkwell::reliability {

using namespace uitest;  // Harkwell, Game, WaitFor, ...

inline constexpr char kGameTitle[] = "Jazz Jackrabbit 2";
inline constexpr char kNoGame[] = "This program requires JJ2 to be running.";

// ---------------------------------------------------------------- sounds

// A 16-bit mono WAV at 22.05 kHz whose every sample is `value`, so that the
// device's output tells which file was played and whether all of it arrived.
struct TestSound {
  std::uint16_t value;
  unsigned milliseconds;
  std::size_t Bytes() const { return 22050u * milliseconds / 1000u * 2u; }
};

inline void WriteWav(const std::wstring& path, TestSound sound) {
  const std::uint32_t rate = 22050, dataBytes = static_cast<std::uint32_t>(sound.Bytes());
  std::string wav;
  auto u32 = [&](std::uint32_t v) { wav.append(reinterpret_cast<const char*>(&v), 4); };
  auto u16 = [&](std::uint16_t v) { wav.append(reinterpret_cast<const char*>(&v), 2); };
  wav += "RIFF", u32(36 + dataBytes), wav += "WAVEfmt ", u32(16), u16(1), u16(1), u32(rate), u32(rate * 2),
      u16(2), u16(16), wav += "data", u32(dataBytes);
  for (std::uint32_t i = 0; i < dataBytes / 2; ++i) u16(sound.value);
  std::ofstream(path.c_str(), std::ios::binary).write(wav.data(), static_cast<std::streamsize>(wav.size()));
}

// The device configured for these tests (HOME/.asoundrc, "truncate false")
// starts a new file played.raw, played.raw.0001, ... each time a sound opens it.
struct PlayedSound {
  std::size_t bytes = 0;
  std::uint16_t value = 0;  // the one sample value of the file; 0 when mixed
};

inline std::string PlayedPattern() { return std::string("Z:") + HARKWELL_PLAYED_RAW + "*"; }

inline std::vector<std::string> PlayedFiles() {
  const std::string pattern = PlayedPattern();
  const std::string folder = pattern.substr(0, pattern.find_last_of('/') + 1);
  std::vector<std::string> files;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return files;
  do files.push_back(folder + found.cFileName);
  while (FindNextFileA(search, &found));
  FindClose(search);
  std::sort(files.begin(), files.end());  // played.raw sorts before played.raw.0001
  return files;
}

// Every sound played so far, oldest first. Device probes open the device
// without playing and leave empty files, which are skipped.
inline std::vector<PlayedSound> PlayedSounds() {
  std::vector<PlayedSound> sounds;
  for (const std::string& file : PlayedFiles()) {
    std::ifstream in(file, std::ios::binary);
    const std::string samples((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (samples.empty()) continue;
    PlayedSound sound{samples.size(), 0};
    std::memcpy(&sound.value, samples.data(), std::min<std::size_t>(2, samples.size()));
    for (std::size_t i = 0; i + 1 < samples.size(); i += 2) {
      if (std::memcmp(samples.data() + i, &sound.value, 2) != 0) sound.value = 0;
    }
    sounds.push_back(sound);
  }
  return sounds;
}

inline void ForgetPlayedSounds() {
  for (const std::string& file : PlayedFiles()) DeleteFileA(file.c_str());
}

inline bool IsWholly(const PlayedSound& played, TestSound sound) {
  return played.value == sound.value && played.bytes == sound.Bytes();
}

// Waits (bounded) until the sounds played so far are exactly `expected`,
// each in full and in this order.
inline bool PlayedExactly(const std::vector<TestSound>& expected, std::chrono::milliseconds timeout = 10s) {
  return WaitFor(
      [&] {
        const std::vector<PlayedSound> played = PlayedSounds();
        if (played.size() != expected.size()) return false;
        for (std::size_t i = 0; i < played.size(); ++i) {
          if (!IsWholly(played[i], expected[i])) return false;
        }
        return true;
      },
      timeout);
}

inline std::string Describe(const std::vector<PlayedSound>& played) {
  std::string text = std::to_string(played.size()) + " played:";
  for (const PlayedSound& sound : played) {
    char one[48];
    std::snprintf(one, sizeof one, " %zu bytes of 0x%04X", sound.bytes, sound.value);
    text += one;
  }
  return text;
}

// A folder of its own under %TEMP%, with a trailing backslash.
inline std::wstring TempFolder(const std::wstring& name) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp) + name + L"\\";
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

inline std::string Utf8(const std::wstring& text) {
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8.data(), bytes, nullptr, nullptr);
  utf8.resize(static_cast<std::size_t>(bytes) - 1);
  return utf8;
}

// ---------------------------------------------------------------- windows

// The whole title, however long: announcements of long names exceed the
// driver's 1 KiB buffer.
inline std::string FullTitle(HWND window) {
  std::string title(8192, '\0');
  title.resize(
      static_cast<std::size_t>(GetWindowTextA(window, title.data(), static_cast<int>(title.size()))));
  return title;
}

// Whether the window's thread still answers messages (a crashed or hung
// program does not).
inline bool Answers(HWND window) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result) != 0;
}

// Every title the window shows, in order, polled every 10 ms until `done`
// holds for the list so far or `timeout` passes. Consecutive repeats count once.
inline std::vector<std::string> RecordTitles(HWND window,
                                             const std::function<bool(const std::vector<std::string>&)>& done,
                                             std::chrono::milliseconds timeout) {
  std::vector<std::string> titles;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline && !done(titles)) {
    const std::string title = FullTitle(window);
    if (titles.empty() || titles.back() != title) titles.push_back(title);
    std::this_thread::sleep_for(10ms);
  }
  return titles;
}

inline std::vector<std::string> RecordTitlesFor(HWND window, std::chrono::milliseconds time) {
  return RecordTitles(
      window, [](const std::vector<std::string>&) { return false; }, time);
}

// ---------------------------------------------------------------- the game's table

inline bool WriteGameMemory(const Game& game, std::uint32_t address, const std::string& bytes) {
  HANDLE process = OpenProcess(PROCESS_VM_WRITE | PROCESS_VM_OPERATION, FALSE, game.process.info.dwProcessId);
  if (process == nullptr) return false;
  SIZE_T written = 0;
  const BOOL ok = WriteProcessMemory(process, reinterpret_cast<void*>(std::uintptr_t{address}), bytes.data(),
                                     bytes.size(), &written);
  CloseHandle(process);
  return ok && written == bytes.size();
}

inline std::string ReadGameMemory(DWORD processId, std::uint32_t address, std::size_t size) {
  std::string bytes(size, '\0');
  HANDLE process = OpenProcess(PROCESS_VM_READ, FALSE, processId);
  if (process == nullptr) return {};
  SIZE_T read = 0;
  const BOOL ok = ReadProcessMemory(process, reinterpret_cast<const void*>(std::uintptr_t{address}),
                                    bytes.data(), size, &read);
  CloseHandle(process);
  return ok && read == size ? bytes : std::string();
}

// Runs `changes` while Harkwell is held at the start of a tick, so that the
// next tick sees all of them or none. A tick makes one read per byte, so a
// change written from outside, even in a single call, can fall between two
// of them. Instead the game's thread is suspended: the next tick's first step
// writes the game's title, which waits for that thread, before any read. A
// second is ample for a tick under way to finish; an announcement must not be
// up, or the tick would skip the title and go on to read.
inline void WithTickHeld(const Game& game, const std::function<void()>& changes) {
  SuspendThread(game.process.info.hThread);
  std::this_thread::sleep_for(1s);
  changes();
  ResumeThread(game.process.info.hThread);
}

// Harkwell and a simulated game, both started afresh for each test, with the
// file-backed wave device so that played sounds can be counted.
class HarkwellBesideGame : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_GT(waveOutGetNumDevs(), 0u) << "these tests need the file-backed wave device (HOME/.asoundrc)";
    ForgetPlayedSounds();
    ASSERT_TRUE(app.Start());
    ASSERT_TRUE(game.Start());
  }
  void TearDown() override {
    if (app.process.Running()) {
      EXPECT_TRUE(app.Exit());
    }
  }

  Harkwell app;
  Game game;
};

}  // namespace harkwell::reliability
