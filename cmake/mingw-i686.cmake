# Cross-builds the Windows programs for 32-bit Windows (the game's own architecture).
# 32-bit Wine cannot run on these machines, so this tree is built and linked, not run.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(HARKWELL_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
