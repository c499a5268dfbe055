#include "tools/simgame/commands.h"

#include <charconv>

#include "tools/simgame/simgame_protocol.h"

namespace harkwell::simgame {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view SkipBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  return text;
}

std::string_view TrimTrailingBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Takes the next blank-separated word off the front of `text`.
std::string_view NextWord(std::string_view& text) {
  text = SkipBlanks(text);
  std::size_t end = 0;
  while (end < text.size() && !IsBlank(text[end])) ++end;
  std::string_view word = text.substr(0, end);
  text.remove_prefix(end);
  return word;
}

struct KindName {
  std::string_view word;
  CommandKind kind;
};

constexpr KindName kKindNames[] = {
    {"join", CommandKind::kJoin},         {"leave", CommandKind::kLeave},
    {"rename", CommandKind::kRename},     {"occupancy", CommandKind::kOccupancy},
    {"noaccess", CommandKind::kNoAccess}, {"unterminated", CommandKind::kUnterminated},
    {"hang", CommandKind::kHang},         {"newwindow", CommandKind::kNewWindow},
    {"exit", CommandKind::kExit},
};

std::optional<CommandKind> KindFromWord(std::string_view word) {
  for (const KindName& entry : kKindNames) {
    if (entry.word == word) return entry.kind;
  }
  return std::nullopt;
}

std::string_view WordForKind(CommandKind kind) {
  for (const KindName& entry : kKindNames) {
    if (entry.kind == kind) return entry.word;
  }
  return "?";
}

bool TakesName(CommandKind kind) { return kind == CommandKind::kJoin || kind == CommandKind::kRename; }

// The commands that act on the game as a whole rather than on one slot.
bool TakesSlot(CommandKind kind) {
  return kind != CommandKind::kExit && kind != CommandKind::kHang && kind != CommandKind::kNewWindow;
}

}  // namespace

std::optional<std::uint32_t> ParseNumber(std::string_view text, std::uint32_t max_value) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  if (text.empty()) return std::nullopt;
  std::uint32_t value = 0;
  const char* end = text.data() + text.size();
  auto [stop, status] = std::from_chars(text.data(), end, value, base);
  if (status != std::errc() || stop != end || value > max_value) return std::nullopt;
  return value;
}

std::optional<Command> ParseCommand(std::string_view text, std::string& error) {
  std::string_view rest = text;
  const std::string_view word = NextWord(rest);
  const std::optional<CommandKind> kind = KindFromWord(word);
  if (!kind) {
    error = word.empty() ? "missing command" : "unknown command '" + std::string(word) + "'";
    return std::nullopt;
  }
  Command command;
  command.kind = *kind;

  if (command.kind == CommandKind::kHang) {
    const std::string_view time_word = NextWord(rest);
    const std::optional<std::uint32_t> milliseconds = ParseNumber(time_word, kMaxHangMs);
    if (!milliseconds) {
      error = "hang needs milliseconds up to " + std::to_string(kMaxHangMs) + ", got '" +
              std::string(time_word) + "'";
      return std::nullopt;
    }
    command.milliseconds = *milliseconds;
  }

  if (TakesSlot(command.kind)) {
    const std::string_view slot_word = NextWord(rest);
    const std::optional<std::uint32_t> slot = ParseNumber(slot_word, kSlotCount);
    if (!slot || *slot < 1) {
      error = "slot must be 1.." + std::to_string(kSlotCount) + ", got '" + std::string(slot_word) + "'";
      return std::nullopt;
    }
    command.slot = static_cast<int>(*slot);
  }

  if (TakesName(command.kind)) {
    const std::string_view name = SkipBlanks(rest);
    if (name.empty()) {
      error = "missing name";
      return std::nullopt;
    }
    // A NUL would end the name early in the game's memory; refuse it instead.
    if (name.find('\0') != std::string_view::npos || name.find('\n') != std::string_view::npos) {
      error = "name contains a NUL or line break";
      return std::nullopt;
    }
    command.name = std::string(name.substr(0, kLongestName));
    return command;
  }

  if (command.kind == CommandKind::kOccupancy) {
    const std::string_view byte_word = NextWord(rest);
    const std::optional<std::uint32_t> value = ParseNumber(byte_word, 255);
    if (!value) {
      error = "occupancy byte must be 0..255, got '" + std::string(byte_word) + "'";
      return std::nullopt;
    }
    command.byte_value = static_cast<std::uint8_t>(*value);
  }

  if (!TrimTrailingBlanks(SkipBlanks(rest)).empty()) {
    error = "unexpected text after " + std::string(word) + ": '" +
            std::string(TrimTrailingBlanks(SkipBlanks(rest))) + "'";
    return std::nullopt;
  }
  return command;
}

std::optional<std::vector<ScenarioStep>> ParseScenario(std::string_view text, std::string_view source_name,
                                                       std::string& error) {
  std::vector<ScenarioStep> steps;
  int line_number = 0;
  while (!text.empty()) {
    ++line_number;
    const std::size_t line_end = text.find('\n');
    std::string_view line = text.substr(0, line_end);
    text.remove_prefix(line_end == std::string_view::npos ? text.size() : line_end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

    const std::string_view content = SkipBlanks(line);
    if (TrimTrailingBlanks(content).empty() || content.front() == '#') continue;

    auto fail = [&](const std::string& why) {
      error = std::string(source_name) + ":" + std::to_string(line_number) + ": " + why;
      return std::nullopt;
    };
    std::string_view rest = content;
    const std::string_view delay_word = NextWord(rest);
    const std::optional<std::uint32_t> delay = ParseNumber(delay_word, kMaxDelayMs);
    if (!delay) {
      return fail("delay must be a number of milliseconds up to " + std::to_string(kMaxDelayMs) + ", got '" +
                  std::string(delay_word) + "'");
    }
    std::string why;
    std::optional<Command> command = ParseCommand(rest, why);
    if (!command) return fail(why);
    steps.push_back(ScenarioStep{*delay, std::move(*command)});
  }
  return steps;
}

std::string FormatCommand(const Command& command) {
  std::string text(WordForKind(command.kind));
  if (command.kind == CommandKind::kHang) return text + ' ' + std::to_string(command.milliseconds);
  if (!TakesSlot(command.kind)) return text;
  text += ' ';
  text += std::to_string(command.slot);
  if (TakesName(command.kind)) {
    text += ' ';
    text += command.name;
  } else if (command.kind == CommandKind::kOccupancy) {
    text += ' ';
    text += std::to_string(command.byte_value);
  }
  return text;
}

std::vector<ScenarioStep> DemoScenario() {
  static constexpr std::string_view kDemo =
      "1000 join 1 Spaz\n"
      "2500 join 2 Jazz|2\n"
      "2500 join 5 Lori\xA7x\n"
      "3000 leave 1\n"
      "2500 join 1 Bunny\n"
      "3000 rename 2 Jazz|3\n"
      "3000 leave 5\n"
      "2500 leave 2\n"
      "2500 leave 1\n";
  std::string error;
  // The text is fixed and covered by the tests, so it always parses.
  return ParseScenario(kDemo, "demo", error).value_or(std::vector<ScenarioStep>{});
}

}  // namespace harkwell::simgame
