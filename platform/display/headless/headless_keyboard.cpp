#include "display/headless/headless_keyboard.h"

#include <windows.h>

#include <array>

namespace platform::display {
namespace {

struct KeyRow {
  uint8_t vk;
  uint16_t scan;
  bool extended;
  char plain;    // typed without Shift
  char shifted;  // typed with Shift
  char control;  // typed with Ctrl (0: none)
};

constexpr KeyRow kKeys[] = {
    {VK_ESCAPE, 0x01, false, 27, 27, 27},
    {'1', 0x02, false, '1', '!', 0},
    {'2', 0x03, false, '2', '@', 0},
    {'3', 0x04, false, '3', '#', 0},
    {'4', 0x05, false, '4', '$', 0},
    {'5', 0x06, false, '5', '%', 0},
    {'6', 0x07, false, '6', '^', 30},
    {'7', 0x08, false, '7', '&', 0},
    {'8', 0x09, false, '8', '*', 0},
    {'9', 0x0A, false, '9', '(', 0},
    {'0', 0x0B, false, '0', ')', 0},
    {VK_OEM_MINUS, 0x0C, false, '-', '_', 31},
    {VK_OEM_PLUS, 0x0D, false, '=', '+', 0},
    {VK_BACK, 0x0E, false, 8, 8, 127},
    {VK_TAB, 0x0F, false, 9, 9, 0},
    {VK_OEM_4, 0x1A, false, '[', '{', 27},
    {VK_OEM_6, 0x1B, false, ']', '}', 29},
    {VK_RETURN, 0x1C, false, 13, 13, 10},
    {VK_CONTROL, 0x1D, false, 0, 0, 0},
    {VK_OEM_1, 0x27, false, ';', ':', 0},
    {VK_OEM_7, 0x28, false, '\'', '"', 0},
    {VK_OEM_3, 0x29, false, '`', '~', 0},
    {VK_SHIFT, 0x2A, false, 0, 0, 0},
    {VK_OEM_5, 0x2B, false, '\\', '|', 28},
    {VK_OEM_COMMA, 0x33, false, ',', '<', 0},
    {VK_OEM_PERIOD, 0x34, false, '.', '>', 0},
    {VK_OEM_2, 0x35, false, '/', '?', 0},
    {VK_MULTIPLY, 0x37, false, '*', '*', 0},
    {VK_MENU, 0x38, false, 0, 0, 0},
    {VK_SPACE, 0x39, false, ' ', ' ', ' '},
    {VK_CAPITAL, 0x3A, false, 0, 0, 0},
    {VK_NUMLOCK, 0x45, true, 0, 0, 0},
    {VK_SCROLL, 0x46, false, 0, 0, 0},
    {VK_HOME, 0x47, true, 0, 0, 0},
    {VK_UP, 0x48, true, 0, 0, 0},
    {VK_PRIOR, 0x49, true, 0, 0, 0},
    {VK_SUBTRACT, 0x4A, false, '-', '-', 0},
    {VK_LEFT, 0x4B, true, 0, 0, 0},
    {VK_RIGHT, 0x4D, true, 0, 0, 0},
    {VK_ADD, 0x4E, false, '+', '+', 0},
    {VK_END, 0x4F, true, 0, 0, 0},
    {VK_DOWN, 0x50, true, 0, 0, 0},
    {VK_NEXT, 0x51, true, 0, 0, 0},
    {VK_INSERT, 0x52, true, 0, 0, 0},
    {VK_DELETE, 0x53, true, 0, 0, 0},
    {VK_DIVIDE, 0x35, true, '/', '/', 0},
    {VK_PAUSE, 0x45, false, 0, 0, 0},
};

// Scan codes of the letter keys, A to Z.
constexpr std::array<uint16_t, 26> kLetterScans = {
    0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17, 0x24, 0x25, 0x26, 0x32,
    0x31, 0x18, 0x19, 0x10, 0x13, 0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};

const KeyRow* Find(uint8_t vk) {
  for (const auto& row : kKeys) {
    if (row.vk == vk) return &row;
  }
  return nullptr;
}

}  // namespace

ScanCode UsScanCode(uint8_t vk) {
  if (vk >= 'A' && vk <= 'Z') return {kLetterScans[vk - 'A'], false};
  if (vk >= VK_F1 && vk <= VK_F1 + 9) return {static_cast<uint16_t>(0x3B + vk - VK_F1), false};
  if (vk == VK_F1 + 10) return {0x57, false};
  if (vk == VK_F12) return {0x58, false};
  if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD0 + 9) {
    constexpr uint16_t kPad[] = {0x52, 0x4F, 0x50, 0x51, 0x4B, 0x4C, 0x4D, 0x47, 0x48, 0x49};
    return {kPad[vk - VK_NUMPAD0], false};
  }
  if (const KeyRow* row = Find(vk)) return {row->scan, row->extended};
  return {};
}

uint8_t UsCharacter(uint8_t vk, KeyModifiers modifiers) {
  // Ctrl and Alt together are AltGr, which the US layout leaves without characters.
  if (modifiers.ctrl && modifiers.alt) return 0;
  if (vk >= 'A' && vk <= 'Z') {
    if (modifiers.ctrl) return static_cast<uint8_t>(vk - 'A' + 1);
    bool upper = modifiers.shift != modifiers.caps_lock;
    return static_cast<uint8_t>(upper ? vk : vk - 'A' + 'a');
  }
  if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD0 + 9) {
    return modifiers.ctrl ? 0 : static_cast<uint8_t>('0' + vk - VK_NUMPAD0);
  }
  const KeyRow* row = Find(vk);
  if (!row) return 0;
  if (modifiers.ctrl) return static_cast<uint8_t>(row->control);
  return static_cast<uint8_t>(modifiers.shift ? row->shifted : row->plain);
}

}  // namespace platform::display
