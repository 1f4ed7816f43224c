// A layered picture as an ARGB window shows it, and the part of it that takes input.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "display/display.h"

namespace platform::display::x11 {

// Rows [first_row, first_row + out.size() / width) of the window's pixels, `width` wide: the
// picture at the top left with every premultiplied sample scaled by the constant alpha
// (rounded), and transparent where the picture does not reach. A compositor's OVER then gives
// P × ca / 255 + Q × (1 − A × ca / 65025), the Win32 blend.
void WindowRows(const Picture& picture, int width, int first_row, std::span<uint32_t> out);

// Where the window takes input: the pixels whose own alpha is above 0, as rectangles in bands
// of equal rows from the top (the order the Shape extension calls YXBanded).
std::vector<Rect> InputArea(const Picture& picture, int width, int height);

}  // namespace platform::display::x11
