// For fuzz targets: a property that must hold for every input. A violation
// aborts, which libFuzzer reports as a crash with the input that caused it.
#pragma once

#include <cstdlib>

inline void require(bool condition) {
  if (!condition) std::abort();
}
