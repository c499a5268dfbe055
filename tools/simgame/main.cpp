// A stand-in for Jazz Jackrabbit 2: a "DDWndClass" window and a player table at
// the game's fixed addresses, changed by a timed scenario or by commands sent
// to the window, so the monitor can be run end to end without the game.
#include <windows.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/simgame/commands.h"
#include "tools/simgame/simgame_protocol.h"
#include "tools/simgame/table.h"

namespace harkwell::simgame {
namespace {

constexpr std::uintptr_t kImageBase = 0x400000;
constexpr std::size_t kHeaderPageSize = 0x1000;
constexpr int kClientWidth = 320;
constexpr int kClientHeight = 200;
// A command is one line; this leaves room for the longest name and then some.
constexpr DWORD kMaxCopyDataBytes = 4096;
constexpr long kMaxScenarioBytes = 16L * 1024 * 1024;
// Commands waiting for the next title write; more than a tick ever needs.
constexpr std::size_t kMaxQueuedCommands = 64;
static_assert(kQueryTitleWrites == WM_APP + 1);
// Posted to itself by "newwindow", so that the window is replaced only after
// the command's sender has its answer.
constexpr UINT kReplaceWindow = WM_APP + 2;

static_assert(kBuildMarkerAddress == kImageBase + offsetof(IMAGE_DOS_HEADER, e_lfanew));

// The table lives in .bss of an image linked at 0x400000, which puts the
// game's fixed addresses inside it (VirtualAlloc cannot reserve that range in
// a 64-bit process). Page alignment keeps "noaccess" from reaching other data.
alignas(4096) unsigned char g_table_block[3 * 1024 * 1024];

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileOwner = std::unique_ptr<std::FILE, FileCloser>;

struct Options {
  std::uint8_t marker = kGameLayouts[0].marker;
  std::string title = kGameTitle;
  std::string scenario_path;
  bool demo = false;
  std::string log_path;
};

struct Game {
  TableMemory table;
  std::uint8_t marker = 0;
  std::string title;
  FileOwner log;
  HWND window = nullptr;
  std::vector<ScenarioStep> steps;
  bool loop_steps = false;
  std::size_t next_step = 0;
  ULONGLONG next_step_due = 0;
  LRESULT title_writes = 0;
  std::vector<Command> queued;
};

constexpr char kUsage[] =
    "usage: simgame [--marker N] [--title TEXT] [--scenario FILE | --demo] [--log FILE]\n"
    "  --marker N       build marker byte (decimal or 0x hex, default the first build's);\n"
    "                   a known build's marker puts the table at its layout, any other at layout 0\n"
    "  --title TEXT     the window's title, for another program of the game's window class\n"
    "                   (default the game's own)\n"
    "  --scenario FILE  timed steps, one '<delay_ms> <command>' a line\n"
    "  --demo           built-in players coming and going, repeated forever\n"
    "  --log FILE       append one timestamped line per applied change\n";

std::optional<Options> ParseOptions(int argc, char** argv, std::string& error) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view option = argv[i];
    const bool has_value = i + 1 < argc;
    if (option == "--demo") {
      options.demo = true;
    } else if (option == "--marker" && has_value) {
      const std::optional<std::uint32_t> marker = ParseNumber(argv[++i], 255);
      if (!marker) {
        error = "--marker needs a byte value 0..255, got '" + std::string(argv[i]) + "'";
        return std::nullopt;
      }
      options.marker = static_cast<std::uint8_t>(*marker);
    } else if (option == "--title" && has_value) {
      options.title = argv[++i];
    } else if (option == "--scenario" && has_value) {
      options.scenario_path = argv[++i];
    } else if (option == "--log" && has_value) {
      options.log_path = argv[++i];
    } else {
      error = "unknown option or missing value: " + std::string(option);
      return std::nullopt;
    }
  }
  if (options.demo && !options.scenario_path.empty()) {
    error = "--demo and --scenario cannot be used together";
    return std::nullopt;
  }
  return options;
}

