// Starts the simulated game for end-to-end tests and writes its player table
// from outside, as the real game would change it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "monitor/roster.h"

namespace harkwell::test {

// The directory holding this test program, where simgame.exe is built too.
inline std::string ProgramDirectory() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string directory = path;
  return directory.substr(0, directory.find_last_of("\\/") + 1);
}

struct GameProcess {
  PROCESS_INFORMATION info{};
  HANDLE writer = nullptr;  // opened for writing the table
  HWND window = nullptr;
  std::uint8_t layout = 0;

  GameProcess() = default;
  GameProcess(const GameProcess&) = delete;
  GameProcess& operator=(const GameProcess&) = delete;
  ~GameProcess() { Stop(); }

  // Starts simgame.exe with the given build marker and waits (bounded) until
  // its window exists. Returns false when it did not come up.
  bool Start(const std::string& arguments, std::uint8_t tableLayout) {
    layout = tableLayout;
    std::string commandLine = "\"" + ProgramDirectory() + "simgame.exe\" " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info)) {
      return false;
    }
    for (int attempt = 0; attempt < 200 && window == nullptr; ++attempt) {
      HWND found = FindWindowA("DDWndClass", nullptr);
      DWORD owner = 0;
      if (found != nullptr) GetWindowThreadProcessId(found, &owner);
      if (found != nullptr && owner == info.dwProcessId)
        window = found;
      else
        Sleep(50);
    }
    writer = OpenProcess(PROCESS_VM_WRITE | PROCESS_VM_OPERATION | PROCESS_VM_READ, FALSE, info.dwProcessId);
    return window != nullptr && writer != nullptr;
  }

  void Write(std::uint32_t address, const std::string& bytes) {
    SIZE_T written = 0;
    WriteProcessMemory(writer, reinterpret_cast<void*>(std::uintptr_t{address}), bytes.data(), bytes.size(),
                       &written);
  }
  void Join(int slot, const std::string& name) {
    Write(NameAddress(layout, slot - 1), name + '\0');
    Write(OccupancyAddress(layout, slot - 1), std::string(1, '\1'));
  }
  void Leave(int slot) {
    Write(OccupancyAddress(layout, slot - 1), std::string(1, '\0'));
    Write(NameAddress(layout, slot - 1), std::string(1, '\0'));
  }

  std::string Title() const {
    char title[256] = {};
    GetWindowTextA(window, title, sizeof title);
    return title;
  }

  // Ends the game and waits for its process to be gone.
  void Stop() {
    if (writer != nullptr) CloseHandle(writer);
    writer = nullptr;
    if (info.hProcess != nullptr) {
      TerminateProcess(info.hProcess, 0);
      WaitForSingleObject(info.hProcess, 10000);
      CloseHandle(info.hProcess);
      CloseHandle(info.hThread);
    }
    info = {};
    window = nullptr;
  }
};

}  // namespace harkwell::test
