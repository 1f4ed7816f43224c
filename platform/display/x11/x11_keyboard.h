// Keys as Win32 reports them, from what the X keyboard layout says about each key.
//
// Nothing here talks to the X server: the backend looks the keysyms and the typed character up
// and hands them over, so the rules can be tested on their own.
#pragma once

#include <cstdint>
#include <vector>

#include "display/display.h"

namespace platform::display::x11 {

using Keysym = uint32_t;

// What the layout says about one key event.
struct KeyFacts {
  unsigned keycode = 0;
  Keysym level1 = 0;    // the key's keysym at the first level of the active group
  Keysym level2 = 0;    // and at the second (shifted) level
  Keysym produced = 0;  // the keysym the event produced with the modifiers held
  uint8_t typed = 0;    // the Latin-1 character the layout types, 0 for none
};

struct KeyScan {
  uint16_t code = 0;
  bool extended = false;
  friend bool operator==(const KeyScan&, const KeyScan&) = default;
};

uint8_t VirtualKeyOf(Keysym level1, Keysym level2, Keysym produced);
// The PC scan code of an X keycode; X servers number keys as Linux input codes plus 8.
KeyScan ScanCodeOf(unsigned keycode);
// The spacing accent a dead key types, 0 for any other keysym.
uint8_t DeadKeyAccent(Keysym keysym);
// The Latin-1 letter an accent and a base character compose into, 0 when they do not.
uint8_t Compose(uint8_t accent, uint8_t base);

// Turns key events into the key input Win32 sees, keeping the pending dead key between them.
class KeyTranslator {
 public:
  std::vector<KeyInput> Press(const KeyFacts& key);
  std::vector<KeyInput> Release(const KeyFacts& key);

 private:
  uint8_t pending_accent_ = 0;
};

}  // namespace platform::display::x11
