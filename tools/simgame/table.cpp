#include "tools/simgame/table.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "tools/simgame/simgame_protocol.h"

namespace harkwell::simgame {
namespace {

// The fill of an unterminated name: any non-zero byte will do.
constexpr unsigned char kUnterminatedFill = 'X';

std::size_t OffsetOf(const TableMemory& table, std::uint32_t address) {
  return static_cast<std::size_t>(address - table.first_address);
}

bool PageReadable(const TableMemory& table, std::size_t offset) {
  return !table.no_access_pages[offset / table.page_size];
}

// Runs `write` with every page in [offset, offset + count) writable, putting
// back the protection of pages made unreadable before, so later commands on a
// neighbouring record still work.
template <typename WriteFn>
bool WriteThroughProtection(TableMemory& table, std::size_t offset, std::size_t count, WriteFn write) {
  if (count == 0) return true;
  const std::size_t first_page = offset / table.page_size;
  const std::size_t last_page = (offset + count - 1) / table.page_size;
  std::vector<std::size_t> lifted;
  bool ok = true;
  for (std::size_t page = first_page; page <= last_page; ++page) {
    if (!table.no_access_pages[page]) continue;
    DWORD old = 0;
    if (!VirtualProtect(table.data + page * table.page_size, table.page_size, PAGE_READWRITE, &old)) {
      ok = false;
      break;
    }
    lifted.push_back(page);
  }
  if (ok) write(table.data + offset);
  for (std::size_t page : lifted) {
    DWORD old = 0;
    VirtualProtect(table.data + page * table.page_size, table.page_size, PAGE_NOACCESS, &old);
  }
  return ok;
}

bool WriteName(TableMemory& table, int slot, const std::string& name) {
  const std::size_t length = std::min(name.size(), kLongestName);
  return WriteThroughProtection(table, OffsetOf(table, NameAddress(table.layout, slot)), length + 1,
                                [&](unsigned char* target) {
                                  std::memcpy(target, name.data(), length);
                                  target[length] = 0;
                                });
}

bool WriteOccupancy(TableMemory& table, int slot, std::uint8_t value) {
  return WriteThroughProtection(table, OffsetOf(table, OccupancyAddress(table.layout, slot)), 1,
                                [&](unsigned char* target) { *target = value; });
}

// A real game reuses a freed record, so a leaving player's name is wiped.
bool ClearName(TableMemory& table, int slot) {
  return WriteThroughProtection(table, OffsetOf(table, NameAddress(table.layout, slot)), kLongestName + 1,
                                [](unsigned char* target) { std::memset(target, 0, kLongestName + 1); });
}

bool MakeRecordUnreadable(TableMemory& table, int slot) {
  const std::size_t first = OffsetOf(table, NameAddress(table.layout, slot));
  const std::size_t last = OffsetOf(table, OccupancyAddress(table.layout, slot));
  for (std::size_t page = first / table.page_size; page <= last / table.page_size; ++page) {
    DWORD old = 0;
    if (!VirtualProtect(table.data + page * table.page_size, table.page_size, PAGE_NOACCESS, &old)) {
      return false;
    }
    table.no_access_pages[page] = true;
  }
  return true;
}

bool FillUnterminated(TableMemory& table, int slot) {
  const std::size_t offset = OffsetOf(table, NameAddress(table.layout, slot));
  return WriteThroughProtection(table, offset, table.size - offset, [&](unsigned char* target) {
    std::memset(target, kUnterminatedFill, table.size - offset);
  });
}

}  // namespace

TableMemory MakeTableMemory(unsigned char* data, std::uint64_t first_address, std::size_t size, int layout) {
  SYSTEM_INFO info{};
  GetSystemInfo(&info);
  TableMemory table;
  table.data = data;
  table.first_address = first_address;
  table.size = size;
  table.page_size = info.dwPageSize;
  table.layout = layout;
  table.no_access_pages.assign((size + table.page_size - 1) / table.page_size, false);
  return table;
}

bool CheckTableFits(const TableMemory& table, std::string& error) {
  const auto hex = [](std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
    return std::string(text);
  };
  const std::uint64_t end = table.first_address + table.size;
  const std::string block = "table memory " + hex(table.first_address) + "-" + hex(end);
  if (reinterpret_cast<std::uintptr_t>(table.data) % table.page_size != 0 ||
      table.size % table.page_size != 0) {
    error = block + " is not made of whole pages";
    return false;
  }
  for (std::uint8_t layout = 0; layout < kGameLayouts.size(); ++layout) {
    const std::uint64_t lowest = NameAddress(layout, 1);
    const std::uint64_t highest = OccupancyAddress(layout, kSlotCount);
    if (lowest < table.first_address || highest >= end) {
      error = block + " does not hold layout " + std::to_string(layout) + " (" + hex(lowest) + "-" +
              hex(highest) + ")";
      return false;
    }
  }
  return true;
}

bool ApplyToTable(TableMemory& table, const Command& command) {
  if (command.slot < 1 || command.slot > kSlotCount) return false;
  switch (command.kind) {
    case CommandKind::kJoin:
      // Name first: a reader that sees the slot occupied also finds its name.
      return WriteName(table, command.slot, command.name) && WriteOccupancy(table, command.slot, 1);
    case CommandKind::kLeave:
      return WriteOccupancy(table, command.slot, 0) && ClearName(table, command.slot);
    case CommandKind::kRename:
      return WriteName(table, command.slot, command.name);
    case CommandKind::kOccupancy:
      return WriteOccupancy(table, command.slot, command.byte_value);
    case CommandKind::kNoAccess:
      return MakeRecordUnreadable(table, command.slot);
    case CommandKind::kUnterminated:
      return FillUnterminated(table, command.slot);
    case CommandKind::kHang:
    case CommandKind::kNewWindow:
    case CommandKind::kExit:
      return false;  // the game's to carry out, not the table's
  }
  return false;
}

std::optional<std::uint8_t> ReadOccupancy(const TableMemory& table, int slot) {
  const std::size_t offset = OffsetOf(table, OccupancyAddress(table.layout, slot));
  if (!PageReadable(table, offset)) return std::nullopt;
  return table.data[offset];
}

std::string ReadName(const TableMemory& table, int slot, std::size_t max_length) {
  std::string name;
  for (std::size_t offset = OffsetOf(table, NameAddress(table.layout, slot));
       offset < table.size && name.size() < max_length && PageReadable(table, offset); ++offset) {
    const unsigned char byte = table.data[offset];
    if (byte == 0) break;
    name.push_back(static_cast<char>(byte));
  }
  return name;
}

}  // namespace harkwell::simgame
