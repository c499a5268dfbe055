// Feeds any sequence of arguments to the command-line parser: empty ones,
// long ones, lone surrogates. A bad one is named in quotes at the start of
// the message; whatever the parser keeps is a path its finder gave it.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/require.h"
#include "ui/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace harkwell::ui;
  using harkwell::fuzz::Require;
  FuzzedDataProvider input(data, size);
  std::vector<std::u16string> arguments;
  while (input.remaining_bytes() > 0 && arguments.size() < 64) {
    std::u16string argument(input.ConsumeIntegralInRange<std::size_t>(0, 300), u'\0');
    for (char16_t& c : argument) c = input.ConsumeIntegral<char16_t>();
    arguments.push_back(std::move(argument));
  }
  // Every path whose first character is 'a' names a file.
  const CommandLine parsed = ParseCommandLine(arguments, [](const std::u16string& path) {
    return !path.empty() && path[0] == u'a' ? std::optional<std::u16string>(u"C:\\" + path) : std::nullopt;
  });
  switch (parsed.kind) {
    case StartKind::kRun:
      for (const auto& path : {parsed.options.joinSoundPath, parsed.options.leaveSoundPath})
        Require(!path || path->rfind(u"C:\\a", 0) == 0, "a kept path comes from the finder");
      break;
    case StartKind::kShowError:
      Require(parsed.message.size() > 2 && parsed.message[0] == u'"', "the bad argument first, quoted");
      break;
    case StartKind::kShowUsage:
      Require(parsed.message.rfind(u"Usage:", 0) == 0, "the usage");
      break;
  }
  return 0;
}
