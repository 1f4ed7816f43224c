#include "display/x11/x11_keyboard.h"

#include <X11/keysym.h>
#include <windows.h>

#include <cstring>

namespace platform::display::x11 {
namespace {

// Keys the layer's header has no name for.
constexpr uint8_t kVkClear = 0x0C;
constexpr uint8_t kVkSnapshot = 0x2C;
constexpr uint8_t kVkLeftWindows = 0x5B;
constexpr uint8_t kVkRightWindows = 0x5C;
constexpr uint8_t kVkApps = 0x5D;
constexpr uint8_t kVkOem8 = 0xDF;  // a character key with no other name
constexpr uint8_t kVkOem102 = 0xE2;

struct KeysymKey {
  Keysym keysym;
  uint8_t vk;
};

// Named keys, and the punctuation keys of the US layout by the character they type unshifted.
constexpr KeysymKey kNamedKeys[] = {
    {XK_BackSpace, VK_BACK},
    {XK_Tab, VK_TAB},
    {XK_ISO_Left_Tab, VK_TAB},
    {XK_Return, VK_RETURN},
    {XK_Pause, VK_PAUSE},
    {XK_Scroll_Lock, VK_SCROLL},
    {XK_Escape, VK_ESCAPE},
    {XK_Delete, VK_DELETE},
    {XK_Home, VK_HOME},
    {XK_Left, VK_LEFT},
    {XK_Up, VK_UP},
    {XK_Right, VK_RIGHT},
    {XK_Down, VK_DOWN},
    {XK_Prior, VK_PRIOR},
    {XK_Next, VK_NEXT},
    {XK_End, VK_END},
    {XK_Insert, VK_INSERT},
    {XK_Print, kVkSnapshot},
    {XK_Menu, kVkApps},
    {XK_Num_Lock, VK_NUMLOCK},
    {XK_Caps_Lock, VK_CAPITAL},
    {XK_Shift_L, VK_SHIFT},
    {XK_Shift_R, VK_SHIFT},
    {XK_Control_L, VK_CONTROL},
    {XK_Control_R, VK_CONTROL},
    {XK_Alt_L, VK_MENU},
    {XK_Alt_R, VK_MENU},
    {XK_Meta_L, VK_MENU},
    {XK_Meta_R, VK_MENU},
    {XK_ISO_Level3_Shift, VK_MENU},
    {XK_Mode_switch, VK_MENU},
    {XK_Super_L, kVkLeftWindows},
    {XK_Super_R, kVkRightWindows},
    {XK_space, VK_SPACE},
    {XK_semicolon, VK_OEM_1},
    {XK_equal, VK_OEM_PLUS},
    {XK_comma, VK_OEM_COMMA},
    {XK_minus, VK_OEM_MINUS},
    {XK_period, VK_OEM_PERIOD},
    {XK_slash, VK_OEM_2},
    {XK_grave, VK_OEM_3},
    {XK_bracketleft, VK_OEM_4},
    {XK_backslash, VK_OEM_5},
    {XK_bracketright, VK_OEM_6},
    {XK_apostrophe, VK_OEM_7},
    {XK_less, kVkOem102},
};

// The keypad, by what it produced: with Num Lock the digits, without it the navigation keys.
constexpr KeysymKey kKeypadKeys[] = {
    {XK_KP_0, VK_NUMPAD0},       {XK_KP_1, VK_NUMPAD0 + 1},     {XK_KP_2, VK_NUMPAD0 + 2},
    {XK_KP_3, VK_NUMPAD0 + 3},   {XK_KP_4, VK_NUMPAD0 + 4},     {XK_KP_5, VK_NUMPAD0 + 5},
    {XK_KP_6, VK_NUMPAD0 + 6},   {XK_KP_7, VK_NUMPAD0 + 7},     {XK_KP_8, VK_NUMPAD0 + 8},
    {XK_KP_9, VK_NUMPAD0 + 9},   {XK_KP_Insert, VK_INSERT},     {XK_KP_End, VK_END},
    {XK_KP_Down, VK_DOWN},       {XK_KP_Next, VK_NEXT},         {XK_KP_Left, VK_LEFT},
    {XK_KP_Begin, kVkClear},     {XK_KP_Right, VK_RIGHT},       {XK_KP_Home, VK_HOME},
    {XK_KP_Up, VK_UP},           {XK_KP_Prior, VK_PRIOR},       {XK_KP_Delete, VK_DELETE},
    {XK_KP_Decimal, VK_DECIMAL}, {XK_KP_Separator, VK_DECIMAL}, {XK_KP_Multiply, VK_MULTIPLY},
    {XK_KP_Add, VK_ADD},         {XK_KP_Subtract, VK_SUBTRACT}, {XK_KP_Divide, VK_DIVIDE},
    {XK_KP_Enter, VK_RETURN},
};

struct ExtendedKey {
  unsigned input_code;  // Linux input code
  uint16_t scan;
  bool extended;
};

// Keys whose scan code is not their input code; the extended ones are those Windows marks so.
constexpr ExtendedKey kScanExceptions[] = {
    {69, 0x45, true},    // Num Lock
    {96, 0x1C, true},    // keypad Enter
    {97, 0x1D, true},    // right Ctrl
    {98, 0x35, true},    // keypad /
    {99, 0x37, true},    // Print Screen
    {100, 0x38, true},   // right Alt (AltGr)
    {102, 0x47, true},   // Home
    {103, 0x48, true},   // Up
    {104, 0x49, true},   // Page Up
    {105, 0x4B, true},   // Left
    {106, 0x4D, true},   // Right
    {107, 0x4F, true},   // End
    {108, 0x50, true},   // Down
    {109, 0x51, true},   // Page Down
    {110, 0x52, true},   // Insert
    {111, 0x53, true},   // Delete
    {119, 0x45, false},  // Pause
    {125, 0x5B, true},   // left Windows
    {126, 0x5C, true},   // right Windows
    {127, 0x5D, true},   // Menu
};

struct DeadKey {
  Keysym keysym;
  uint8_t accent;
  const char* bases;     // what the accent composes with
  const char* composed;  // and into what, in Latin-1
};

constexpr DeadKey kDeadKeys[] = {
    {XK_dead_grave, '`', "AEIOUaeiou", "\xC0\xC8\xCC\xD2\xD9\xE0\xE8\xEC\xF2\xF9"},
    {XK_dead_acute, 0xB4, "AEIOUYaeiouy", "\xC1\xC9\xCD\xD3\xDA\xDD\xE1\xE9\xED\xF3\xFA\xFD"},
    {XK_dead_circumflex, '^', "AEIOUaeiou", "\xC2\xCA\xCE\xD4\xDB\xE2\xEA\xEE\xF4\xFB"},
    {XK_dead_tilde, '~', "ANOano", "\xC3\xD1\xD5\xE3\xF1\xF5"},
    {XK_dead_diaeresis, 0xA8, "AEIOUaeiouy", "\xC4\xCB\xCF\xD6\xDC\xE4\xEB\xEF\xF6\xFC\xFF"},
    {XK_dead_abovering, 0xB0, "Aa", "\xC5\xE5"},
    {XK_dead_cedilla, 0xB8, "Cc", "\xC7\xE7"},
    {XK_dead_macron, 0xAF, "", ""},
};

uint8_t Find(const auto& table, Keysym keysym) {
  for (const KeysymKey& row : table) {
    if (row.keysym == keysym) return row.vk;
  }
  return 0;
}

bool IsKeypad(Keysym keysym) { return keysym >= XK_KP_Space && keysym <= XK_KP_9; }

// Latin-1 printable keysyms are the characters themselves.
bool IsLatin1(Keysym keysym) {
  return (keysym >= 0x20 && keysym <= 0x7E) || (keysym >= 0xA0 && keysym <= 0xFF);
}

KeyInput Input(uint8_t vk, KeyScan scan, uint8_t character = 0, bool dead = false) {
  return KeyInput{
      .vk = vk, .scan = scan.code, .extended = scan.extended, .character = character, .dead = dead};
}

bool IsAltGr(Keysym keysym) { return keysym == XK_ISO_Level3_Shift || keysym == XK_Mode_switch; }

// NOTE: Windows reports AltGr as a left Ctrl followed by the right Alt, and programs (and our
// own layer) tell AltGr characters from Alt shortcuts by that Ctrl.
constexpr KeyScan kLeftControlScan{0x1D, false};

}  // namespace

uint8_t VirtualKeyOf(Keysym level1, Keysym level2, Keysym produced) {
  if (IsKeypad(produced)) return Find(kKeypadKeys, produced);
  if (level1 >= 'a' && level1 <= 'z') return static_cast<uint8_t>(level1 - 'a' + 'A');
  if (level1 >= 'A' && level1 <= 'Z') return static_cast<uint8_t>(level1);
  if (level1 >= '0' && level1 <= '9') return static_cast<uint8_t>(level1);
  // Layouts such as French put the digits on the shifted level of the top row.
  if (level2 >= '0' && level2 <= '9') return static_cast<uint8_t>(level2);
  if (level1 >= XK_F1 && level1 <= XK_F24) return static_cast<uint8_t>(VK_F1 + (level1 - XK_F1));
  if (uint8_t vk = Find(kNamedKeys, level1)) return vk;
  if (IsLatin1(level1) || DeadKeyAccent(level1) != 0) return kVkOem8;
  return 0;
}

KeyScan ScanCodeOf(unsigned keycode) {
  if (keycode < 8) return {};
  unsigned code = keycode - 8;
  for (const ExtendedKey& row : kScanExceptions) {
    if (row.input_code == code) return {row.scan, row.extended};
  }
  // Up to F12 the input codes are the scan codes of the PC keyboard.
  if (code <= 88) return {static_cast<uint16_t>(code), false};
  return {};
}

uint8_t DeadKeyAccent(Keysym keysym) {
  for (const DeadKey& row : kDeadKeys) {
    if (row.keysym == keysym) return row.accent;
  }
  return 0;
}

uint8_t Compose(uint8_t accent, uint8_t base) {
  for (const DeadKey& row : kDeadKeys) {
    if (row.accent != accent) continue;
    const char* at = base != 0 ? std::strchr(row.bases, base) : nullptr;
    return at ? static_cast<uint8_t>(row.composed[at - row.bases]) : 0;
  }
  return 0;
}

std::vector<KeyInput> KeyTranslator::Press(const KeyFacts& key) {
  KeyScan scan = ScanCodeOf(key.keycode);
  if (IsAltGr(key.level1)) {
    return {Input(VK_CONTROL, kLeftControlScan), Input(VK_MENU, {0x38, true})};
  }
  uint8_t vk = VirtualKeyOf(key.level1, key.level2, key.produced);
  if (uint8_t accent = DeadKeyAccent(key.produced)) {
    // A second dead key types the first one's accent, as Windows does.
    if (pending_accent_ != 0) {
      uint8_t previous = pending_accent_;
      pending_accent_ = 0;
      return {Input(vk, scan, previous)};
    }
    pending_accent_ = accent;
    return {Input(vk, scan, accent, true)};
  }
  // NOTE: XLookupString types DEL for the Delete key, which types nothing on Windows.
  uint8_t typed = vk == VK_DELETE ? 0 : key.typed;
  if (typed != 0 && pending_accent_ != 0) {
    uint8_t composed = typed == ' ' ? pending_accent_ : Compose(pending_accent_, typed);
    pending_accent_ = 0;
    // Windows types the accent and then the character where they do not compose; one
    // character per press is all a key event carries here, so the character stands alone.
    if (composed != 0) typed = composed;
  }
  return {Input(vk, scan, typed)};
}

std::vector<KeyInput> KeyTranslator::Release(const KeyFacts& key) {
  if (IsAltGr(key.level1)) {
    return {Input(VK_MENU, {0x38, true}), Input(VK_CONTROL, kLeftControlScan)};
  }
  return {Input(VirtualKeyOf(key.level1, key.level2, key.produced), ScanCodeOf(key.keycode))};
}

}  // namespace platform::display::x11
