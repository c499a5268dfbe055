// Drives ticks over a game whose table bytes, unreadable ranges, failing
// reads, ends, restarts, window changes and busy title writes come from the
// fuzz input, with the alerts it turns on. A model reads the game's memory
// itself, at the addresses of tests/expected.h, and checks every tick: its
// reads, one by one; each slot's join, its name read in full (an empty one
// after four ticks), and leave, each once with the join's name, and nothing
// else; a game that ends gives each player still in it one leave, in one
// title; the title writes and alerts.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/require.h"
#include "monitor/tick.h"
#include "notify/alerts.h"
#include "platform/simulated_platform.h"
#include "tests/expected.h"
#include "tests/program_state.h"

namespace {

using namespace harkwell::expected;  // the game's facts as the tests know them, never the product's
using harkwell::alertSettings;
using harkwell::TickOutcome;
using harkwell::fuzz::Require;
namespace platform = harkwell::platform;
namespace simulated = harkwell::simulated;

std::uint32_t Name(int layout, int slot) { return kBuilds[layout].firstName + (slot - 1) * kRecordStride; }
std::uint32_t Occupancy(int layout, int slot) { return Name(layout, slot) + kNameBytes; }
// The build a marker names; the first for a marker no build has.
int Layout(std::uint8_t marker) {
  const Build* build = std::ranges::find(kBuilds, marker, &Build::marker);
  return build == std::end(kBuilds) ? 0 : static_cast<int>(build - kBuilds);
}

// The game read as a tick should read it, one byte at a time and as the
// process allows: it ends at the read its countdown reaches, and every read
// fails from there on. Every occupancy byte first, then each name up to its
// zero, its record's end or a read that fails.
struct Reader {
  bool alive;
  long left;  // reads before the game ends; negative: no end coming
  long count = 0;
  std::array<std::optional<std::uint8_t>, kSlots> occupancy{};  // none when its read failed
  std::array<std::optional<std::string>, kSlots> name{};        // none when a read cut it short

