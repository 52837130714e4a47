// What makes a top-level window the hall's main window, over plain values.
#pragma once

#include <cstdint>
#include <string_view>

// The hall's window class names begin with this (14 characters).
inline constexpr std::u16string_view kHallWindowClassPrefix = u"GRootViewClass";

// True when `className` is at least 14 characters long and begins with
// "GRootViewClass", compared code unit by code unit (ordinal, case-sensitive).
bool isHallWindowClass(std::u16string_view className);

// True when a window rectangle is large enough for the hall's main window:
// strictly more than 500 pixels high and strictly more than 400 pixels wide.
bool isHallMainWindowSize(int32_t left, int32_t top, int32_t right, int32_t bottom);
