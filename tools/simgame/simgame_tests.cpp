#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tools/simgame/commands.h"
#include "tools/simgame/simgame_protocol.h"
#include "tools/simgame/table.h"

namespace harkwell::simgame {
namespace {

Command MustParse(std::string_view text) {
  std::string error;
  std::optional<Command> command = ParseCommand(text, error);
  EXPECT_TRUE(command.has_value()) << text << ": " << error;
  return command.value_or(Command{});
}

TEST(ParseCommandTest, ReadsEveryKindAndFormatsItBack) {
  for (const char* text : {"join 3 Spaz", "leave 32", "rename 1 Jazz|2", "occupancy 4 200", "noaccess 7",
                           "unterminated 9", "hang 6000", "newwindow", "exit"}) {
    EXPECT_EQ(FormatCommand(MustParse(text)), text);
  }
  const Command occupancy = MustParse("occupancy 4 0xFF");
  EXPECT_EQ(occupancy.kind, CommandKind::kOccupancy);
  EXPECT_EQ(occupancy.slot, 4);
  EXPECT_EQ(occupancy.byte_value, 0xFF);
  EXPECT_EQ(MustParse("occupancy 4 0Xe8").byte_value, 0xE8);
}

TEST(ParseCommandTest, NameIsTheRestOfTheLineByteForByte) {
  EXPECT_EQ(MustParse("join 2   Lori\xA7x the  Great ").name, "Lori\xA7x the  Great ");
  EXPECT_EQ(MustParse("rename\t5\tA|b").name, "A|b");

  const std::string long_name(2000, 'n');
  EXPECT_EQ(MustParse("join 1 " + long_name).name.size(), kLongestName);
}

TEST(ParseCommandTest, RejectsMalformedCommands) {
  for (const char* text : {"",
                           "jump 3",
                           "join 0 Spaz",
                           "join 33 Spaz",
                           "join x Spaz",
                           "join 3",
                           "join 3   ",
                           "leave",
                           "leave 3 extra",
                           "occupancy 3",
                           "occupancy 3 256",
                           "occupancy 3 -1",
                           "occupancy 3 0x",
                           "occupancy 3 +5",
                           "occupancy 3 12ms",
                           "occupancy 3 99999999999999999999",
                           "hang",
                           "hang 60001",
                           "exit now",
                           "JOIN 3 Spaz"}) {
    std::string error;
    EXPECT_FALSE(ParseCommand(text, error).has_value()) << text;
    EXPECT_FALSE(error.empty()) << text;
  }
  std::string error;
  EXPECT_FALSE(ParseCommand(std::string_view("join 3 A\0B", 10), error).has_value());
}

TEST(ParseScenarioTest, SkipsCommentsAndBlankLinesAndHandlesCrLf) {
  std::string error;
  const auto steps = ParseScenario(
      "# players\r\n\r\n   \n100 join 3 Spaz\r\n  # indented comment\n0 leave 3\n250 exit", "s.txt", error);
  ASSERT_TRUE(steps.has_value()) << error;
  ASSERT_EQ(steps->size(), 3u);
  EXPECT_EQ((*steps)[0].delay_ms, 100u);
  EXPECT_EQ((*steps)[0].command.name, "Spaz");
  EXPECT_EQ((*steps)[1].command.kind, CommandKind::kLeave);
  EXPECT_EQ((*steps)[2].delay_ms, 250u);
  EXPECT_EQ((*steps)[2].command.kind, CommandKind::kExit);
}

TEST(ParseScenarioTest, ABadLineAnywhereRejectsTheFileAndNamesTheLine) {
  std::string error;
  EXPECT_FALSE(ParseScenario("100 join 3 Spaz\n# ok\n100 leave 40\n100 exit\n", "game.txt", error));
  EXPECT_EQ(error.rfind("game.txt:3: ", 0), 0u) << error;

  EXPECT_FALSE(ParseScenario("join 3 Spaz\n", "a.txt", error));
  EXPECT_EQ(error.rfind("a.txt:1: ", 0), 0u) << error;
  EXPECT_FALSE(ParseScenario("86400001 exit\n", "a.txt", error));
}

// A table block placed where the game's addresses would be, so the address
// formulas are exercised exactly as in the game.
class TableTest : public ::testing::Test {
 protected:
  static constexpr std::uint64_t kFirstAddress = 0x5A4000;
  // Whole 64 KiB blocks from kFirstAddress to the last build's last record.
  static constexpr std::size_t kSize =
      (OccupancyAddress(kGameLayouts.size() - 1, kSlotCount) - kFirstAddress) / 0x10000 * 0x10000 + 0x10000;

