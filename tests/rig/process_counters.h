// Another process's resource counts, read in ways that work under Wine 8 too,
// where GetProcessHandleCount and GetGuiResources answer 0 for every process:
// kernel handles from the system handle list, GDI objects from the process's
// own GDI handle table (found through its PEB), and its windows as the
// visible part of its USER objects.
#pragma once

#include <windows.h>

#include <psapi.h>
#include <winternl.h>

#include <cstdint>
#include <vector>

namespace harkwell::test {

struct ProcessCounters {
  long handles = -1;  // -1: could not be read
  long gdiObjects = -1;
  long windows = -1;
  std::uint64_t privateBytes = 0;
};

namespace detail {

// One entry of the extended system handle list, whose process ids are as wide
// as Windows' own; the older list keeps them in 16 bits.
struct SystemHandleEntry {
  PVOID object;
  ULONG_PTR processId;
  ULONG_PTR handle;
  ACCESS_MASK access;
  USHORT creatorBackTraceIndex;
  USHORT objectType;
  ULONG attributes;
  ULONG reserved;
};

struct GdiHandleEntry {  // one slot of a process's GDI handle table
  std::uint64_t object;
  std::uint32_t owner;
  std::uint8_t type;
  std::uint8_t flags;
  std::uint16_t generation;
  std::uint64_t user;
};
static_assert(sizeof(GdiHandleEntry) == 24);
constexpr std::size_t kGdiHandleSlots = 0x10000;
#ifdef _WIN64
constexpr std::size_t kPebGdiTableOffset = 0xF8;
#else
constexpr std::size_t kPebGdiTableOffset = 0x94;
#endif

inline long CountHandles(DWORD processId) {
  constexpr auto kSystemExtendedHandleInformation = static_cast<SYSTEM_INFORMATION_CLASS>(64);
  std::vector<unsigned char> buffer(1 << 20);
  ULONG length = 0;
  while (NtQuerySystemInformation(kSystemExtendedHandleInformation, buffer.data(),
                                  static_cast<ULONG>(buffer.size()), &length) != 0) {
    if (buffer.size() >= (64u << 20)) return -1;
    buffer.resize(buffer.size() * 2);
  }
  const ULONG_PTR count = *reinterpret_cast<const ULONG_PTR*>(buffer.data());
  // The count, a reserved word, then the entries.
  const auto* entries = reinterpret_cast<const SystemHandleEntry*>(buffer.data() + 2 * sizeof(ULONG_PTR));
  long mine = 0;
  for (ULONG_PTR i = 0; i < count; ++i) mine += entries[i].processId == processId ? 1 : 0;
  return mine;
}

inline long CountGdiObjects(HANDLE process) {
  PROCESS_BASIC_INFORMATION basic{};
  if (NtQueryInformationProcess(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0)
    return -1;
  std::uintptr_t table = 0;
  if (!ReadProcessMemory(process, reinterpret_cast<const char*>(basic.PebBaseAddress) + kPebGdiTableOffset,
                         &table, sizeof table, nullptr) ||
      table == 0) {
    return -1;
  }
  std::vector<GdiHandleEntry> entries(kGdiHandleSlots);
  if (!ReadProcessMemory(process, reinterpret_cast<const void*>(table), entries.data(),
                         entries.size() * sizeof(GdiHandleEntry), nullptr)) {
    return -1;
  }
  long live = 0;
  for (const GdiHandleEntry& entry : entries) live += entry.type != 0 && entry.object != 0 ? 1 : 0;
  return live;
}

struct WindowCount {
  DWORD processId;
  long count;
};

inline BOOL CALLBACK CountChild(HWND window, LPARAM data) {
  auto* tally = reinterpret_cast<WindowCount*>(data);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == tally->processId) ++tally->count;
  return TRUE;
}

inline BOOL CALLBACK CountTopLevel(HWND window, LPARAM data) {
  CountChild(window, data);
  EnumChildWindows(window, CountChild, data);
  return TRUE;
}

}  // namespace detail

// `process` needs PROCESS_QUERY_INFORMATION | PROCESS_VM_READ.
inline ProcessCounters ReadProcessCounters(HANDLE process, DWORD processId) {
  ProcessCounters counters;
  counters.handles = detail::CountHandles(processId);
  counters.gdiObjects = detail::CountGdiObjects(process);
  detail::WindowCount windows{processId, 0};
  EnumWindows(detail::CountTopLevel, reinterpret_cast<LPARAM>(&windows));
  counters.windows = windows.count;
  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof memory;
  if (GetProcessMemoryInfo(process, &memory, sizeof memory)) counters.privateBytes = memory.PagefileUsage;
  return counters;
}

}  // namespace harkwell::test
