// Keys as Win32 programs see them, from what an X keyboard layout says about each key.
#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <ostream>

#include "platform/display/x11/x11_keyboard.h"

namespace platform::display {

bool operator==(const KeyInput& a, const KeyInput& b) {
  return a.vk == b.vk && a.scan == b.scan && a.extended == b.extended &&
         a.character == b.character && a.dead == b.dead;
}

void PrintTo(const KeyInput& key, std::ostream* out) {
  *out << "{vk " << int{key.vk} << ", scan " << key.scan << (key.extended ? " extended" : "")
       << ", character " << int{key.character} << (key.dead ? " dead" : "") << "}";
}

namespace x11 {
namespace {

constexpr Keysym kNoSymbol = 0;

struct VirtualKeyCase {
  const char* what;
  Keysym level1, level2, produced;
  uint8_t vk;
};

TEST(X11Keyboard, VirtualKeysFollowTheLayout) {
  const VirtualKeyCase cases[] = {
      {"a letter", XK_a, XK_A, XK_a, 'A'},
      {"a letter with Shift", XK_q, XK_Q, XK_Q, 'Q'},
      {"a digit", XK_1, XK_exclam, XK_1, '1'},
      {"French top row: & over 1", XK_ampersand, XK_1, XK_ampersand, '1'},
      {"French top row: é over 2", XK_eacute, XK_2, XK_eacute, '2'},
      {"Escape", XK_Escape, kNoSymbol, XK_Escape, VK_ESCAPE},
      {"F4", XK_F4, kNoSymbol, XK_F4, VK_F4},
      {"F12", XK_F12, kNoSymbol, XK_F12, VK_F12},
      {"left Alt", XK_Alt_L, XK_Meta_L, XK_Alt_L, VK_MENU},
      {"right Shift", XK_Shift_R, kNoSymbol, XK_Shift_R, VK_SHIFT},
      {"right Ctrl", XK_Control_R, kNoSymbol, XK_Control_R, VK_CONTROL},
      {"Tab with Shift", XK_Tab, XK_ISO_Left_Tab, XK_ISO_Left_Tab, VK_TAB},
      {"US semicolon", XK_semicolon, XK_colon, XK_semicolon, VK_OEM_1},
      {"US minus", XK_minus, XK_underscore, XK_minus, VK_OEM_MINUS},
      {"US apostrophe", XK_apostrophe, XK_quotedbl, XK_apostrophe, VK_OEM_7},
      {"keypad 1 with Num Lock", XK_KP_End, XK_KP_1, XK_KP_1, VK_NUMPAD0 + 1},
      {"keypad 1 without Num Lock", XK_KP_End, XK_KP_1, XK_KP_End, VK_END},
      {"keypad Enter", XK_KP_Enter, kNoSymbol, XK_KP_Enter, VK_RETURN},
      {"keypad /", XK_KP_Divide, kNoSymbol, XK_KP_Divide, VK_DIVIDE},
      {"Delete", XK_Delete, kNoSymbol, XK_Delete, VK_DELETE},
  };
  for (const VirtualKeyCase& c : cases) {
    EXPECT_EQ(int{VirtualKeyOf(c.level1, c.level2, c.produced)}, int{c.vk}) << c.what;
  }
  // A character key no US key has still is a key.
  EXPECT_NE(VirtualKeyOf(XK_udiaeresis, XK_Udiaeresis, XK_udiaeresis), 0);
  EXPECT_NE(VirtualKeyOf(XK_dead_circumflex, XK_degree, XK_dead_circumflex), 0);
}

struct ScanCase {
  const char* what;
  unsigned keycode;  // as X servers number them: the Linux input code plus 8
  KeyScan scan;
};

TEST(X11Keyboard, ScanCodesAreThoseOfThePcKeyboard) {
  const ScanCase cases[] = {
      {"Escape", 9, {0x01, false}},        {"A", 38, {0x1E, false}},
      {"left Shift", 50, {0x2A, false}},   {"F1", 67, {0x3B, false}},
      {"F12", 96, {0x58, false}},          {"keypad .", 91, {0x53, false}},
      {"Num Lock", 77, {0x45, true}},      {"Pause", 127, {0x45, false}},
      {"keypad Enter", 104, {0x1C, true}}, {"right Ctrl", 105, {0x1D, true}},
      {"right Alt", 108, {0x38, true}},    {"Left", 113, {0x4B, true}},
      {"Delete", 119, {0x53, true}},       {"left Windows", 133, {0x5B, true}},
  };
  for (const ScanCase& c : cases) EXPECT_EQ(ScanCodeOf(c.keycode), c.scan) << c.what;
}

TEST(X11Keyboard, AccentsComposeWithTheLettersTheyFit) {
  struct Case {
    Keysym dead;
    uint8_t base, composed;
  };
  const Case cases[] = {
      {XK_dead_acute, 'e', 0xE9},      {XK_dead_acute, 'E', 0xC9},   {XK_dead_grave, 'a', 0xE0},
      {XK_dead_circumflex, 'o', 0xF4}, {XK_dead_tilde, 'n', 0xF1},   {XK_dead_diaeresis, 'u', 0xFC},
      {XK_dead_diaeresis, 'y', 0xFF},  {XK_dead_cedilla, 'c', 0xE7}, {XK_dead_abovering, 'A', 0xC5},
      {XK_dead_acute, 'x', 0},         {XK_dead_cedilla, 'e', 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(int{Compose(DeadKeyAccent(c.dead), c.base)}, int{c.composed})
        << "accent " << int{DeadKeyAccent(c.dead)} << " on " << c.base;
  }
  EXPECT_EQ(DeadKeyAccent(XK_a), 0);
}

// One key event and what it must give.
struct Step {
  bool press;
  KeyFacts key;
  std::vector<KeyInput> expected;
};

struct Sequence {
  const char* name;
  std::vector<Step> steps;
};

// Facts for the keys the sequences use, by what a US or German layout gives.
const KeyFacts kE{26, XK_e, XK_E, XK_e, 'e'};
const KeyFacts kShiftE{26, XK_e, XK_E, XK_E, 'E'};
const KeyFacts kX{53, XK_x, XK_X, XK_x, 'x'};
const KeyFacts kSpace{65, XK_space, XK_space, XK_space, ' '};
const KeyFacts kShift{50, XK_Shift_L, kNoSymbol, XK_Shift_L, 0};
const KeyFacts kDeadAcute{21, XK_dead_acute, XK_dead_grave, XK_dead_acute, 0};
const KeyFacts kDeadGrave{21, XK_dead_acute, XK_dead_grave, XK_dead_grave, 0};
const KeyFacts kDelete{119, XK_Delete, kNoSymbol, XK_Delete, 0x7F};
const KeyFacts kAltGr{108, XK_ISO_Level3_Shift, kNoSymbol, XK_ISO_Level3_Shift, 0};
const KeyFacts kAltGrQ{24, XK_q, XK_Q, XK_at, '@'};
const KeyFacts kCtrlB{56, XK_b, XK_B, XK_b, 2};

KeyInput In(uint8_t vk, uint16_t scan, uint8_t character = 0, bool dead = false,
            bool extended = false) {
  return {.vk = vk, .scan = scan, .extended = extended, .character = character, .dead = dead};
}

const KeyInput kAltGrControl = In(VK_CONTROL, 0x1D);
const KeyInput kAltGrAlt = In(VK_MENU, 0x38, 0, false, true);

class X11KeySequence : public ::testing::TestWithParam<Sequence> {};

TEST_P(X11KeySequence, GivesWhatWindowsGives) {
  KeyTranslator translator;
  int index = 0;
  for (const Step& step : GetParam().steps) {
    auto got = step.press ? translator.Press(step.key) : translator.Release(step.key);
    EXPECT_EQ(got, step.expected) << "step " << index;
    ++index;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Keys, X11KeySequence,
    ::testing::Values(
        Sequence{"Letter", {{true, kE, {In('E', 0x12, 'e')}}, {false, kE, {In('E', 0x12)}}}},
        Sequence{"ControlLetter", {{true, kCtrlB, {In('B', 0x30, 2)}}}},
        Sequence{"DeleteTypesNothing", {{true, kDelete, {In(VK_DELETE, 0x53, 0, false, true)}}}},
        Sequence{"DeadKeyThenLetter",
                 {{true, kDeadAcute, {In(0xDF, 0x0D, 0xB4, true)}},
                  {false, kDeadAcute, {In(0xDF, 0x0D)}},
                  {true, kE, {In('E', 0x12, 0xE9)}}}},
        Sequence{"DeadKeyThenSpaceTypesTheAccent",
                 {{true, kDeadGrave, {In(0xDF, 0x0D, '`', true)}},
                  {true, kSpace, {In(VK_SPACE, 0x39, '`')}}}},
        Sequence{"ShiftBetweenDeadKeyAndLetter",
                 {{true, kDeadAcute, {In(0xDF, 0x0D, 0xB4, true)}},
                  {true, kShift, {In(VK_SHIFT, 0x2A)}},
                  {true, kShiftE, {In('E', 0x12, 0xC9)}}}},
        Sequence{"DeadKeyThenALetterItDoesNotFit",
                 {{true, kDeadAcute, {In(0xDF, 0x0D, 0xB4, true)}},
                  {true, kX, {In('X', 0x2D, 'x')}},
                  {true, kX, {In('X', 0x2D, 'x')}}}},
        Sequence{"TwoDeadKeysTypeTheFirstAccent",
                 {{true, kDeadAcute, {In(0xDF, 0x0D, 0xB4, true)}},
                  {true, kDeadGrave, {In(0xDF, 0x0D, 0xB4)}},
                  {true, kE, {In('E', 0x12, 'e')}}}},
        Sequence{"AltGrIsControlWithRightAlt",
                 {{true, kAltGr, {kAltGrControl, kAltGrAlt}},
                  {true, kAltGrQ, {In('Q', 0x10, '@')}},
                  {false, kAltGrQ, {In('Q', 0x10)}},
                  {false, kAltGr, {kAltGrAlt, kAltGrControl}}}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace x11
}  // namespace platform::display
