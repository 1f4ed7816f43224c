// The US keyboard layout the virtual desktop types with.
#pragma once

#include <cstdint>

namespace platform::display {

struct KeyModifiers {
  bool shift = false;
  bool ctrl = false;
  bool alt = false;
  bool caps_lock = false;
};

struct ScanCode {
  uint16_t code = 0;
  bool extended = false;
};

ScanCode UsScanCode(uint8_t vk);
// The character the key types with these modifiers, 0 when it types none.
uint8_t UsCharacter(uint8_t vk, KeyModifiers modifiers);

}  // namespace platform::display
