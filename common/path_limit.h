// The platform's path limit, in UTF-16 units, shared by every part that holds
// or checks a path.
#pragma once

#include <cstddef>

// Room of a plain (not extended-length) path, terminator included: a path of
// up to kPathLimit - 1 units passes through the platform's path calls whole.
inline constexpr size_t kPathLimit = 260;

// The longest plain path text: kPathLimit less the terminator.
inline constexpr size_t kLongestPlainPath = kPathLimit - 1;
