# Release zips (tools/package.sh): one commit must give the same bytes in any
# folder at any time, so anyone can rebuild a download and compare checksums.
# Off for everyday builds, whose debug information should keep real paths.
option(HARKWELL_REPRODUCIBLE "Leave build paths and times out of the programs" OFF)
if(HARKWELL_REPRODUCIBLE)
  # The build folder lies inside the source folder, so it is mapped last: the
  # compiler uses the last mapping that matches.
  add_compile_options(
    $<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_SOURCE_DIR}=.>
    $<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_BINARY_DIR}=build>)
  if(WIN32)
    # The linker otherwise stamps the PE header with the time of the link.
    add_link_options(-Wl,--no-insert-timestamp)
  endif()
endif()
