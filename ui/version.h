// The program's version: the one place its numbers are written down. Read by
// the resource script (so plain macros only) and by the About window.
#pragma once

#define HARKWELL_VERSION_MAJOR 1
#define HARKWELL_VERSION_MINOR 1
#define HARKWELL_VERSION_REVISION 0

#define HARKWELL_STRINGIZE_(x) #x
#define HARKWELL_STRINGIZE(x) HARKWELL_STRINGIZE_(x)

// The short form in the version resource's strings: the minor number in two
// digits, so 1.1 reads "1.01".
#if HARKWELL_VERSION_MINOR < 10
#define HARKWELL_VERSION_SHORT \
  HARKWELL_STRINGIZE(HARKWELL_VERSION_MAJOR) ".0" HARKWELL_STRINGIZE(HARKWELL_VERSION_MINOR)
#else
#define HARKWELL_VERSION_SHORT \
  HARKWELL_STRINGIZE(HARKWELL_VERSION_MAJOR) "." HARKWELL_STRINGIZE(HARKWELL_VERSION_MINOR)
#endif
