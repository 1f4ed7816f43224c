// The X11 backend: each surface is a 32-bit ARGB window on a real X desktop.
//
// Start with OpenX11Display, then X11Display's surface functions (how a Win32 window becomes an
// X window: its properties, stacking and picture), then PollInput and Dispatch (how X events
// become raw input). The X server keeps every picture (as the window's background), so nothing
// is ever painted again by the program; a compositing manager blends the ARGB pixels.
#pragma once

#include <memory>
#include <string>

#include "display/display.h"

namespace platform::display {

// Connects to $DISPLAY. On failure returns null and says why in `why_not`, a sentence for
// standard error ("cannot open display :1").
std::unique_ptr<Display> OpenX11Display(std::string* why_not);

}  // namespace platform::display