std::optional<std::string> ReadWholeFile(const std::string& path, std::string& error) {
  FileOwner file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    error = "cannot open " + path;
    return std::nullopt;
  }
  std::string contents;
  char buffer[4096];
  std::size_t count = 0;
  while ((count = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
    contents.append(buffer, count);
    if (contents.size() > static_cast<std::size_t>(kMaxScenarioBytes)) {
      error = path + " is larger than " + std::to_string(kMaxScenarioBytes) + " bytes";
      return std::nullopt;
    }
  }
  if (std::ferror(file.get())) {
    error = "cannot read " + path;
    return std::nullopt;
  }
  return contents;
}

// The marker is the low byte of e_lfanew. Changing it alone would leave the
// in-memory image with a broken header, and the x64 unwinder (and anything
// else that looks up this module's directories) reads that header; so the NT
// headers are moved to the new offset too whenever they fit there.
bool WriteBuildMarker(std::uint8_t marker, std::string& error) {
  auto* image = reinterpret_cast<unsigned char*>(GetModuleHandleA(nullptr));
  if (reinterpret_cast<std::uintptr_t>(image) != kImageBase) {
    error = "image not loaded at 0x400000; link with a fixed image base";
    return false;
  }
  auto* dos_header = reinterpret_cast<IMAGE_DOS_HEADER*>(image);
  const auto old_offset = static_cast<std::size_t>(dos_header->e_lfanew);
  const auto* nt_headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(image + old_offset);
  const std::size_t headers_size = offsetof(IMAGE_NT_HEADERS, OptionalHeader) +
                                   nt_headers->FileHeader.SizeOfOptionalHeader +
                                   nt_headers->FileHeader.NumberOfSections * sizeof(IMAGE_SECTION_HEADER);

  DWORD old_protect = 0;
  if (!VirtualProtect(image, kHeaderPageSize, PAGE_READWRITE, &old_protect)) {
    error = "cannot make the image header writable (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  const bool headers_fit = marker >= sizeof(IMAGE_DOS_HEADER) && marker + headers_size <= kHeaderPageSize;
  if (headers_fit) {
    std::memmove(image + marker, image + old_offset, headers_size);
    dos_header->e_lfanew = marker;
  } else {
    image[kBuildMarkerAddress - kImageBase] = marker;
    std::fprintf(stderr,
                 "simgame: warning: marker 0x%02X overlaps the DOS header; this image's own "
                 "header no longer parses\n",
                 marker);
  }
  DWORD ignored = 0;
  VirtualProtect(image, kHeaderPageSize, old_protect, &ignored);
  return true;
}

void LogChange(Game& game, const Command& command) {
  if (!game.log) return;
  const std::string text = FormatCommand(command);
  std::fprintf(game.log.get(), "%llu %s\n", static_cast<unsigned long long>(GetTickCount64()), text.c_str());
  // A reader may compare this log with what it saw while the game still runs.
  std::fflush(game.log.get());
}

bool ApplyCommand(Game& game, const Command& command) {
  // Posted, so a sender of the command gets its answer first.
  if (command.kind == CommandKind::kExit) {
    LogChange(game, command);
    PostMessageA(game.window, WM_CLOSE, 0, 0);
    return true;
  }
  if (command.kind == CommandKind::kNewWindow) {
    LogChange(game, command);
    PostMessageA(game.window, kReplaceWindow, 0, 0);
    return true;
  }
  if (command.kind == CommandKind::kHang) {
    // A game that stops answering: nothing is handled meanwhile. Sent to us,
    // the sender has its answer first, and nothing it sends next comes before.
    ReplyMessage(TRUE);
    Sleep(command.milliseconds);
    return true;
  }
  if (!ApplyToTable(game.table, command)) return false;
  LogChange(game, command);
  InvalidateRect(game.window, nullptr, TRUE);
  return true;
}

BOOL ApplyCopyData(Game& game, const COPYDATASTRUCT* data) {
  if (data == nullptr || (data->dwData != kCopyDataTag && data->dwData != kQueueForNextTitleTag) ||
      data->cbData > kMaxCopyDataBytes || (data->cbData > 0 && data->lpData == nullptr)) {
    return FALSE;
  }
  std::string_view text(static_cast<const char*>(data->lpData), data->cbData);
  // Senders often include the C string's NUL or a line end.
  while (!text.empty() && (text.back() == '\0' || text.back() == '\r' || text.back() == '\n')) {
    text.remove_suffix(1);
  }
  std::string error;
  const std::optional<Command> command = ParseCommand(text, error);
  if (!command) {
    std::fprintf(stderr, "simgame: rejected command: %s\n", error.c_str());
    return FALSE;
  }
  if (data->dwData == kQueueForNextTitleTag) {
    if (game.queued.size() >= kMaxQueuedCommands) return FALSE;
    game.queued.push_back(*command);
    return TRUE;
  }
  return ApplyCommand(game, *command) ? TRUE : FALSE;
}

// A title write ticks the game's clock and lands the queued commands, before
// the writer, which waits for this to finish, goes on to read the table. A
// queued hang is the stall of a game busy right after taking the title: it
// is returned here, to begin before the writer has its answer.
DWORD OnTitleWrite(Game& game) {
  ++game.title_writes;
  std::vector<Command> queued;
  queued.swap(game.queued);
  DWORD stall = 0;
  for (const Command& command : queued) {
    if (command.kind == CommandKind::kNewWindow) {
      LogChange(game, command);
      PostMessageA(game.window, kReplaceWindow, 0, 0);
      return true;
    }
    if (command.kind == CommandKind::kHang) {
      stall += command.milliseconds;
    } else if (!ApplyCommand(game, command)) {
      std::fprintf(stderr, "simgame: queued %s could not be applied\n", FormatCommand(command).c_str());
    }
  }
  return stall;
}

void PaintRoster(const Game& game, HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  SelectObject(dc, GetStockObject(ANSI_FIXED_FONT));
  SetBkMode(dc, TRANSPARENT);
  TEXTMETRICA metrics{};
  GetTextMetricsA(dc, &metrics);
  const int line_height = metrics.tmHeight > 0 ? metrics.tmHeight : 14;
  RECT client{};
  GetClientRect(window, &client);
  const int max_lines = client.bottom / line_height;

  std::vector<std::string> lines;
  char header[64];
  std::snprintf(header, sizeof header, "marker 0x%02X, table layout %d", game.marker, game.table.layout);
  lines.emplace_back(header);
  int hidden = 0;
  for (int slot = 1; slot <= kSlotCount; ++slot) {
    const std::optional<std::uint8_t> occupancy = ReadOccupancy(game.table, slot);
    if (occupancy && *occupancy == 0) continue;
    std::string line = (slot < 10 ? " " : "") + std::to_string(slot) + ": ";
    if (!occupancy) {
      line += "(unreadable)";
    } else {
      line += ReadName(game.table, slot, 32);
      if (*occupancy != 1) line += " [" + std::to_string(*occupancy) + "]";
    }
    if (static_cast<int>(lines.size()) + 1 < max_lines) {
      lines.push_back(std::move(line));
    } else {
      ++hidden;
    }
  }
  if (hidden > 0) lines.push_back("  +" + std::to_string(hidden) + " more");

  int y = 2;
  for (const std::string& line : lines) {
    TextOutA(dc, 4, y, line.data(), static_cast<int>(line.size()));
    y += line_height;
  }
  EndPaint(window, &paint);
}

bool CreateGameWindow(Game& game, std::string& error);

LRESULT CALLBACK GameWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lparam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* game = reinterpret_cast<Game*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (game == nullptr) return DefWindowProcA(window, message, wparam, lparam);

  switch (message) {
    case WM_COPYDATA:
      return ApplyCopyData(*game, reinterpret_cast<const COPYDATASTRUCT*>(lparam));
    case WM_SETTEXT: {
      const DWORD stall = OnTitleWrite(*game);
      const LRESULT result = DefWindowProcA(window, message, wparam, lparam);
      if (stall > 0) {
        // The writer has its answer; whatever it sends next waits.
        ReplyMessage(result);
        Sleep(stall);
      }
      return result;
    }
    case kQueryTitleWrites:
      return game->title_writes;
    case kReplaceWindow: {
      // The new window first, so that the game always has one.
      std::string error;
      if (!CreateGameWindow(*game, error)) std::fprintf(stderr, "simgame: %s\n", error.c_str());
      if (game->window != window) DestroyWindow(window);
      return 0;
    }
    case WM_PAINT:
      PaintRoster(*game, window);
      return 0;
    case WM_DESTROY:
      if (window == game->window) {  // not a window the game has replaced
        game->window = nullptr;
        PostQuitMessage(0);
      }
      return 0;
    default:
      return DefWindowProcA(window, message, wparam, lparam);
  }
}

