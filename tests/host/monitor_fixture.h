// Shared set-up for host tests: a fresh simulated game and fresh program state.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "monitor/attach.h"
#include "monitor/change.h"
#include "monitor/roster.h"
#include "monitor/tick.h"
#include "notify/alerts.h"
#include "notify/title.h"
#include "platform/simulated_platform.h"
#include "tests/program_state.h"

namespace harkwell {

using Titles = std::vector<std::string>;

class MonitorTest : public ::testing::Test {
 public:
  void SetUp() override {
    simulated::ResetGame();
    ResetProgramState();
  }

  simulated::SimulatedGame& game() { return simulated::Game(); }

  // Writes what the game writes when a player takes slot `slot`.
  void Join(int slot, const std::string& name, std::uint8_t layout = 0, std::uint8_t occupancy = 1) {
    simulated::WriteBytes(NameAddress(layout, slot), name + '\0');
    simulated::WriteByte(OccupancyAddress(layout, slot), occupancy);
  }
  void Leave(int slot, std::uint8_t layout = 0) {
    simulated::WriteByte(OccupancyAddress(layout, slot), 0);
    simulated::WriteByte(NameAddress(layout, slot), 0);
  }
  // The slot empties and the record keeps the name, as the game may leave it.
  void Vacate(int slot) { simulated::WriteByte(OccupancyAddress(0, slot), 0); }
  void Rename(int slot, const std::string& name, std::uint8_t layout = 0) {
    simulated::WriteBytes(NameAddress(layout, slot), name + '\0');
  }
  void SetMarker(std::uint8_t marker) { simulated::WriteByte(kBuildMarkerAddress, marker); }
  // One byte of the game's memory that no read can reach.
  void Unreadable(std::uint32_t address) { game().unreadable.push_back({address, address + 1}); }

  void AttachToGame() { ASSERT_TRUE(Attach()); }
  void Ticks(int count) {
    for (int i = 0; i < count; ++i) MonitorTick();
  }
  // The titles written over the next `count` ticks.
  Titles TitlesOverTicks(int count) {
    game().titlesSet.clear();
    Ticks(count);
    return game().titlesSet;
  }
};

}  // namespace harkwell
