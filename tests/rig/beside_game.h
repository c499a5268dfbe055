// The fixtures of the end-to-end tests: Harkwell, ended after each test, and
// the sounds played so far forgotten before it.
#pragma once

#include <gtest/gtest.h>

#include "monitor/game_facts.h"
#include "tests/rig/rig.h"
#include "ui/control_ids.h"

namespace harkwell::rig {

class HarkwellTest : public testing::Test {
 protected:
  void SetUp() override { ForgetPlayedSounds(); }
  void TearDown() override {
    if (app.Running()) {
      EXPECT_TRUE(app.Exit());
    }
  }
  Harkwell app;
  Game game;
};

// Harkwell and a simulated game, both started afresh for each test.
class HarkwellBesideGame : public HarkwellTest {
 protected:
  void SetUp() override {
    HarkwellTest::SetUp();
    ASSERT_TRUE(app.Start());
    ASSERT_TRUE(game.Start());
  }

  // Begins monitoring and waits for its first tick.
  void Begin() {
    ASSERT_EQ(app.ClickBegin(), "");
    ASSERT_TRUE(game.WaitTicks(1));
  }
  // Clicks Begin (or Stop): the box it shows, "" for none, and the button's caption after it.
  void ExpectBegin(const std::string& box, const char* caption) {
    EXPECT_EQ(app.ClickBegin(), box);
    EXPECT_EQ(app.Caption(ui::kCmdBegin), caption);
  }
  // Lets the game run `command` and waits for Harkwell to announce `title`.
  void Announced(const std::string& command, const std::string& title) {
    ASSERT_TRUE(game.Command(command)) << command;
    ASSERT_TRUE(game.WaitForTitle(title)) << "after " << command << " the title is " << game.Title();
  }
};

}  // namespace harkwell::rig
