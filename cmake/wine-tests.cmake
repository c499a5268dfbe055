# Windows test programs run under Wine by ctest, all in one session: the wine_session fixture
# starts an Xvfb display and a persistent wineserver on a prefix under the build folder before the
# first of them, and ends both after the last, so `ctest` needs nothing set up by hand. In a tree
# without an emulator (the i686 one) the programs are only built.
if(CMAKE_CROSSCOMPILING_EMULATOR)
  set(session ${CMAKE_BINARY_DIR}/wine-session)
  list(APPEND CMAKE_CROSSCOMPILING_EMULATOR ${session})
  add_test(NAME wine_session_start COMMAND ${CMAKE_CURRENT_LIST_DIR}/wine-session.sh start ${session})
  add_test(NAME wine_session_stop COMMAND ${CMAKE_CURRENT_LIST_DIR}/wine-session.sh stop ${session})
  set_tests_properties(wine_session_start PROPERTIES FIXTURES_SETUP wine)
  set_tests_properties(wine_session_stop PROPERTIES FIXTURES_CLEANUP wine)
endif()

# harkwell_sound_home(HOME): a HOME whose .asoundrc sends the wave device to files, a new one for
# every sound (HOME/played.raw, played.raw.0001, ...), so that a test can tell which sounds played
# in full, and Harkwell finds a wave device in an Xvfb session as it would on a player's PC.
function(harkwell_sound_home home)
  file(WRITE ${home}/.asoundrc
       "pcm.!default { type file slave.pcm \"null\" file \"${home}/played.raw\" format \"raw\" truncate false }\n")
endfunction()

# harkwell_wine_test(NAME SOURCES ... [LIBRARIES ...] [SOUND] [WINE32] [LABELS ...] [ENVIRONMENT ...])
# Each program gets a HOME of its own (HARKWELL_HOME to the program, as Wine keeps HOME from
# Windows programs). With SOUND it is a sound home (HARKWELL_PLAYED_RAW names its first file);
# without it the program sees no wave device at all. With WINE32 the program can start 32-bit
# programs (it runs through tools/wine32.sh).
function(harkwell_wine_test name)
  cmake_parse_arguments(arg "SOUND;WINE32" "" "SOURCES;LIBRARIES;LABELS;ENVIRONMENT" ${ARGN})
  add_executable(${name} ${arg_SOURCES})
  target_link_libraries(${name} PRIVATE ${arg_LIBRARIES})
  if(CMAKE_CROSSCOMPILING AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
    return()  # built for another machine, with nothing here to run it
  endif()
  set(home ${CMAKE_CURRENT_BINARY_DIR}/home-${name})
  file(MAKE_DIRECTORY ${home})
  if(arg_SOUND)
    harkwell_sound_home(${home})
  else()
    file(REMOVE ${home}/.asoundrc)
  endif()
  if(arg_WINE32)
    add_test(NAME ${name} COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} --wine32 $<TARGET_FILE:${name}>)
  else()
    add_test(NAME ${name} COMMAND ${name})
  endif()
  set(timeout 600)
  if("soak" IN_LIST arg_LABELS)
    set(timeout 0)  # the soak bounds its own run, as long as HARKWELL_SOAK_SECONDS says
  endif()
  set(environment HOME=${home} HARKWELL_HOME=${home} HARKWELL_PLAYED_RAW=${home}/played.raw ${arg_ENVIRONMENT})
  # One program at a time: Harkwell attaches to whichever game window it finds first.
  set_tests_properties(${name} PROPERTIES RUN_SERIAL TRUE TIMEOUT ${timeout} LABELS "${arg_LABELS}"
                                          ENVIRONMENT "${environment}")
  if(CMAKE_CROSSCOMPILING_EMULATOR)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine)
  endif()
endfunction()
