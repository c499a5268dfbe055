#include "platform/simulated_platform.h"

#include <algorithm>

namespace harkwell::simulated {
namespace {

SimulatedGame game;
platform::ProcessHandle nextHandle = 0x100;
// Which process each handle was opened on, by start time, so a handle
// outlives its process.
std::unordered_map<platform::ProcessHandle, std::uint64_t> handleProcess;
// Handles on other programs, by their place in game.others.
std::unordered_map<platform::ProcessHandle, std::size_t> handleOther;

template <typename Field>
OtherProgram* OtherWith(Field OtherProgram::*field, Field value) {
  for (OtherProgram& other : game.others) {
    if (other.*field == value) return &other;
  }
  return nullptr;
}

bool OnRunningGame(platform::ProcessHandle process) {
  const auto owner = handleProcess.find(process);
  return game.running && owner != handleProcess.end() && owner->second == game.startTime;
}

bool InRange(const std::vector<AddressRange>& ranges, std::uint32_t address) {
  return std::any_of(ranges.begin(), ranges.end(),
                     [address](const AddressRange& r) { return address >= r.begin && address < r.end; });
}

}  // namespace

SimulatedGame& Game() { return game; }

bool ReadFromGame(platform::ProcessHandle process, std::uint32_t address, std::uint8_t& value) {
  if (const auto other = handleOther.find(process); other != handleOther.end()) {
    value = address == kBuildMarkerAddress ? game.others[other->second].marker : 0;
    return true;
  }
  ++game.reads;
  if (game.readsBeforeExit == 0) EndProcess();
  if (game.readsBeforeExit > 0) --game.readsBeforeExit;
  const bool ok =
      OnRunningGame(process) && InRange(game.readable, address) && !InRange(game.unreadable, address);
  if (ok) value = PeekByte(address);
  return ok;
}

void ResetGame() {
  game = SimulatedGame{};
  handleProcess.clear();
  handleOther.clear();
  nextHandle = 0x100;
}

void WriteByte(std::uint32_t address, std::uint8_t value) {
  std::unique_ptr<Page>& page = game.pages[address / kPageSize];
  if (!page) page = std::make_unique<Page>();
  (*page)[address % kPageSize] = value;
}

void WriteBytes(std::uint32_t address, const std::string& bytes) {
  for (char c : bytes) WriteByte(address++, static_cast<std::uint8_t>(c));
}

std::uint8_t PeekByte(std::uint32_t address) {
  const auto it = game.pages.find(address / kPageSize);
  return it == game.pages.end() ? 0 : (*it->second)[address % kPageSize];
}

void EndProcess() {
  game.running = false;
  game.readsBeforeExit = -1;
}

void RestartProcess() {
  game.running = true;
  game.window += 0x10;
  game.processId += 4;
  ++game.startTime;
  game.title = kGameTitle;
  game.pages.clear();
}

void ReplaceWindow() {
  game.window += 0x10;
  game.title = kGameTitle;
}

}  // namespace harkwell::simulated

namespace harkwell::platform {

using simulated::Game;

std::vector<WindowHandle> TopLevelWindows(const char* className) {
  const auto& game = Game();
  std::vector<WindowHandle> windows;
  for (const auto& other : game.others) {
    if (other.windowClass == className) windows.push_back(other.window);
  }
  if (game.running && game.windowClass == className) windows.push_back(game.window);
  return windows;
}

std::string WindowTitle(WindowHandle window) {
  const auto& game = Game();
  if (game.running && window == game.window) return game.title;
  const auto* other = simulated::OtherWith(&simulated::OtherProgram::window, window);
  return other != nullptr ? other->title : "";
}

std::uint32_t WindowProcessId(WindowHandle window) {
  const auto& game = Game();
  if (game.running && window == game.window) return game.processId;
  const auto* other = simulated::OtherWith(&simulated::OtherProgram::window, window);
  return other != nullptr ? other->processId : 0;
}

WindowHandle FindProcessWindow(const char* className, std::uint32_t processId) {
  for (const WindowHandle window : TopLevelWindows(className)) {
    if (WindowProcessId(window) == processId) return window;
  }
  return 0;
}

bool IsProcessWindow(WindowHandle window, const char* className, std::uint32_t processId) {
  return window != 0 && FindProcessWindow(className, processId) == window;
}

ProcessHandle OpenProcessHandle(std::uint32_t access, bool, std::uint32_t processId) {
  auto& game = Game();
  game.openAccess = access;
  const auto* other = simulated::OtherWith(&simulated::OtherProgram::processId, processId);
  const bool opens = other != nullptr ? other->openable
                                      : game.running && game.processOpenable && processId == game.processId;
  if (!opens || access == 0) return 0;
  const ProcessHandle handle = simulated::nextHandle;
  simulated::nextHandle += 4;
  if (other != nullptr) {
    simulated::handleOther[handle] = static_cast<std::size_t>(other - game.others.data());
  } else {
    simulated::handleProcess[handle] = game.startTime;
  }
  game.openHandles.push_back(handle);
  return handle;
}

void CloseProcessHandle(ProcessHandle process) {
  auto& game = Game();
  ++game.closeCalls;
  std::erase(game.openHandles, process);
  simulated::handleProcess.erase(process);
  simulated::handleOther.erase(process);
}

bool ThisProcessElevated() { return Game().selfElevated; }

std::optional<bool> ProcessElevated(std::uint32_t processId) {
  const auto& game = Game();
  return game.running && processId == game.processId ? game.elevated : std::nullopt;
}

bool ProcessHasEnded(ProcessHandle process) {
  return simulated::handleProcess.contains(process) && !simulated::OnRunningGame(process);
}

std::uint64_t ProcessStartTime(ProcessHandle process) {
  const auto owner = simulated::handleProcess.find(process);
  return owner != simulated::handleProcess.end() ? owner->second : 0;
}

bool ReadProcessByte(ProcessHandle process, std::uint32_t address, std::uint8_t& value) {
  auto& game = Game();
  if (!game.flatMemory.empty()) {
    ++game.reads;
    const std::uint32_t offset = address - game.flatBase;
    if (offset >= game.flatMemory.size()) return false;
    value = game.flatMemory[offset];
    return true;
  }
  return simulated::ReadFromGame(process, address, value);
}

bool SetWindowTitle(WindowHandle window, const char* title) {
  auto& game = Game();
  if (game.recordTitles) game.titlesSet.push_back(title);
  if (auto* other = simulated::OtherWith(&simulated::OtherProgram::window, window)) {
    other->title = title;
    return true;
  }
  if (!game.running || window != game.window) return false;
  if (game.titleWritesToMiss > 0) {
    --game.titleWritesToMiss;
    return false;
  }
  game.title = title;
  return true;
}

void PlaySoundFile(const std::u16string& path, std::uint32_t flags) {
  Game().soundsPlayed.push_back({path, flags});
}

void FlashWindowWithInfo(const FlashWindowInfo& info) { Game().flashesRequested.push_back(info); }

}  // namespace harkwell::platform
