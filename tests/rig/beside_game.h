// The fixture of most end-to-end tests: Harkwell and a simulated game, both
// started afresh for each test, and the sounds played so far forgotten.
#pragma once

#include <gtest/gtest.h>

#include "monitor/game_facts.h"
#include "tests/rig/rig.h"
#include "ui/control_ids.h"

namespace harkwell::rig {

class HarkwellBesideGame : public testing::Test {
 protected:
  void SetUp() override {
    ForgetPlayedSounds();
    ASSERT_TRUE(app.Start());
    ASSERT_TRUE(game.Start());
  }
  void TearDown() override {
    if (app.Running()) {
      EXPECT_TRUE(app.Exit());
    }
  }

  // Begins monitoring and waits for its first tick.
  void Begin() {
    ASSERT_EQ(app.ClickBegin(), "");
    ASSERT_TRUE(game.WaitTicks(1));
  }
  // Lets the game run `command` and waits for Harkwell to announce `title`.
  void Announced(const std::string& command, const std::string& title) {
    ASSERT_TRUE(game.Command(command)) << command;
    ASSERT_TRUE(game.WaitForTitle(title)) << "after " << command << " the title is " << game.Title();
  }

  Harkwell app;
  Game game;
};

}  // namespace harkwell::rig