  bool Read(std::uint32_t address, std::uint8_t& value) {
    const auto in = [address](const std::vector<simulated::AddressRange>& ranges) {
      return std::ranges::any_of(ranges, [&](auto& r) { return address >= r.begin && address < r.end; });
    };
    ++count;
    if (left-- == 0) alive = false;
    if (!alive || !in(simulated::Game().readable) || in(simulated::Game().unreadable)) return false;
    value = simulated::PeekByte(address);
    return true;
  }
  void ReadTable(int layout) {
    for (int slot = 1; slot <= kSlots; ++slot) {
      std::uint8_t byte = 0;
      if (Read(Occupancy(layout, slot), byte)) occupancy[slot - 1] = byte;
    }
    for (int slot = 1; slot <= kSlots; ++slot) {
      std::string read;
      std::uint8_t byte = 1;
      bool whole = true;
      for (std::uint32_t at = 0; whole && byte != 0 && at < kNameBytes; ++at) {
        whole = Read(Name(layout, slot) + at, byte);
        if (whole && byte != 0) read += static_cast<char>(byte);
      }
      if (whole) name[slot - 1] = read;
    }
  }
};

// A joining slot's name is not yet ready: cut short by a failed read, it
// waits for a whole one; read as empty, it waits at most four ticks, as a
// player may really have no name. Either way the slot is looked at again on
// the next tick.
bool NameNotYetReady(const Reader& reader, int slot, int& emptyNameWaits) {
  const std::optional<std::string>& name = reader.name[slot - 1];
  return !name || (name->empty() && emptyNameWaits++ < 4);
}

void Add(std::string& message, std::string name, const char* what) {
  std::erase_if(name, [](char c) { return c == '|' || c == '\xA7'; });
  message += (message.empty() ? "" : ", ") + name + what;
}

// Harkwell as the model sees it.
struct Model {
  bool attached = false;
  std::uint64_t processStart = 0;  // the attached game's
  platform::WindowHandle window = 0;
  int layout = 0;
  std::array<std::optional<std::string>, kSlots> joined;  // the announced join's name
  std::array<int, kSlots> emptyNameWaits{};               // ticks a join waited for its name
  int countdown = 0;
  std::optional<std::string> retry;
  int misses = 0;  // title writes the busy window still turns away
};
Model model;

// One title write, while the game is `alive` or after it ended, as the
// simulated window takes it. A write that misses a window the game replaced
// sends Harkwell after the new one.
bool Write(std::vector<std::string>& titles, const std::string& title, bool alive) {
  const auto& game = simulated::Game();
  titles.push_back(title);
  if (!alive || std::exchange(model.window, game.window) != game.window) return false;
  if (model.misses == 0) return true;
  --model.misses;
  return false;
}

// One sound, the join's before the leave's, and at most one flash, as the switches say.
void ExpectAlerts(bool joins, bool leaves, platform::WindowHandle window) {
  const auto& game = simulated::Game();
  const bool join = joins && alertSettings.playJoin == 1, leave = leaves && alertSettings.playLeave == 1;
  Require(game.soundsPlayed.size() == (join || leave ? 1u : 0u), "one sound when a kind's sound is on");
  for (const simulated::SoundCall& call : game.soundsPlayed) {
    Require(
        call.path == (join ? alertSettings.joinSoundPath : alertSettings.leaveSoundPath) && call.flags == 3,
        "the join's sound before the leave's, played asynchronously, nothing in its place");
  }
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
  game.soundsPlayed.clear();
  game.flashesRequested.clear();
  const bool ended = !game.running || game.startTime != model.processStart;
  Reader reader{game.running, game.readsBeforeExit};
  const long readsBefore = game.reads;
  const std::uint64_t startBefore = game.startTime;
  model.misses = game.titleWritesToMiss;

  const TickOutcome outcome = harkwell::MonitorTick();

  std::vector<std::string> titles;
  if (!model.attached) {
    // Looking for a game: a running one is attached with its build's probe,
    // and nothing is written.
    std::uint8_t marker = 0;
    if (reader.alive) reader.Read(kMarkerAddress, marker);
    Require(game.reads - readsBefore == reader.count && game.titlesSet.empty() && game.soundsPlayed.empty(),
            "waiting is quiet");
    Require(outcome == (reader.count > 0 ? TickOutcome::Watching : TickOutcome::WaitingForGame),
            "attaches to a game");
    model.attached = reader.count > 0;  // the rest as a fresh Model has it
    model.processStart = startBefore;
    model.window = game.window;
    model.layout = Layout(marker);
    return;
  }
  // The tick's first write, before any read: the game's title, or an
  // announcement not yet taken.
  if (!ended && model.countdown > 0) {
    --model.countdown;
    if (model.retry && Write(titles, *model.retry, true)) model.retry.reset();
  } else if (!ended) {
    Write(titles, kGameTitle, true);
  }
  const platform::WindowHandle window = model.window;
  std::string message;
  bool joins = false, leaves = false;
  if (ended) {
    for (const std::optional<std::string>& joined : model.joined)
      if (joined) Add(message, *joined, " has left");
    leaves = !message.empty();
    if (leaves) Write(titles, message, false);  // into the window that went with the game
    model = Model{};
    Require(outcome == TickOutcome::WaitingForGame, "an ended game is let go");
  } else {
    reader.ReadTable(model.layout);
    for (int slot = 1; slot <= kSlots; ++slot) {
      const std::optional<std::uint8_t>& occupancy = reader.occupancy[slot - 1];
      std::optional<std::string>& joined = model.joined[slot - 1];
      if (!occupancy) continue;  // unknown this tick: looked at again on the next
      int& waits = model.emptyNameWaits[slot - 1];
      const bool joining = !joined && *occupancy != 0;
      if (joining && NameNotYetReady(reader, slot, waits)) continue;
      waits = 0;
      if (joining) {
        joined = reader.name[slot - 1];
        Add(message, *joined, " has joined");
        joins = true;
      } else if (joined && *occupancy == 0) {
        Add(message, *joined, " has left");
        joined.reset();
        leaves = true;
      }
    }
    if (!message.empty()) {
      model.countdown = kAnnouncementTicks;
      model.retry = message;  // written again, unless taken now; gone if the game ended during the reads
      if (Write(titles, message, reader.alive)) model.retry.reset();
    }
    Require(outcome == TickOutcome::Watching, "a running game is watched");
  }
  Require(game.reads - readsBefore == reader.count,
          "each occupancy byte and each name up to its end read once");
  Require(game.titlesSet == titles, "the tick's title writes, the announcement last");
  ExpectAlerts(joins, leaves, ended ? window : model.window);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  simulated::ResetGame();
  harkwell::ResetProgramState();
  auto& game = simulated::Game();

  // A known build's marker, or any byte, which most often is no build's.
  const std::uint8_t marker =
      input.ConsumeBool()
          ? kBuilds[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kBuilds) - 1)].marker
          : input.ConsumeIntegral<std::uint8_t>();
  model = Model{};
  const int layout = Layout(marker);
  simulated::WriteByte(kMarkerAddress, marker);
  // The four switches from one byte; a value other than 1 is no ticked box.
  const auto switches = input.ConsumeIntegral<std::uint8_t>();
  auto bit = [&](int n) {
    return static_cast<std::uint8_t>((switches >> n & 1) != 0 ? 1 + (switches >> 7) : 0);
  };
  alertSettings = {bit(0), bit(1), bit(2), bit(3), u"join.wav", u"leave.wav"};
  const std::uint32_t tableStart = Name(layout, 1) - 16;
  const std::uint32_t tableSize = (kSlots + 1) * kRecordStride;
  int ticks = 0;
  while (input.remaining_bytes() > 0 && ticks < 200) {
    const std::uint32_t address = tableStart + input.ConsumeIntegral<std::uint16_t>() % tableSize;
    const int slot = input.ConsumeIntegralInRange(1, kSlots);
    switch (input.ConsumeIntegralInRange(0, 12)) {
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
        simulated::WriteByte(kMarkerAddress, marker);
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
      case 11:  // a name up to the occupancy byte, or one short of it, with no zero of its own
        simulated::WriteBytes(Name(layout, slot), std::string(kNameBytes - input.ConsumeIntegralInRange(0, 1),
                                                              input.ConsumeIntegralInRange<char>(1, 127)));
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
