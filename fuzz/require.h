// What a fuzz target checks: a broken invariant ends the run with its name,
// which libFuzzer reports as a finding.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace harkwell::fuzz {

inline void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

}  // namespace harkwell::fuzz
