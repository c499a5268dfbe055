# The posix-threads flavour: GoogleTest needs std::mutex, which the win32 one lacks.
set(CMAKE_C_COMPILER ${HARKWELL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${HARKWELL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${HARKWELL_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${HARKWELL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Static runtime: the programs must need no MinGW DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
