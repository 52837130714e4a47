#include "launch_flow/hall_window.h"

bool isHallWindowClass(std::u16string_view className) {
  return className.starts_with(kHallWindowClassPrefix);
}

bool isHallMainWindowSize(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  // 64-bit differences: extreme coordinates must not wrap into a large size.
  const int64_t height = int64_t(bottom) - top;
  const int64_t width = int64_t(right) - left;
  return height > 500 && width > 400;
}
