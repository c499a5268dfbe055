// Feeds argument lists made mostly of option words (any case, either prefix
// or a wrong one), paths the finder may or may not find, and arbitrary UTF-16
// with lone surrogates, then requires the parser's whole result to be what a
// model of the grammar of its own says: kind, every option, and for a bad
// argument its exact first line.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "fuzz/require.h"
#include "ui/command_line.h"

namespace harkwell::ui {
namespace {

using fuzz::Require;

// Every path whose first character is 'a' names a file; the finder's result
// differs from what it was given, so that a parser keeping its input shows.
std::optional<std::u16string> Find(const std::u16string& path) {
  if (path.empty() || path[0] != u'a') return std::nullopt;
  return u"C:\\" + path;
}

constexpr const char16_t* kWords[] = {u"join", u"leave", u"flashjoin", u"flashleave", u"begin",
                                      u"wait", u"tray",  u"notify",    u"?"};

std::u16string Argument(FuzzedDataProvider& input) {
  std::u16string argument;
  const int kind = input.ConsumeIntegralInRange(0, 7);
  if (kind < 4) {  // an option word, each letter in either case or as a lookalike
    argument = input.PickValueInArray({u'/', u'-', u'\\'});
    for (const char16_t* c = kWords[input.ConsumeIntegralInRange(0, 8)]; *c != u'\0'; ++c) {
      const int form = *c >= u'a' ? input.ConsumeIntegralInRange(0, 3) : 0;
      argument += form == 0 ? *c : form < 3 ? static_cast<char16_t>(*c - 32) : *c == u'i' ? u'\u0130' : *c;
    }
  } else if (kind < 7) {  // a path, found when it starts with 'a'
    argument = input.ConsumeBool() ? u"a" : u"b";
    argument.resize(1 + input.ConsumeIntegralInRange(0, 2), input.ConsumeIntegral<char16_t>());
  } else {  // anything at all
    argument.resize(input.ConsumeIntegralInRange(0, 300));
    for (char16_t& c : argument) c = input.ConsumeIntegral<char16_t>();
  }
  return argument;
}

// The grammar, written out: the word after a '/' or '-', with ASCII capitals
// lowered, names the option; the argument after join or leave is its path.
CommandLine Model(const std::vector<std::u16string>& arguments, const std::u16string& usage) {
  StartOptions options;
  std::u16string firstLine;
  bool help = false;
  auto bad = [&](const std::u16string& argument, const char16_t* reason) {
    if (firstLine.empty()) firstLine = u'"' + argument + u'"' + reason;
  };
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::u16string word;
    if (!arguments[i].empty() && (arguments[i][0] == u'/' || arguments[i][0] == u'-')) {
      for (char16_t c : arguments[i].substr(1)) word += u'A' <= c && c <= u'Z' ? char16_t(c | 0x20) : c;
    }
    if (word == u"join" || word == u"leave") {
      if (i + 1 == arguments.size()) {
        bad(arguments[i], u" needs the path of a WAV file after it.");
      } else if (const std::optional<std::u16string> found = Find(arguments[++i])) {
        (word == u"join" ? options.joinSoundPath : options.leaveSoundPath) = found;
      } else {
        bad(arguments[i], u" names no file that can be opened.");
      }
    } else if (word == u"flashjoin" || word == u"flashleave" || word == u"begin" || word == u"wait" ||
               word == u"tray" || word == u"notify") {
      (word == u"flashjoin"    ? options.flashJoin
       : word == u"flashleave" ? options.flashLeave
       : word == u"begin"      ? options.begin
       : word == u"wait"       ? options.wait
       : word == u"tray"       ? options.tray
                               : options.notify) = true;
    } else if (word == u"?") {
      help = true;
    } else {
      bad(arguments[i], u" is not an option of Harkwell.");
    }
  }
  if (help) return {StartKind::kShowUsage, {}, usage};
  if (!firstLine.empty()) return {StartKind::kShowError, {}, firstLine + u"\n\n" + usage};
  return {StartKind::kRun, options, {}};
}

auto Fields(const StartOptions& o) {
  return std::tie(o.joinSoundPath, o.leaveSoundPath, o.flashJoin, o.flashLeave, o.begin, o.wait, o.tray,
                  o.notify);
}

}  // namespace
}  // namespace harkwell::ui

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace harkwell::ui;
  FuzzedDataProvider input(data, size);
  std::vector<std::u16string> arguments;
  while (input.remaining_bytes() > 0 && arguments.size() < 64) arguments.push_back(Argument(input));
  // The usage's text is the parser's own; the model decides only where it goes.
  static const std::u16string usage = ParseCommandLine(std::vector<std::u16string>{u"-?"}, Find).message;
  const CommandLine parsed = ParseCommandLine(arguments, Find);
  const CommandLine expected = Model(arguments, usage);
  Require(parsed.kind == expected.kind, "the kind of start the grammar gives");
  Require(Fields(parsed.options) == Fields(expected.options), "the options the grammar gives");
  Require(parsed.message == expected.message, "the usage, after the first bad argument's line if any");
  return 0;
}
