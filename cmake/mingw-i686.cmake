# Cross-builds the Windows programs for 32-bit Windows (the game's own architecture), which the
# 64-bit tree's tests run through a private 32-bit Wine (tools/wine32.sh).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(HARKWELL_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
