// A long monitoring run: players come and go every second or two while the
// test records every announcement and samples Harkwell's resources. Every
// change the game logged must be announced once, in order, and no resource
// may grow. HARKWELL_SOAK_SECONDS sets the length (default 180).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "monitor/game_facts.h"
#include "tests/rig/process_counters.h"
#include "tests/rig/rig.h"
#include "ui/control_ids.h"

namespace harkwell::rig {
namespace {

using Clock = std::chrono::steady_clock;

int SoakSeconds() {
  const char* text = std::getenv("HARKWELL_SOAK_SECONDS");
  const int seconds = text != nullptr ? std::atoi(text) : 0;
  return seconds > 0 ? seconds : 180;
}

// Joins into free slots and leaves from taken ones, 1 to 2 s apart (at
// least four ticks, so each change is a tick of its own), with names never
// used twice. Ends with everybody gone.
std::string Scenario(int seconds) {
  std::mt19937 random(20240611);
  std::uniform_int_distribution<int> delay(1000, 2000), slot(1, 32);
  std::map<int, bool> taken;
  std::ostringstream text;
  int elapsed = 0, next = 1, present = 0;
  text << "5000 join 7 Soak0000\n";  // the first change waits for Begin
  taken[7] = true, present = 1;
  while (elapsed < (seconds - 15) * 1000) {
    const int wait = delay(random);
    elapsed += wait;
    const bool join = present == 0 || (present < 12 && random() % 2 == 0);
    int s = slot(random);
    while (taken[s] == join) s = s % 32 + 1;
    taken[s] = join, present += join ? 1 : -1;
    char name[16];
    std::snprintf(name, sizeof name, "Soak%04d", next++);
    text << wait << (join ? " join " : " leave ") << s << (join ? std::string(" ") + name : "") << "\n";
  }
  for (const auto& [s, isTaken] : taken) {
    if (isTaken) text << delay(random) << " leave " << s << "\n";
  }
  return text.str();
}

// The announcements the game's own log calls for, in order.
std::vector<std::string> ExpectedAnnouncements(const std::string& logPath, std::size_t& changes) {
  std::ifstream log(logPath);
  std::map<int, std::string> names;
  std::vector<std::string> expected;
  std::string line;
  changes = 0;
  while (std::getline(log, line)) {
    std::istringstream fields(line);
    unsigned long long time = 0;
    std::string command, name;
    int slot = 0;
    fields >> time >> command >> slot;
    ++changes;
    if (command == "join") {
      fields >> name;
      names[slot] = name;
      expected.push_back(name + " has joined");
    } else if (command == "leave") {
      expected.push_back(names[slot] + " has left");
    }
  }
  return expected;
}

void Print(const char* when, const test::ProcessCounters& c) {
  std::printf("  %-6s handles %ld, GDI objects %ld, windows %ld, private bytes %llu\n", when, c.handles,
              c.gdiObjects, c.windows, static_cast<unsigned long long>(c.privateBytes));
}

TEST(Soak, EveryChangeIsAnnouncedOnceInOrderAndNoResourceGrows) {
  const int seconds = SoakSeconds();
  const std::wstring folder = TempFolder(L"harkwell-soak");
  const std::string scenarioPath = Utf8(folder + L"scenario.txt");
  const std::string logPath = Utf8(folder + L"game.log");
  const std::string scenario = Scenario(seconds);
  const auto steps = static_cast<std::size_t>(std::count(scenario.begin(), scenario.end(), '\n'));
  std::ofstream(scenarioPath) << scenario;
  DeleteFileA(logPath.c_str());

  Harkwell app;
  ASSERT_TRUE(app.Start());
  app.SetChecked(ui::kChkFlashJoin, true);  // the flash path runs too, though Wine shows nothing
  app.SetChecked(ui::kChkFlashLeave, true);
  Game game;
  ASSERT_TRUE(game.Start("--marker 0xE8 --scenario \"" + scenarioPath + "\" --log \"" + logPath + "\""));
  ASSERT_EQ(app.ClickBegin(), "");
  const auto start = Clock::now();

  const OwnedHandle harkwell(
      OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, app.ProcessId()));
  ASSERT_TRUE(harkwell);
  std::vector<test::ProcessCounters> samples;
  std::vector<std::string> announcements;
  std::string last = game.Title();
  // Keeps each new title but the game's own; an announcement stays up for at least a second.
  const auto look = [&] {
    const std::string title = game.Title();
    if (title != last && title != kGameTitle) announcements.push_back(title);
    last = title;
    return announcements.size();
  };
  auto nextSample = start;
  std::size_t logged = 0;
  const auto deadline = start + std::chrono::seconds(seconds + 60);
  while (Clock::now() < deadline) {
    look();
    if (Clock::now() >= nextSample) {
      samples.push_back(test::ReadProcessCounters(harkwell.get(), app.ProcessId()));
      nextSample += 5s;
      ExpectedAnnouncements(logPath, logged);
      if (logged == steps) break;
    }
    std::this_thread::sleep_for(10ms);
  }
  // Until the last leave's announcement.
  std::size_t changes = 0;
  const std::vector<std::string> expected = ExpectedAnnouncements(logPath, changes);
  WaitFor([&] { return look() >= expected.size(); });
  samples.push_back(test::ReadProcessCounters(harkwell.get(), app.ProcessId()));
  const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();

  ASSERT_EQ(changes, steps) << "the game did not finish its scenario in time";
  // The lists are long: say where they part.
  const auto [seen, due] =
      std::mismatch(announcements.begin(), announcements.end(), expected.begin(), expected.end());
  EXPECT_EQ(announcements, expected) << "first difference at " << (seen - announcements.begin()) << ": \""
                                     << (seen != announcements.end() ? *seen : "") << "\" where \""
                                     << (due != expected.end() ? *due : "") << "\" was due";
  EXPECT_TRUE(Answers(app.Form1()));

  // After a warm-up of about ten seconds nothing may grow.
  ASSERT_GE(samples.size(), 4u);
  const test::ProcessCounters& warm = samples[2];
  const test::ProcessCounters& end = samples.back();
  std::printf("Soak: %.0f s, about %.0f ticks, %zu changes logged, %zu announcements compared\n", elapsed,
              elapsed / 0.25, changes, announcements.size());
  Print("start", samples.front());
  Print("warm", warm);
  Print("end", end);
  ASSERT_TRUE(warm.handles >= 0 && warm.gdiObjects >= 0) << "the counters could not be read";
  EXPECT_LE(end.handles, warm.handles);
  EXPECT_LE(end.gdiObjects, warm.gdiObjects);
  EXPECT_LE(end.windows, warm.windows);
  EXPECT_LE(end.privateBytes, warm.privateBytes + 256 * 1024);
  EXPECT_TRUE(app.Exit());
}

}  // namespace
}  // namespace harkwell::rig
