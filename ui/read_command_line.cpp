#include "ui/read_command_line.h"

#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

#include "platform/owned.h"

namespace harkwell::ui {
namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t));

std::u16string FromWide(const wchar_t* text) { return reinterpret_cast<const char16_t*>(text); }

void FreeArguments(LPWSTR* arguments) { LocalFree(arguments); }
using OwnedArguments = platform::Owned<LPWSTR*, FreeArguments>;

// The full path of `path`, when it names a file that can be opened for reading.
std::optional<std::u16string> OpenableFullPath(const std::wstring& path) {
  const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) return std::nullopt;
  std::wstring full(size, L'\0');
  const DWORD length = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) return std::nullopt;
  full.resize(length);
  const platform::OwnedFile opened(CreateFileW(full.c_str(), GENERIC_READ,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!opened) return std::nullopt;
  return FromWide(full.c_str());
}

// Neither rooted (\x, \\server) nor on a drive (C:x, C:\x).
bool IsRelative(const std::wstring& path) {
  return !path.empty() && path[0] != L'\\' && path[0] != L'/' && (path.size() < 2 || path[1] != L':');
}

std::wstring ProgramFolder() {
  std::wstring path(32768, L'\0');  // the longest path Windows has
  path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return path.substr(0, path.find_last_of(L"\\/") + 1);
}

// From the current folder, and for a relative path not found there, from
// Harkwell's own, so that a shortcut beside the zip's files can name them.
std::optional<std::u16string> FindSound(const std::u16string& path) {
  const std::wstring wide(path.begin(), path.end());
  if (std::optional<std::u16string> found = OpenableFullPath(wide)) return found;
  if (!IsRelative(wide)) return std::nullopt;
  return OpenableFullPath(ProgramFolder() + wide);
}

}  // namespace

CommandLine ReadCommandLine() {
  int count = 0;
  const OwnedArguments argv(CommandLineToArgvW(GetCommandLineW(), &count));
  std::vector<std::u16string> arguments;
  for (int i = 1; argv && i < count; ++i) arguments.push_back(FromWide(argv.get()[i]));
  return ParseCommandLine(arguments, FindSound);
}

}  // namespace harkwell::ui
