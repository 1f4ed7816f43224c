// The display: the one seam between the Win32 rules (platform/user) and a screen.
//
// A backend shows what it is told (surfaces, one per top-level window, with their rectangles,
// stacking and pictures) and reports raw input with a timestamp from its clock. It keeps no
// window state of its own beyond what it needs to show and to wait: every Win32 rule (hit
// testing, activation, messages) lives above it. Backends: headless/ (a virtual screen for
// tests) and x11/ (a real desktop).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace platform::display {

struct Point {
  int x = 0;
  int y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool Contains(Point p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
  friend bool operator==(const Rect&, const Rect&) = default;
};

// The user's settings that the Win32 rules read (GetSystemMetrics and friends).
struct Metrics {
  int screen_width = 0;
  int screen_height = 0;
  int frame = 4;  // sizing border thickness
  uint32_t double_click_time = 500;
  int double_click_width = 4;
  int double_click_height = 4;
};

using SurfaceId = uint64_t;

struct SurfaceState {
  Rect rect;  // screen rectangle, frame included
  bool visible = false;
  bool topmost = false;
  bool layered = false;
  friend bool operator==(const SurfaceState&, const SurfaceState&) = default;
};

// The picture of a layered surface, as UpdateLayeredWindow hands it over: premultiplied pixels
// (0xAARRGGBB words, top row first), shown with `constant_alpha` on top of each pixel's own.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
  uint8_t constant_alpha = 255;
};

enum class Button : uint8_t { kLeft, kRight, kMiddle };

enum class Cursor : uint8_t { kArrow, kSizeWestEast, kSizeNorthSouth, kSizeNwSe, kSizeNeSw };

struct KeyInput {
  uint8_t vk = 0;  // virtual key
  uint16_t scan = 0;
  bool extended = false;
  // What the keyboard layout types for this press with the modifiers then held: 0 for none.
  uint8_t character = 0;
  bool dead = false;  // a dead key: `character` is its accent, the next key composes
};

struct RawInput {
  enum class Kind : uint8_t {
    kPointerMove,   // point
    kButtonDown,    // point, button
    kButtonUp,      // point, button
    kKeyDown,       // key
    kKeyUp,         // key
    kCloseRequest,  // surface: the desktop asks the window to close (taskbar, window manager)
    kFocusIn,       // surface: the desktop gave this surface the keyboard focus
    kFocusOut,      // surface: the keyboard focus went to something that is not ours
  };
  Kind kind = Kind::kPointerMove;
  uint32_t time = 0;  // milliseconds on the display's clock
  Point point;
  Button button = Button::kLeft;
  KeyInput key;
  SurfaceId surface = 0;
};

class Display {
 public:
  virtual ~Display() = default;

  virtual Metrics GetMetrics() = 0;

  // Surfaces. Creation may fail (no display, refused); the window then cannot be created.
  virtual bool CreateSurface(SurfaceId id, const SurfaceState& state) = 0;
  virtual void UpdateSurface(SurfaceId id, const SurfaceState& state) = 0;
  virtual void DestroySurface(SurfaceId id) = 0;
  // A layered surface shows this picture from now on, through moves, until replaced; the
  // display keeps its own copy. Where a pixel's alpha is 0 input passes through.
  virtual void SetPicture(SurfaceId id, std::shared_ptr<const Picture> picture) = 0;
  // The icon the desktop shows for the surface (its taskbar entry): straight alpha this time.
  virtual void SetIcon(SurfaceId id, std::shared_ptr<const Picture> icon) = 0;
  // Our surfaces from the top of the stack down.
  virtual void Restack(std::span<const SurfaceId> top_to_bottom) = 0;
  // Ask for the keyboard focus (activation by the program or by a click).
  virtual void Activate(SurfaceId id) = 0;
  virtual void SetCursor(Cursor cursor) = 0;

  // Input and time.
  virtual std::optional<RawInput> PollInput() = 0;
  // Blocks until input is there or Wake() was called since the last wait; no polling.
  virtual void WaitForInput() = 0;
  // Any thread: ends the current or the next WaitForInput.
  virtual void Wake() = 0;
  // Pointer input over no window of ours goes to whatever lies beneath.
  virtual void PassThrough(const RawInput& input) = 0;
  virtual uint32_t Now() = 0;
  virtual void Sleep(uint32_t milliseconds) = 0;
};

// The display the Win32 layer talks to. Without one installed, a display that cannot be
// opened stands in: every surface creation fails (the process entry says why, in one line on
// standard error).
Display& CurrentDisplay();
void InstallDisplay(std::unique_ptr<Display> display);

}  // namespace platform::display
