// The Flash boxes through to the FlashWindowEx call: Harkwell's main window
// and monitor run in this program, beside the simulated game, with
// FlashWindowEx replaced at link time. Under Wine a flash of another
// program's window shows nothing, so the call itself is what is looked at.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "tests/rig/rig.h"
#include "tests/rig/stand_in.h"
#include "ui/control_ids.h"
#include "ui/form1.h"

namespace {

std::vector<FLASHWINFO> flashes;
BOOL WINAPI StandInFlashWindowEx(PFLASHWINFO info) {
  flashes.push_back(*info);
  return TRUE;
}

}  // namespace

HARKWELL_STAND_IN(FlashWindowEx, 4, StandInFlashWindowEx)

namespace harkwell::rig {
namespace {

TEST(Flash, EachFlashBoxFlashesTheGameWindowFiveTimesForItsOwnKindOnly) {
  Game game;
  ASSERT_TRUE(game.Start());
  HWND form = ui::form1::Create(GetModuleHandleA(nullptr), USER_DEFAULT_SCREEN_DPI, false);
  ASSERT_NE(form, nullptr);
  auto click = [&](int id) { SendMessageA(form, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); };
  for (const int box : {ui::kChkFlashJoin, ui::kChkFlashLeave}) {
    SCOPED_TRACE(box);
    SendMessageA(ui::form1::Control(box), BM_SETCHECK, BST_CHECKED, 0);
    click(ui::kCmdBegin);
    flashes.clear();
    ASSERT_TRUE(game.Command("join 1 Jazz") && game.WaitForTitle("Jazz has joined"));
    ASSERT_TRUE(game.Command("leave 1") && game.WaitForTitle("Jazz has left"));
    ASSERT_EQ(flashes.size(), 1u);
    EXPECT_EQ(flashes[0].hwnd, game.Window());
    EXPECT_EQ(flashes[0].cbSize, sizeof(FLASHWINFO));
    EXPECT_EQ(flashes[0].dwFlags, static_cast<DWORD>(FLASHW_ALL));
    EXPECT_EQ(flashes[0].uCount, 5u);
    EXPECT_EQ(flashes[0].dwTimeout, 0u);
    // Which of the two announcements it came with.
    ASSERT_TRUE(game.Command("join 1 Jazz") && game.WaitForTitle("Jazz has joined"));
    EXPECT_EQ(flashes.size(), box == ui::kChkFlashJoin ? 2u : 1u);
    ASSERT_TRUE(game.Command("leave 1") && game.WaitForTitle("Jazz has left"));
    click(ui::kCmdBegin);  // Stop
    SendMessageA(ui::form1::Control(box), BM_SETCHECK, BST_UNCHECKED, 0);
  }
  DestroyWindow(form);
}

}  // namespace
}  // namespace harkwell::rig
