// The game's player table as it lies in the game's own memory: writes for
// each command, page protection for unreadable records, and careful reads for
// the window's roster display.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/simgame/commands.h"

namespace harkwell::simgame {

// A page-aligned block of this process's memory that holds the table. In the
// game `first_address` is where `data` itself lies; tests may place the block
// anywhere and pretend it starts at the game's addresses.
struct TableMemory {
  unsigned char* data = nullptr;
  std::uint64_t first_address = 0;
  std::size_t size = 0;
  std::size_t page_size = 4096;
  int layout = 0;
  // Pages this program made PAGE_NOACCESS; its own reads and writes go around them.
  std::vector<bool> no_access_pages;
};

TableMemory MakeTableMemory(unsigned char* data, std::uint64_t first_address, std::size_t size, int layout);

// Every record of both layouts must lie inside the block, and the block must
// be whole pages, or page protection would reach memory that is not the table.
bool CheckTableFits(const TableMemory& table, std::string& error);

// Applies every command but kHang and kExit, which are the caller's to carry out.
// Returns false when the command cannot be applied.
bool ApplyToTable(TableMemory& table, const Command& command);

// Nothing when the slot's occupancy byte lies on a page made unreadable.
std::optional<std::uint8_t> ReadOccupancy(const TableMemory& table, int slot);

// The slot's name up to its NUL, `max_length` bytes, the end of the block or
// an unreadable page, whichever comes first; so a name written from outside
// without a terminator cannot run the reader off the end.
std::string ReadName(const TableMemory& table, int slot, std::size_t max_length);

}  // namespace harkwell::simgame
