#include "ui/command_line.h"

#include <array>

#include "ui/texts.h"

namespace harkwell::ui {
namespace {

enum class Option { kJoin, kLeave, kFlashJoin, kFlashLeave, kBegin, kWait, kTray, kNotify, kHelp, kUnknown };

struct OptionName {
  std::u16string_view name;
  Option option;
};
constexpr std::array kOptions{
    OptionName{u"join", Option::kJoin},
    OptionName{u"leave", Option::kLeave},
    OptionName{u"flashjoin", Option::kFlashJoin},
    OptionName{u"flashleave", Option::kFlashLeave},
    OptionName{u"begin", Option::kBegin},
    OptionName{u"wait", Option::kWait},
    OptionName{u"tray", Option::kTray},
    OptionName{u"notify", Option::kNotify},
    OptionName{u"?", Option::kHelp},
};

bool SameIgnoringAsciiCase(std::u16string_view text, std::u16string_view lowercase) {
  if (text.size() != lowercase.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i] >= u'A' && text[i] <= u'Z' ? static_cast<char16_t>(text[i] + 32) : text[i];
    if (c != lowercase[i]) return false;
  }
  return true;
}

Option Recognise(std::u16string_view argument) {
  if (argument.empty() || (argument[0] != u'/' && argument[0] != u'-')) return Option::kUnknown;
  for (const OptionName& entry : kOptions) {
    if (SameIgnoringAsciiCase(argument.substr(1), entry.name)) return entry.option;
  }
  return Option::kUnknown;
}

std::u16string Quoted(std::u16string_view argument) {
  std::u16string quoted;
  quoted.reserve(argument.size() + 2);
  quoted += u'"';
  quoted += argument;
  quoted += u'"';
  return quoted;
}

}  // namespace

CommandLine ParseCommandLine(std::span<const std::u16string> arguments, const FindSoundFile& find) {
  StartOptions options;
  std::u16string firstError;
  bool help = false;
  auto fail = [&](std::u16string error) {
    if (firstError.empty()) firstError = std::move(error);
  };
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const Option option = Recognise(arguments[i]);
    switch (option) {
      case Option::kJoin:
      case Option::kLeave: {
        if (i + 1 == arguments.size()) {
          fail(Quoted(arguments[i]) + kNeedsPath);
          break;
        }
        const std::u16string& path = arguments[++i];
        std::optional<std::u16string> found = find(path);
        if (!found) {
          fail(Quoted(path) + kNoSuchFile);
          break;
        }
        (option == Option::kJoin ? options.joinSoundPath : options.leaveSoundPath) = std::move(found);
        break;
      }
      case Option::kFlashJoin:
        options.flashJoin = true;
        break;
      case Option::kFlashLeave:
        options.flashLeave = true;
        break;
      case Option::kBegin:
        options.begin = true;
        break;
      case Option::kWait:
        options.wait = true;
        break;
      case Option::kTray:
        options.tray = true;
        break;
      case Option::kNotify:
        options.notify = true;
        break;
      case Option::kHelp:
        help = true;
        break;
      case Option::kUnknown:
        fail(Quoted(arguments[i]) + kNotAnOption);
        break;
    }
  }
  if (help) return {StartKind::kShowUsage, {}, kUsage};
  if (!firstError.empty()) return {StartKind::kShowError, {}, firstError + u"\n\n" + kUsage};
  return {StartKind::kRun, std::move(options), {}};
}

}  // namespace harkwell::ui
