// The options a shortcut starts Harkwell with. The syntax is fixed, so that a
// shortcut keeps working from one version to the next. Parsing only, with no
// Windows calls: the host tests and a fuzzer reach it.
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace harkwell::ui {

// Applied at start-up through the handlers the controls use.
struct StartOptions {
  // Absolute paths, as the sound chooser would set them; each ticks its Play box.
  std::optional<std::u16string> joinSoundPath;
  std::optional<std::u16string> leaveSoundPath;
  bool flashJoin = false;
  bool flashLeave = false;
  bool begin = false;   // pressed once everything else is applied
  bool wait = false;    // as begin, but no game running yet means waiting for one
  bool tray = false;    // start hidden in the notification area
  bool notify = false;  // while in the tray, each announcement also as a Windows notification
};

enum class StartKind {
  kRun,        // with the options
  kShowUsage,  // /? anywhere: the usage, then the program ends
  kShowError,  // a bad argument: the message, then a plain start
};

struct CommandLine {
  StartKind kind = StartKind::kRun;
  StartOptions options;    // for kRun
  std::u16string message;  // the box's text, for kShowUsage and kShowError
};

// The absolute path of the file `path` names, when that file can be opened
// for reading; relative paths are the finder's to resolve.
using FindSoundFile = std::function<std::optional<std::u16string>(const std::u16string& path)>;

// `arguments` as the command line splits them, without the program's name.
// Options are case-insensitive and start with '/' or '-'; the argument after
// /join or /leave is always its path; a repeated option's last one wins.
CommandLine ParseCommandLine(std::span<const std::u16string> arguments, const FindSoundFile& find);

}  // namespace harkwell::ui
