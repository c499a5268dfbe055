// Drives ticks over a game whose table bytes, unreadable ranges, failing
// reads, ends, restarts, window changes and busy title writes come from the
// fuzz input, with the alerts the input turns on, and checks every tick
// against a model of its own: per slot, every 0 -> non-zero transition read
// in full is announced once with its name, an empty one after four ticks,
// every non-zero -> 0 once with that join's name, and nothing else; a game
// that ends gives each player still in it one leave, in one title, one alert.
#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fuzz/require.h"
#include "monitor/attach.h"
#include "monitor/roster.h"
#include "monitor/tick.h"
#include "notify/alerts.h"
#include "notify/title.h"
#include "platform/simulated_platform.h"
#include "tests/program_state.h"

namespace harkwell {
namespace {

using fuzz::Require;

std::uint32_t Name(int layout, int slot) {
  return kGameLayouts[layout].firstNameAddress + static_cast<std::uint32_t>(slot - 1) * kRecordStride;
}
std::uint32_t Occupancy(int layout, int slot) {
  return kGameLayouts[layout].firstOccupancyAddress + static_cast<std::uint32_t>(slot - 1) * kRecordStride;
}

// What a tick read of one slot, from the reads themselves.
struct SlotRead {
  bool occupancyRead = false;
  std::uint8_t occupancy = 0;
  std::string name;
  bool nameWhole = true;
};

std::array<SlotRead, kSlotCount> FromReads(const std::vector<simulated::ReadRecord>& reads, int layout) {
  std::array<SlotRead, kSlotCount> slots{};
  for (const simulated::ReadRecord& record : reads) {
    for (int slot = 1; slot <= kSlotCount; ++slot) {
      SlotRead& read = slots[slot - 1];
      if (record.address == Occupancy(layout, slot)) {
        read.occupancyRead = record.ok;
        read.occupancy = record.value;
      } else if (record.address >= Name(layout, slot) && record.address < Occupancy(layout, slot)) {
        read.nameWhole = read.nameWhole && record.ok;
        if (record.value != 0) read.name += static_cast<char>(record.value);
      }
    }
  }
  return slots;
}

std::string Cleaned(std::string name) {
  std::erase_if(name, [](char c) { return c == '|' || c == '\xA7'; });
  return name;
}

// Harkwell as the model sees it.
struct Model {
  bool attached = false;
  std::uint64_t processStart = 0;  // the attached game's
  platform::WindowHandle window = 0;
  std::array<std::optional<std::string>, kSlotCount> joined;  // the announced join's name
  std::array<int, kSlotCount> emptyNameWaits{};               // ticks a join waited for a name, up to four
  int countdown = 0;
  std::optional<std::string> retry;
  int layout = 0;
  int misses = 0;  // title writes the busy window still turns away
};
Model model;

// One title write, while the game is `alive` or after it ended, as the
// simulated window takes it. A write that misses a window the game replaced
// sends Harkwell after the new one.
bool Write(std::vector<std::string>& titles, const std::string& title, bool alive) {
  const auto& game = simulated::Game();
  titles.push_back(title);
  if (!alive || model.window != game.window) {
    if (alive) model.window = game.window;
    return false;
  }
  if (model.misses == 0) return true;
  --model.misses;
  return false;
}

void ExpectAlerts(bool joins, bool leaves, platform::WindowHandle window) {
  const auto& game = simulated::Game();
  std::vector<std::u16string> sounds;
  if (joins && alertSettings.playJoin == 1) {
    sounds.push_back(alertSettings.joinSoundPath);
  } else if (leaves && alertSettings.playLeave == 1) {
    sounds.push_back(alertSettings.leaveSoundPath);
  }
  std::vector<std::u16string> played;
  for (const simulated::SoundCall& call : game.soundsPlayed) {
    Require(call.flags == 3, "sounds play asynchronously, nothing in their place");
    played.push_back(call.path);
  }
  Require(played == sounds, "one sound, the join's before the leave's");
  const bool flash = (joins && alertSettings.flashJoin == 1) || (leaves && alertSettings.flashLeave == 1);
  Require(game.flashesRequested.size() == (flash ? 1u : 0u), "one flash when a kind's flash is on");
  for (const platform::FlashWindowInfo& info : game.flashesRequested) {
    Require(info.hwnd == window && info.dwFlags == 3 && info.uCount == 5,
            "the game window flashes five times");
  }
}

void CheckTick() {
  auto& game = simulated::Game();
  game.titlesSet.clear();
  game.readLog.clear();
  game.soundsPlayed.clear();
  game.flashesRequested.clear();
  const bool endedBefore = !game.running || game.startTime != model.processStart;
  const bool wasRunning = game.running;
  const std::uint64_t startBefore = game.startTime;
  model.misses = game.titleWritesToMiss;

  const TickOutcome outcome = MonitorTick();

  Require(game.readLog.size() <= kSlotCount + kSlotCount * std::size_t{kMaxNameLength},
          "reads of one tick within the bound");
  std::vector<std::string> titles;
  if (!model.attached) {
    // Looking for a game: no window written, no read but the build's probe.
    Require(game.readLog.size() <= 1 && game.titlesSet.empty() && game.soundsPlayed.empty(),
            "waiting is quiet");
    model.attached = wasRunning;
    model.processStart = startBefore;
    model.window = game.window;
    model.joined = {};
    Require(outcome == (wasRunning ? TickOutcome::Watching : TickOutcome::WaitingForGame),
            "attaches to a game");
    return;
  }
  // The tick's first write, before any read: the game's title, or an
  // announcement not yet taken.
  if (!endedBefore) {
    if (model.countdown > 0) {
      --model.countdown;
      if (model.retry && Write(titles, *model.retry, true)) model.retry.reset();
    } else {
      Write(titles, kGameTitle, true);
    }
  }
  const bool ended = endedBefore;
  const int layout = model.layout;
  const platform::WindowHandle window = model.window;
  std::string message;
  bool joins = false;
  bool leaves = false;
  if (ended) {
    for (int slot = 1; slot <= kSlotCount; ++slot) {
      if (!model.joined[slot - 1]) continue;
      message += (message.empty() ? "" : ", ") + Cleaned(*model.joined[slot - 1]) + " has left";
      leaves = true;
    }
    if (leaves) Write(titles, message, false);  // into the window that went with the game
    model = Model{};
    model.layout = layout;
    Require(outcome == TickOutcome::WaitingForGame, "an ended game is let go");
  } else {
    const std::array<SlotRead, kSlotCount> read = FromReads(game.readLog, model.layout);
    for (int slot = 1; slot <= kSlotCount; ++slot) {
      const SlotRead& r = read[slot - 1];
      std::optional<std::string>& joined = model.joined[slot - 1];
      const bool joining = !joined && r.occupancy != 0;
      int& waits = model.emptyNameWaits[slot - 1];
      if (!r.occupancyRead || (joining && !r.nameWhole)) continue;
      if (joining && r.name.empty() && waits++ < 4) continue;
      waits = 0;
      std::string event;
      if (joining) {
        joined = r.name;
        event = Cleaned(r.name) + " has joined";
        joins = true;
      } else if (joined && r.occupancy == 0) {
        event = Cleaned(*joined) + " has left";
        joined.reset();
        leaves = true;
      }
      if (!event.empty()) message += (message.empty() ? "" : ", ") + event;
    }
    if (!message.empty()) {
      model.countdown = kAnnouncementTicks;
      model.retry.reset();
      // Into a window that is gone if the game ended during the reads.
      if (!Write(titles, message, game.running)) model.retry = message;
    }
    Require(outcome == TickOutcome::Watching, "a running game is watched");
  }
  Require(game.titlesSet == titles, "the tick's title writes, the announcement last");
  ExpectAlerts(joins, leaves, ended ? window : model.window);
}

}  // namespace
}  // namespace harkwell

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace harkwell;
  FuzzedDataProvider input(data, size);
  simulated::ResetGame();
  ResetProgramState();
  auto& game = simulated::Game();
  game.logReads = true;

  // A known build's marker, or any byte, which most often is no build's.
  const std::uint8_t marker =
      input.ConsumeBool()
          ? kGameLayouts[input.ConsumeIntegralInRange<std::size_t>(0, kGameLayouts.size() - 1)].marker
          : input.ConsumeIntegral<std::uint8_t>();
  model = Model{};
  for (std::size_t row = 0; row < kGameLayouts.size(); ++row) {
    if (kGameLayouts[row].marker == marker) model.layout = static_cast<int>(row);
  }
  simulated::WriteByte(kBuildMarkerAddress, marker);
  // The four switches from one byte; a value other than 1 is no ticked box.
  const auto switches = input.ConsumeIntegral<std::uint8_t>();
  auto bit = [&](int n) {
    return static_cast<std::uint8_t>((switches >> n & 1) != 0 ? 1 + (switches >> 7) : 0);
  };
  alertSettings = {bit(0), bit(1), bit(2), bit(3), u"join.wav", u"leave.wav"};
  const int layout = model.layout;
  const std::uint32_t tableStart = Name(layout, 1) - 16;
  const std::uint32_t tableSize = 33 * kRecordStride;
  int ticks = 0;
  while (input.remaining_bytes() > 0 && ticks < 200) {
    const std::uint32_t address = tableStart + input.ConsumeIntegral<std::uint16_t>() % tableSize;
    const int slot = input.ConsumeIntegralInRange(1, kSlotCount);
    switch (input.ConsumeIntegralInRange(0, 11)) {
      case 0:
        simulated::WriteByte(address, input.ConsumeIntegral<std::uint8_t>());
        break;
      case 1:
        simulated::WriteBytes(address, input.ConsumeBytesAsString(input.ConsumeIntegralInRange(0, 1500)));
        break;
      case 2:
        simulated::WriteByte(Occupancy(layout, slot), input.ConsumeIntegral<std::uint8_t>());
        break;
      case 3:
        game.unreadable.push_back({address, address + input.ConsumeIntegralInRange<std::uint32_t>(1, 4000)});
        break;
      case 4:
        game.unreadable.clear();
        break;
      case 5:
        game.readsBeforeExit = input.ConsumeIntegralInRange(0, 3000);
        break;
      case 6:
        simulated::RestartProcess();
        simulated::WriteByte(kBuildMarkerAddress, marker);
        break;
      case 7:
        simulated::ReplaceWindow();
        break;
      case 8:
        game.titleWritesToMiss = input.ConsumeIntegralInRange(0, 3);
        break;
      case 9:  // a player joins or renames, as the game writes it
        simulated::WriteBytes(Name(layout, slot), input.ConsumeRandomLengthString(40) + '\0');
        simulated::WriteByte(Occupancy(layout, slot),
                             input.ConsumeBool() ? 1 : simulated::PeekByte(Occupancy(layout, slot)));
        break;
      case 10:  // a player leaves, the name left in the record
        simulated::WriteByte(Occupancy(layout, slot), 0);
        break;
      default:
        CheckTick();
        ++ticks;
        break;
    }
  }
  CheckTick();
  return 0;
}
