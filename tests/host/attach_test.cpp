// Attaching to the game: finding it, opening it, probing its build, letting go.
#include "monitor_fixture.h"
#include "tests/expected.h"

namespace harkwell {
namespace {

using AttachTest = MonitorTest;

TEST_F(AttachTest, FailsWhenNoGameRunsOrItsProcessCannotBeOpened) {
  game().running = false;
  gameAttachment.layoutIndex = 1;
  EXPECT_FALSE(Attach());
  EXPECT_EQ(gameAttachment.gameWindow, 0u);
  EXPECT_TRUE(gameAttachment.gameProcessId == 0 && WhyNotAttached() == AttachFailure::NoGame);
  EXPECT_EQ(gameAttachment.gameProcess, 0u);
  EXPECT_EQ(gameAttachment.layoutIndex, 1);  // only a success sets it

  // A process that refuses us: {Harkwell elevated, what the game's token says} and what the user is told.
  using enum AttachFailure;
  for (const auto& [self, token, why] : {std::tuple{false, std::optional<bool>{}, GameRunsAsAdministrator},
                                         {false, false, GameRefusesAccess},
                                         {true, true, GameRefusesAccess}}) {
    simulated::ResetGame();
    std::tie(game().processOpenable, game().selfElevated, game().elevated) = std::tuple(false, self, token);
    EXPECT_FALSE(Attach());
    EXPECT_EQ(WhyNotAttached(), why) << self;
  }

  simulated::ResetGame();
  game().windowClass = "SomethingElse";   // a window of another class is not the game, nor another
  game().others = {{.openable = false}};  // program's that refuses us
  EXPECT_TRUE(!Attach() && WhyNotAttached() == AttachFailure::NoGame);

  // Another program's window of the class in front of the game's: {its title and marker; the game's title}.
  // The game is taken, and only its handle kept.
  for (const auto& [title, marker, gameTitle] :
       {std::tuple<std::string, std::uint8_t, std::string>{"Some Other Game", 0xC0, kGameTitle},
        {kGameTitle, 0x80, "Jazz has joined"}}) {
    simulated::ResetGame();
    game().others = {{.title = title, .marker = marker}};
    game().title = gameTitle;
    SetMarker(0xE8);
    EXPECT_TRUE(Attach()) << title;
    EXPECT_EQ(gameAttachment.gameWindow, game().window);
    EXPECT_EQ(game().openHandles.size(), 1u);
    EXPECT_EQ(game().openAccess, expected::kProcessAccess);
  }
}

TEST_F(AttachTest, BuildMarkerSelectsTheLayout) {
  struct Case {
    int marker;  // -1: unreadable
    std::uint8_t layout;
  };
  std::vector<Case> cases{{0x80, 0}, {0x00, 0}, {-1, 0}};  // no build's: the first layout
  for (std::uint8_t layout = 0; layout < std::size(expected::kBuilds); ++layout)
    cases.push_back({expected::kBuilds[layout].marker, layout});
  for (const auto& c : cases) {
    simulated::ResetGame();
    gameAttachment.layoutIndex = 1 - c.layout;
    if (c.marker < 0) {
      game().unreadable.push_back({kBuildMarkerAddress, kBuildMarkerAddress + 1});
    } else {
      SetMarker(static_cast<std::uint8_t>(c.marker));
    }
    ASSERT_TRUE(Attach()) << c.marker;
    EXPECT_EQ(gameAttachment.layoutIndex, c.layout) << c.marker;
    Detach();
  }
  // The table's own check takes the builds, and refuses a name field of another length and a marker twice.
  EXPECT_TRUE(LayoutsAgree(kGameLayouts));
  EXPECT_FALSE(LayoutsAgree(std::array{GameLayout{1, 0, kMaxNameLength + 1}}));
  EXPECT_FALSE(LayoutsAgree(std::array{GameLayout{1, 0, kMaxNameLength}, GameLayout{1, 0, kMaxNameLength}}));
}

TEST_F(AttachTest, DetachClosesTheHandleLeavesNoneBehindAndARestartedGameIsFoundAfreshWithItsBuild) {
  SetMarker(0xE8);
  AttachToGame();
  const GameAttachment attached = gameAttachment;
  ASSERT_EQ(game().openHandles.size(), 1u);
  Detach();
  EXPECT_TRUE(game().openHandles.empty());
  EXPECT_EQ(gameAttachment.gameWindow, attached.gameWindow);
  EXPECT_EQ(gameAttachment.gameProcess, 0u);
  EXPECT_EQ(gameAttachment.layoutIndex, 1);

  simulated::RestartProcess();
  SetMarker(0xC0);
  AttachToGame();
  EXPECT_EQ(gameAttachment.gameWindow, game().window);
  EXPECT_EQ(gameAttachment.gameProcessId, game().processId);
  EXPECT_EQ(gameAttachment.layoutIndex, 0);
  Join(3, "Fresh", 0);
  MonitorTick();
  EXPECT_EQ(game().title, "Fresh has joined");
}

}  // namespace
}  // namespace harkwell
