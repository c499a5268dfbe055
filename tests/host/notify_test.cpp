// The title announcement and the sound and flash alerts.
#include "monitor_fixture.h"

namespace harkwell {
namespace {

using TitleTest = MonitorTest;
using AlertTest = MonitorTest;

// The countdown as the program starts, read before any test changes it.
const int countdownAtStart = titleCountdown;

TEST_F(TitleTest, CleaningRemovesOnlyBarsAndSectionSigns) {
  EXPECT_EQ(CleanPlayerName("|1Jo"), "1Jo");
  EXPECT_EQ(CleanPlayerName("|\xA7|\xA7"), "");
  EXPECT_EQ(CleanPlayerName("J|a\xA7z9z \xE9"), "Jaz9z \xE9");
  EXPECT_EQ(CleanPlayerName(""), "");
}

TEST_F(TitleTest, AnnouncementShowsForSixteenTicksThenTheGameTitleReturns) {
  AttachToGame();
  titleCountdown = countdownAtStart;  // as a fresh program starts
  MonitorTick();
  EXPECT_EQ(game().titlesSet, std::vector<std::string>{kGameTitle});  // the first tick puts the title back
  Join(1, "|1Jo");
  MonitorTick();
  EXPECT_EQ(game().title, "1Jo has joined");
  EXPECT_TRUE(announcements.count == 1 && announcements.last == "1Jo has joined");
  EXPECT_TRUE(TitlesOverTicks(16).empty());
  EXPECT_EQ(titleCountdown, 0);
  MonitorTick();
  EXPECT_EQ(game().title, kGameTitle);
  game().title = "the game's own";  // taken back: Exit has nothing to put back
  PutBackGameTitle();
  EXPECT_EQ(game().title, "the game's own");

  // A name made only of removed characters leaves the leading blank.
  Join(4, "|\xA7|");
  MonitorTick();
  Leave(4);
  MonitorTick();
  EXPECT_EQ(game().title, " has left");
}

TEST_F(TitleTest, LaterEventReplacesTheAnnouncementAndGetsTheFullTime) {
  AttachToGame();
  Join(1, "First");
  MonitorTick();
  Ticks(5);
  Join(2, "|\xA7");
  Leave(2);
  Leave(1);
  MonitorTick();
  EXPECT_EQ(game().title, "First has left");
  EXPECT_EQ(titleCountdown, 16);
  Ticks(16);
  EXPECT_EQ(game().title, "First has left");
  MonitorTick();
  EXPECT_EQ(game().title, kGameTitle);
}

TEST_F(TitleTest, AnAnnouncementNotTakenIsWrittenAgainFirstWhileItIsUpUntilTaken) {
  AttachToGame();
  MonitorTick();
  Join(1, "Jazz");
  game().titleWritesToMiss = 3;  // the game is busy for the tick's title, the announcement and its retry
  MonitorTick();
  EXPECT_EQ(game().title, kGameTitle);
  Join(2, "Lori");  // a join in the tick of the retry comes after it, and replaces it
  EXPECT_EQ(TitlesOverTicks(1), (Titles{"Jazz has joined", "Lori has joined"}));
  Ticks(16);  // nothing more until the countdown is over
  EXPECT_EQ(game().titlesSet.size(), 2u);
  MonitorTick();
  EXPECT_EQ(game().title, kGameTitle);

  // Never taken: written again on each tick of its countdown, then no more.
  Leave(1);
  game().titleWritesToMiss = 100;
  Titles expected(19, "Jazz has left");
  expected.front() = expected.back() = kGameTitle;
  EXPECT_EQ(TitlesOverTicks(18), expected);

  // Stopping drops it; the countdown goes on where it stood.
  game().titleWritesToMiss = 2;
  Leave(2);
  MonitorTick();
  DropAnnouncementRetry();
  EXPECT_EQ(TitlesOverTicks(17), Titles{kGameTitle});

  // Taken on its second retry: written no more after that.
  game().titleWritesToMiss = 3;
  Join(3, "Spaz");
  EXPECT_EQ(TitlesOverTicks(4),
            (Titles{kGameTitle, "Spaz has joined", "Spaz has joined", "Spaz has joined"}));
}

TEST_F(TitleTest, AReplacedGameWindowTakesTheWritesAndExitPutsBackOnlyTheGamesOwnWindow) {
  AttachToGame();
  Join(1, "Jazz");
  MonitorTick();
  simulated::ReplaceWindow();
  Join(2, "Lori");
  MonitorTick();
  EXPECT_EQ(game().title, kGameTitle);  // written to the window that is gone
  MonitorTick();
  EXPECT_EQ(game().title, "Lori has joined");
  EXPECT_EQ(gameAttachment.gameWindow, game().window);

  // Exit after a busy game missed its own title's return at the countdown's end: it comes back.
  Ticks(15);
  game().titleWritesToMiss = 1;
  MonitorTick();
  Detach();
  PutBackGameTitle();
  EXPECT_EQ(game().title, kGameTitle);
  // Not when the game's title is its own, nor into a window that is not the game's.
  game().title = "Lori has joined";
  PutBackGameTitle();
  EXPECT_EQ(game().title, "Lori has joined");
  announcementInTitle = true;
  simulated::RestartProcess();
  game().window = gameAttachment.gameWindow;  // the handle reused by another process
  game().title = "another game";
  PutBackGameTitle();
  EXPECT_EQ(game().title, "another game");
}

// One sound and one flash for a tick's joins, leaves or both, as the switches
// say (a value other than 1 is no ticked box), with the paths as they are at
// the alert: here set after Begin, the leave sound's cleared by the chooser.
TEST_F(AlertTest, EachSwitchFiresOnlyItsOwnAlertOnceATickWithTheExactArguments) {
  enum Changes { kJoin = 1, kLeave = 2, kBoth = 3 };
  const struct {
    std::uint8_t playJoin, flashJoin, playLeave, flashLeave;
    const char16_t* leavePath;
    int changes;
    const char16_t* sound;  // nullptr: none
    std::size_t flashes;
  } cases[] = {
      {1, 0, 0, 1, u"leave.wav", kJoin, u"join.wav", 0},   // join: its sound, no flash
      {1, 0, 0, 1, u"leave.wav", kLeave, nullptr, 1},      // leave: no sound, its flash
      {2, 1, 0, 0, u"leave.wav", kJoin, nullptr, 1},       // 2 is not a ticked box
      {0, 0, 1, 0, u"", kLeave, u"", 0},                   // a path cleared while monitoring
      {1, 0, 1, 0, u"leave.wav", kBoth, u"join.wav", 0},   // the join's sound first
      {0, 0, 1, 1, u"leave.wav", kBoth, u"leave.wav", 1},  // else the leave's
      {0, 1, 0, 0, u"leave.wav", kBoth, nullptr, 1},       // either kind's flash
      {0, 1, 0, 1, u"leave.wav", kBoth, nullptr, 1},       // one flash for both
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    SetUp();
    AttachToGame();
    Join(1, "A");
    Join(2, "B");
    MonitorTick();
    alertSettings = {c.playJoin, c.flashJoin, c.playLeave, c.flashLeave, u"join.wav", c.leavePath};
    if (c.changes & kLeave) Leave(1);
    if (c.changes & kJoin) {
      Join(3, "C");
      Join(4, "D");
    }
    MonitorTick();
    std::vector<std::u16string> sounds;
    for (const simulated::SoundCall& call : game().soundsPlayed) {
      sounds.push_back(call.path);
      EXPECT_EQ(call.flags, 3u);
    }
    EXPECT_EQ(sounds, c.sound ? std::vector<std::u16string>{c.sound} : std::vector<std::u16string>{});
    EXPECT_EQ(game().flashesRequested.size(), c.flashes);
    for (const platform::FlashWindowInfo& flash : game().flashesRequested) {
      EXPECT_EQ(flash.hwnd, game().window);
      EXPECT_EQ(flash.dwFlags, 3u);
      EXPECT_EQ(flash.uCount, 5u);
      EXPECT_EQ(flash.dwTimeout, 0u);
    }
  }
}

}  // namespace
}  // namespace harkwell