  void SetUp() override {
    data_ =
        static_cast<unsigned char*>(VirtualAlloc(nullptr, kSize, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    ASSERT_NE(data_, nullptr);
  }
  void TearDown() override { VirtualFree(data_, 0, MEM_RELEASE); }

  TableMemory Table(int layout) { return MakeTableMemory(data_, kFirstAddress, kSize, layout); }
  unsigned char& At(std::uint32_t address) { return data_[address - kFirstAddress]; }
  DWORD ProtectionAt(std::uint32_t address) {
    MEMORY_BASIC_INFORMATION info{};
    VirtualQuery(&At(address), &info, sizeof info);
    return info.Protect;
  }

  unsigned char* data_ = nullptr;
};

TEST_F(TableTest, JoinRenameLeaveWriteTheRecordAtTheLayoutsAddresses) {
  for (int layout : {0, 1}) {
    TableMemory table = Table(layout);
    ASSERT_TRUE(ApplyToTable(table, MustParse("join 2 Jazz|2")));
    EXPECT_EQ(At(OccupancyAddress(layout, 2)), 1);
    EXPECT_EQ(std::memcmp(&At(NameAddress(layout, 2)), "Jazz|2", 7), 0);
    EXPECT_EQ(ReadName(table, 2, 100), "Jazz|2");

    ASSERT_TRUE(ApplyToTable(table, MustParse("rename 2 Ab")));
    EXPECT_EQ(ReadName(table, 2, 100), "Ab");
    EXPECT_EQ(At(OccupancyAddress(layout, 2)), 1);

    ASSERT_TRUE(ApplyToTable(table, MustParse("leave 2")));
    EXPECT_EQ(At(OccupancyAddress(layout, 2)), 0);
    EXPECT_EQ(At(NameAddress(layout, 2) + 3), 0) << "old name bytes left behind";
    // The neighbours were never touched.
    EXPECT_EQ(At(OccupancyAddress(layout, 1)), 0);
    EXPECT_EQ(At(OccupancyAddress(layout, 3)), 0);
  }
  EXPECT_EQ(At(OccupancyAddress(0, 2)), 0) << "layout 1 writes must not land on layout 0";
}

TEST_F(TableTest, LongestNameStopsJustBeforeTheOccupancyByte) {
  TableMemory table = Table(0);
  ASSERT_TRUE(ApplyToTable(table, MustParse("join 32 " + std::string(3000, 'z'))));
  EXPECT_EQ(At(OccupancyAddress(0, 32) - 1), 0);
  EXPECT_EQ(At(OccupancyAddress(0, 32)), 1);
  EXPECT_EQ(ReadName(table, 32, 5000).size(), kLongestName);
  ASSERT_TRUE(ApplyToTable(table, MustParse("occupancy 32 0x80")));
  EXPECT_EQ(ReadOccupancy(table, 32), 0x80);
}

TEST_F(TableTest, NoAccessRecordIsReallyUnreadableYetNeighboursStillWork) {
  TableMemory table = Table(0);
  ASSERT_TRUE(ApplyToTable(table, MustParse("join 4 Spaz")));
  ASSERT_TRUE(ApplyToTable(table, MustParse("noaccess 4")));
  EXPECT_EQ(ProtectionAt(NameAddress(0, 4)), static_cast<DWORD>(PAGE_NOACCESS));
  EXPECT_EQ(ProtectionAt(OccupancyAddress(0, 4)), static_cast<DWORD>(PAGE_NOACCESS));
  EXPECT_FALSE(ReadOccupancy(table, 4).has_value());
  EXPECT_EQ(ReadName(table, 4, 100), "");

  // Slot 5's name starts on the page of slot 4's occupancy byte.
  ASSERT_TRUE(ApplyToTable(table, MustParse("join 5 Bunny")));
  ASSERT_TRUE(ApplyToTable(table, MustParse("leave 4")));
  EXPECT_EQ(ProtectionAt(NameAddress(0, 5)), static_cast<DWORD>(PAGE_NOACCESS));
  EXPECT_FALSE(ReadOccupancy(table, 5).has_value());
  EXPECT_EQ(ReadOccupancy(table, 6), 0) << "a page beyond the record was protected";
  // Make the pages readable again so the test can look behind them.
  DWORD old = 0;
  ASSERT_TRUE(VirtualProtect(data_, kSize, PAGE_READWRITE, &old));
  EXPECT_EQ(std::memcmp(&At(NameAddress(0, 5)), "Bunny", 6), 0);
  EXPECT_EQ(At(OccupancyAddress(0, 4)), 0);
}

TEST_F(TableTest, UnterminatedNameRunsToTheEndOfTheBlockAndReadsStayBounded) {
  TableMemory table = Table(1);
  ASSERT_TRUE(ApplyToTable(table, MustParse("unterminated 31")));
  for (std::uint64_t address = NameAddress(1, 31); address < kFirstAddress + kSize; ++address) {
    ASSERT_NE(data_[address - kFirstAddress], 0) << std::hex << address;
  }
  EXPECT_EQ(ReadName(table, 31, 64).size(), 64u);
  EXPECT_EQ(ReadName(table, 32, 1000000).size(), kFirstAddress + kSize - NameAddress(1, 32));
  EXPECT_EQ(At(NameAddress(1, 31) - 1), 0) << "bytes before the slot were touched";
}

TEST_F(TableTest, RejectsBlocksThatMissAnAddressOrAreNotWholePages) {
  std::string error;
  EXPECT_TRUE(CheckTableFits(Table(0), error)) << error;
  TableMemory too_short = MakeTableMemory(data_, kFirstAddress, 0x20000, 0);
  EXPECT_FALSE(CheckTableFits(too_short, error));
  EXPECT_NE(error.find("layout 1"), std::string::npos) << error;
  TableMemory too_high = MakeTableMemory(data_, NameAddress(0, 1) + 1, kSize, 0);
  EXPECT_FALSE(CheckTableFits(too_high, error));
  TableMemory ragged = MakeTableMemory(data_, kFirstAddress, kSize - 1, 0);
  EXPECT_FALSE(CheckTableFits(ragged, error));
}

TEST_F(TableTest, DemoLeavesTheTableEmptySoItCanLoop) {
  const std::vector<ScenarioStep> demo = DemoScenario();
  ASSERT_GE(demo.size(), 4u);
  TableMemory table = Table(0);
  bool saw_cleaned_characters = false;
  for (const ScenarioStep& step : demo) {
    EXPECT_GE(step.delay_ms, 1000u);
    ASSERT_TRUE(ApplyToTable(table, step.command)) << FormatCommand(step.command);
    saw_cleaned_characters |= step.command.name.find_first_of("|\xA7") != std::string::npos;
  }
  EXPECT_TRUE(saw_cleaned_characters);
  for (int slot = 1; slot <= kSlotCount; ++slot) EXPECT_EQ(ReadOccupancy(table, slot), 0) << slot;
}

}  // namespace
}  // namespace harkwell::simgame
