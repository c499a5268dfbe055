// Harkwell's own command line, read from Windows and parsed.
#pragma once

#include "ui/command_line.h"

namespace harkwell::ui {

// The arguments of this process, with every sound path resolved now: the
// sound dialog may change the current folder later.
CommandLine ReadCommandLine();

}  // namespace harkwell::ui
