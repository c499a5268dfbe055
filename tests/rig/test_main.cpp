// Entry point of the UI test programs. The tests read window rectangles of a
// DPI-aware program, so they must be DPI-aware too or the system would scale
// the figures they read.
#include <windows.h>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  SetProcessDPIAware();
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
