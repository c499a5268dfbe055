// The simulated game's command language, shared by scenario files and by
// commands sent to the game window. Parsing only; nothing here touches memory.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "monitor/game_facts.h"

namespace harkwell::simgame {

// The longest name the game stores: it leaves room for the NUL before the
// record's occupancy byte.
inline constexpr std::size_t kLongestName = kMaxNameLength - 1;

enum class CommandKind {
  kJoin,          // write the name, then occupancy 1
  kLeave,         // occupancy 0, name cleared
  kRename,        // rewrite the name in place
  kOccupancy,     // raw occupancy byte
  kNoAccess,      // make the record's pages unreadable
  kUnterminated,  // non-zero bytes from the name to the end of the table memory
  kHang,          // stop answering messages for `milliseconds`
  kNewWindow,     // close the game window and open another, the process living on
  kExit,
};

struct Command {
  CommandKind kind = CommandKind::kExit;
  int slot = 0;                    // 1..32; unused by kHang, kNewWindow and kExit
  std::string name;                // kJoin and kRename; at most kLongestName bytes
  std::uint8_t byte_value = 0;     // kOccupancy
  std::uint32_t milliseconds = 0;  // kHang
};

struct ScenarioStep {
  std::uint32_t delay_ms = 0;  // wait before the step
  Command command;
};

// Longest wait one step may ask for (a day); longer is taken as a typo.
inline constexpr std::uint32_t kMaxDelayMs = 24u * 60u * 60u * 1000u;
// Longest time the game may stop answering in one go.
inline constexpr std::uint32_t kMaxHangMs = 60u * 1000u;

// Decimal or 0x-prefixed hexadecimal, the whole text, at most `max_value`.
std::optional<std::uint32_t> ParseNumber(std::string_view text, std::uint32_t max_value);

// One command without a delay, e.g. "join 3 Spaz". Names are the rest of the
// text after the slot and pass through byte for byte; longer names are cut to
// kLongestName. On failure returns nothing and says why in `error`.
std::optional<Command> ParseCommand(std::string_view text, std::string& error);

// A whole scenario: one "<delay_ms> <command>" a line; '#' comment lines and
// blank lines are skipped, CR before LF is dropped. Every line is checked
// before any is returned; `error` names `source_name` and the line number.
std::optional<std::vector<ScenarioStep>> ParseScenario(std::string_view text, std::string_view source_name,
                                                       std::string& error);

// The command in the syntax ParseCommand reads back, as written to the log.
std::string FormatCommand(const Command& command);

// Players coming and going every few seconds, ending with an empty table so it
// can loop; the names carry '|' and '\xA7' so the monitor's cleaning shows.
std::vector<ScenarioStep> DemoScenario();

}  // namespace harkwell::simgame
