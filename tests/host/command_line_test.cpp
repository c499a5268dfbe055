// The command line a shortcut starts Harkwell with.
#include "ui/command_line.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <vector>

namespace harkwell::ui {
namespace {

using Arguments = std::vector<std::u16string>;

// Files that exist: these names, found in C:\s.
CommandLine Parse(const Arguments& arguments) {
  return ParseCommandLine(arguments, [](const std::u16string& path) -> std::optional<std::u16string> {
    if (path != u"a.wav" && path != u"b.wav" && path != u"\u0437\u0432.wav" && path != u"a\xD800.wav")
      return std::nullopt;
    return u"C:\\s\\" + path;
  });
}

TEST(CommandLine, OptionsInAnyCaseAndEitherPrefixApplyAndTheLastRepeatWins) {
  const CommandLine plain = Parse({});
  EXPECT_EQ(plain.kind, StartKind::kRun);
  EXPECT_FALSE(plain.options.joinSoundPath || plain.options.leaveSoundPath || plain.options.flashJoin ||
               plain.options.flashLeave || plain.options.begin || plain.options.wait || plain.options.tray);

  const CommandLine all = Parse({u"-JOIN", u"a.wav", u"/FlashLeave", u"/begin", u"-Tray", u"/join",
                                 u"\u0437\u0432.wav", u"/leave", u"b.wav", u"-flashjoin", u"/WAIT"});
  ASSERT_EQ(all.kind, StartKind::kRun);
  EXPECT_EQ(all.options.joinSoundPath, u"C:\\s\\\u0437\u0432.wav");
  EXPECT_EQ(all.options.leaveSoundPath, u"C:\\s\\b.wav");
  // A name Windows allows, though no UTF-8 could carry it.
  EXPECT_EQ(Parse({u"/join", u"a\xD800.wav"}).options.joinSoundPath, u"C:\\s\\a\xD800.wav");
  EXPECT_TRUE(all.options.flashJoin && all.options.flashLeave && all.options.begin && all.options.wait &&
              all.options.tray);
}

TEST(CommandLine, TheFirstBadArgumentIsNamedAndHelpComesBeforeEverything) {
  const struct {
    Arguments arguments;
    std::u16string firstLine;
  } bad[] = {
      {{u"/begin", u"/bogus", u"/join"}, u"\"/bogus\" is not an option of Harkwell."},
      {{u"tray"}, u"\"tray\" is not an option of Harkwell."},
      {{u"/tray", u"/leave"}, u"\"/leave\" needs the path of a WAV file after it."},
      {{u"/join", u"missing.wav", u"/x"}, u"\"missing.wav\" names no file that can be opened."},
      {{u"/join", u"/begin"}, u"\"/begin\" names no file that can be opened."},
  };
  for (const auto& [arguments, firstLine] : bad) {
    const CommandLine parsed = Parse(arguments);
    EXPECT_EQ(parsed.kind, StartKind::kShowError);
    EXPECT_EQ(parsed.message.substr(0, parsed.message.find(u'\n')), firstLine);
    EXPECT_NE(parsed.message.find(u"/flashleave"), std::u16string::npos);  // the usage follows
  }
  for (const Arguments& help : {Arguments{u"/bogus", u"-?"}, Arguments{u"/join", u"missing.wav", u"/?"}}) {
    const CommandLine parsed = Parse(help);
    EXPECT_EQ(parsed.kind, StartKind::kShowUsage);
    EXPECT_EQ(parsed.message.rfind(u"Usage:", 0), 0u);
  }
  // Each option /? shows is in README.md's list ("- `/join PATH`, `/leave PATH`") and README.txt's.
  const std::u16string usage = Parse({u"/?"}).message;
  for (const char* readme : {"README.md", "packaging/README.txt"}) {
    std::ifstream file(std::string(HARKWELL_SOURCE_DIR "/") + readme);
    const std::string text{std::istreambuf_iterator<char>(file), {}};
    for (std::size_t at = usage.find(u"\n/"); at != std::u16string::npos; at = usage.find(u"\n/", at + 1)) {
      const std::string option(usage.begin() + at + 1, usage.begin() + usage.find_first_of(u" \t", at));
      const auto listed = [&](const char* before) { return text.find(before + option) != std::string::npos; };
      EXPECT_TRUE(listed("- `") || listed(", `") || listed("\n    ")) << readme << " lists no " << option;
    }
  }
}

}  // namespace
}  // namespace harkwell::ui
