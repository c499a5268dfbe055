// A stand-in for a Windows function the program under test calls through its
// import table: the table's entry, which the linker would fill from the DLL,
// is defined here and points at `function`. `argumentBytes` is the stdcall
// decoration 32-bit Windows adds to the name.
#pragma once

#ifdef _WIN64
#define HARKWELL_IMPORT_ENTRY(name, argumentBytes) "__imp_" #name
#else
#define HARKWELL_IMPORT_ENTRY(name, argumentBytes) "__imp__" #name "@" #argumentBytes
#endif

#define HARKWELL_STAND_IN(name, argumentBytes, function)                                               \
  extern "C" {                                                                                         \
  extern decltype(&function) const imported##name __asm__(HARKWELL_IMPORT_ENTRY(name, argumentBytes)); \
  decltype(&function) const imported##name = function;                                                 \
  }