bool RegisterGameWindowClass(std::string& error) {
  WNDCLASSA window_class{};
  window_class.lpfnWndProc = GameWindowProc;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  window_class.lpszClassName = kGameWindowClass;
  if (!RegisterClassA(&window_class)) {
    error = "cannot register the window class (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  return true;
}

bool CreateGameWindow(Game& game, std::string& error) {
  const HINSTANCE instance = GetModuleHandleA(nullptr);
  constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW;
  RECT frame{0, 0, kClientWidth, kClientHeight};
  AdjustWindowRect(&frame, kStyle, FALSE);
  game.window =
      CreateWindowExA(0, kGameWindowClass, game.title.c_str(), kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                      frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance, &game);
  if (game.window == nullptr) {
    error = "cannot create the game window (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  ShowWindow(game.window, SW_SHOWNOACTIVATE);
  UpdateWindow(game.window);
  return true;
}

// Applies every scenario step that is due. Returns how long to wait for the
// next one, or INFINITE when the scenario is over.
DWORD RunDueSteps(Game& game) {
  while (game.window != nullptr && game.next_step < game.steps.size()) {
    const ULONGLONG now = GetTickCount64();
    if (now < game.next_step_due) return static_cast<DWORD>(game.next_step_due - now);
    const ScenarioStep& step = game.steps[game.next_step];
    if (!ApplyCommand(game, step.command)) {
      std::fprintf(stderr, "simgame: step %zu (%s) could not be applied\n", game.next_step + 1,
                   FormatCommand(step.command).c_str());
    }
    if (step.command.kind == CommandKind::kExit) {
      game.steps.clear();
      break;
    }
    ++game.next_step;
    if (game.next_step == game.steps.size() && game.loop_steps) game.next_step = 0;
    if (game.next_step < game.steps.size()) {
      game.next_step_due = now + game.steps[game.next_step].delay_ms;
    }
  }
  return INFINITE;
}

int RunMessageLoop(Game& game) {
  if (!game.steps.empty()) game.next_step_due = GetTickCount64() + game.steps.front().delay_ms;
  for (;;) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) return static_cast<int>(message.wParam);
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    const DWORD wait_ms = RunDueSteps(game);
    MsgWaitForMultipleObjectsEx(0, nullptr, wait_ms, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
}

int Fail(const std::string& error) {
  std::fprintf(stderr, "simgame: %s\n", error.c_str());
  return 1;
}

int Run(int argc, char** argv) {
  std::string error;
  const std::optional<Options> options = ParseOptions(argc, argv, error);
  if (!options) {
    std::fprintf(stderr, "simgame: %s\n%s", error.c_str(), kUsage);
    return 2;
  }

  Game game;
  game.marker = options->marker;
  game.title = options->title;
  if (options->demo) {
    game.steps = DemoScenario();
    game.loop_steps = true;
  } else if (!options->scenario_path.empty()) {
    const std::optional<std::string> text = ReadWholeFile(options->scenario_path, error);
    if (!text) return Fail(error);
    std::optional<std::vector<ScenarioStep>> steps = ParseScenario(*text, options->scenario_path, error);
    if (!steps) return Fail(error);
    game.steps = std::move(*steps);
  }
  if (!options->log_path.empty()) {
    game.log.reset(std::fopen(options->log_path.c_str(), "ab"));
    if (!game.log) return Fail("cannot open log file " + options->log_path);
  }

  game.table = MakeTableMemory(g_table_block, reinterpret_cast<std::uintptr_t>(g_table_block),
                               sizeof g_table_block, LayoutForMarker(options->marker));
  if (!CheckTableFits(game.table, error)) return Fail(error);
  if (!WriteBuildMarker(options->marker, error)) return Fail(error);
  if (!RegisterGameWindowClass(error) || !CreateGameWindow(game, error)) return Fail(error);
  return RunMessageLoop(game);
}

}  // namespace
}  // namespace harkwell::simgame

int main(int argc, char** argv) { return harkwell::simgame::Run(argc, argv); }
