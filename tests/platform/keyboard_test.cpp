// The keyboard: key messages and the characters TranslateMessage makes of them with the US
// layout, and accelerator tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "tests/platform/test_program.h"
#include "tests/support/program_run.h"

namespace stripband::testing {
namespace {

constexpr LPARAM kContextCode = LPARAM{1} << 29;  // Alt was held
constexpr LPARAM kPreviousState = LPARAM{1} << 30;
constexpr LPARAM kTransition = LPARAM{1} << 31;

bool IsCharacter(UINT message) {
  return message == WM_CHAR || message == WM_SYSCHAR || message == WM_DEADCHAR ||
         message == WM_SYSDEADCHAR;
}

void Type(ProgramRun& run, const std::vector<BYTE>& chord) {
  for (BYTE vk : chord) run.KeyDown(vk);
  for (auto it = chord.rbegin(); it != chord.rend(); ++it) run.KeyUp(*it);
}

// TranslateMessage: what one key types with the modifiers and toggles of the moment.

struct Typing {
  std::string name;
  std::vector<BYTE> before;  // keys tapped first, one at a time (Caps Lock)
  std::vector<BYTE> chord;   // the last key is the one looked at
  UINT key_message;
  UINT char_message;  // 0: none
  UINT character;
};
void PrintTo(const Typing& c, std::ostream* os) { *os << c.name; }

class TranslateMessageCases : public ::testing::TestWithParam<Typing> {};

TEST_P(TranslateMessageCases, TypeWhatTheUsLayoutGives) {
  const Typing& c = GetParam();
  ProgramRun run({}, Entry({}));
  uint64_t hwnd = run.OnlyWindow().hwnd;
  for (BYTE vk : c.before) Type(run, {vk});
  run.TakeTrace();
  for (BYTE vk : c.chord) run.KeyDown(vk);
  std::vector<TraceEntry> trace = run.TakeTrace();

  // The key's own message, retrieved last but for the character it may have made.
  BYTE key = c.chord.back();
  const TraceEntry* down = nullptr;
  size_t at = 0;
  for (size_t i = 0; i < trace.size(); ++i) {
    if (trace[i].kind == TraceEntry::Kind::kRetrieved && trace[i].wparam == key &&
        (trace[i].message == WM_KEYDOWN || trace[i].message == WM_SYSKEYDOWN)) {
      down = &trace[i];
      at = i;
    }
  }
  ASSERT_NE(down, nullptr);
  EXPECT_EQ(down->message, c.key_message);
  EXPECT_EQ(down->hwnd, hwnd) << "not to the focus window";
  bool alt = std::find(c.chord.begin(), c.chord.end(), VK_MENU) != c.chord.end();
  EXPECT_EQ((down->lparam & kContextCode) != 0, alt);
  EXPECT_EQ(down->lparam & (kPreviousState | kTransition), 0);
  EXPECT_EQ(down->lparam & 0xFFFF, 1) << "repeat count";

  std::vector<const TraceEntry*> characters;
  for (size_t i = 0; i < trace.size(); ++i) {
    if (trace[i].kind == TraceEntry::Kind::kRetrieved && IsCharacter(trace[i].message)) {
      characters.push_back(&trace[i]);
    }
  }
  if (c.char_message == 0) {
    EXPECT_TRUE(characters.empty()) << "typed " << characters[0]->wparam;
    return;
  }
  ASSERT_EQ(characters.size(), 1u);
  const TraceEntry& typed = *characters[0];
  EXPECT_EQ(typed.message, c.char_message);
  EXPECT_EQ(typed.wparam, c.character);
  EXPECT_EQ(typed.hwnd, hwnd);
  EXPECT_EQ(typed.lparam, down->lparam) << "the character carries its key's lParam";
  EXPECT_EQ(&typed, &trace[at + 2]) << "not the message after its key's dispatch";
}

constexpr UINT kD = WM_KEYDOWN;
constexpr UINT kSys = WM_SYSKEYDOWN;
constexpr UINT kC = WM_CHAR;
constexpr BYTE kShift = VK_SHIFT;
constexpr BYTE kCtrl = VK_CONTROL;
constexpr BYTE kAlt = VK_MENU;
constexpr BYTE kCaps = VK_CAPITAL;

std::vector<Typing> TypingTable() {
  std::vector<Typing> table = {
      {"Letter", {}, {'A'}, kD, kC, 'a'},
      {"ShiftLetter", {}, {kShift, 'Q'}, kD, kC, 'Q'},
      {"CapsLockLetter", {kCaps}, {'A'}, kD, kC, 'A'},
      {"CapsLockShiftLetter", {kCaps}, {kShift, 'A'}, kD, kC, 'a'},
      {"CapsLockTwice", {kCaps, kCaps}, {'A'}, kD, kC, 'a'},
      {"CapsLockDigit", {kCaps}, {'1'}, kD, kC, '1'},
      {"Digit", {}, {'0'}, kD, kC, '0'},
      {"ShiftDigit1", {}, {kShift, '1'}, kD, kC, '!'},
      {"ShiftDigit2", {}, {kShift, '2'}, kD, kC, '@'},
      {"ShiftDigit6", {}, {kShift, '6'}, kD, kC, '^'},
      {"ShiftDigit9", {}, {kShift, '9'}, kD, kC, '('},
      {"ShiftDigit0", {}, {kShift, '0'}, kD, kC, ')'},
      {"Semicolon", {}, {VK_OEM_1}, kD, kC, ';'},
      {"Colon", {}, {kShift, VK_OEM_1}, kD, kC, ':'},
      {"Quote", {}, {VK_OEM_7}, kD, kC, '\''},
      {"DoubleQuote", {}, {kShift, VK_OEM_7}, kD, kC, '"'},
      {"Slash", {}, {VK_OEM_2}, kD, kC, '/'},
      {"Question", {}, {kShift, VK_OEM_2}, kD, kC, '?'},
      {"Minus", {}, {VK_OEM_MINUS}, kD, kC, '-'},
      {"Underscore", {}, {kShift, VK_OEM_MINUS}, kD, kC, '_'},
      {"Equals", {}, {VK_OEM_PLUS}, kD, kC, '='},
      {"Plus", {}, {kShift, VK_OEM_PLUS}, kD, kC, '+'},
      {"Comma", {}, {VK_OEM_COMMA}, kD, kC, ','},
      {"Less", {}, {kShift, VK_OEM_COMMA}, kD, kC, '<'},
      {"Period", {}, {VK_OEM_PERIOD}, kD, kC, '.'},
      {"Greater", {}, {kShift, VK_OEM_PERIOD}, kD, kC, '>'},
      {"OpenBracket", {}, {VK_OEM_4}, kD, kC, '['},
      {"OpenBrace", {}, {kShift, VK_OEM_4}, kD, kC, '{'},
      {"CloseBracket", {}, {VK_OEM_6}, kD, kC, ']'},
      {"Backslash", {}, {VK_OEM_5}, kD, kC, '\\'},
      {"Pipe", {}, {kShift, VK_OEM_5}, kD, kC, '|'},
      {"Backquote", {}, {VK_OEM_3}, kD, kC, '`'},
      {"Tilde", {}, {kShift, VK_OEM_3}, kD, kC, '~'},
      {"CapsLockPunctuation", {kCaps}, {VK_OEM_1}, kD, kC, ';'},
      {"Space", {}, {VK_SPACE}, kD, kC, ' '},
      {"Enter", {}, {VK_RETURN}, kD, kC, 13},
      {"Esc", {}, {VK_ESCAPE}, kD, kC, 27},
      {"Backspace", {}, {VK_BACK}, kD, kC, 8},
      {"Tab", {}, {VK_TAB}, kD, kC, 9},
      {"NumpadDigit", {}, {VK_NUMPAD0 + 5}, kD, kC, '5'},
      {"NumpadMultiply", {}, {VK_MULTIPLY}, kD, kC, '*'},
      {"NumpadDivide", {}, {VK_DIVIDE}, kD, kC, '/'},
      {"CtrlA", {}, {kCtrl, 'A'}, kD, kC, 1},
      {"CtrlZ", {}, {kCtrl, 'Z'}, kD, kC, 26},
      {"CtrlI", {}, {kCtrl, 'I'}, kD, kC, 9},
      {"CtrlM", {}, {kCtrl, 'M'}, kD, kC, 13},
      {"CtrlShiftA", {}, {kCtrl, kShift, 'A'}, kD, kC, 1},
      {"CtrlCapsLockA", {kCaps}, {kCtrl, 'A'}, kD, kC, 1},
      {"CtrlOpenBracket", {}, {kCtrl, VK_OEM_4}, kD, kC, 27},
      {"CtrlBackslash", {}, {kCtrl, VK_OEM_5}, kD, kC, 28},
      {"CtrlEnter", {}, {kCtrl, VK_RETURN}, kD, kC, 10},
      {"CtrlBackspace", {}, {kCtrl, VK_BACK}, kD, kC, 127},
      {"CtrlSpace", {}, {kCtrl, VK_SPACE}, kD, kC, ' '},
      {"CtrlDigit", {}, {kCtrl, '1'}, kD, 0, 0},
      {"AltLetter", {}, {kAlt, 'A'}, kSys, WM_SYSCHAR, 'a'},
      {"AltShiftLetter", {}, {kAlt, kShift, 'A'}, kSys, WM_SYSCHAR, 'A'},
      {"AltDigit", {}, {kAlt, '1'}, kSys, WM_SYSCHAR, '1'},
      {"AltSpace", {}, {kAlt, VK_SPACE}, kSys, WM_SYSCHAR, ' '},
      {"AltF4", {}, {kAlt, VK_F4}, kSys, 0, 0},
      {"AltAlone", {}, {kAlt}, kSys, 0, 0},
      {"CtrlAltLetter", {}, {kCtrl, kAlt, 'A'}, kD, 0, 0},
      {"CtrlAltDigit", {}, {kCtrl, kAlt, '1'}, kD, 0, 0},
      {"F10", {}, {VK_F10}, kSys, 0, 0},
      {"ShiftAlone", {}, {kShift}, kD, 0, 0},
      {"CtrlAlone", {}, {kCtrl}, kD, 0, 0},
      {"CapsLock", {}, {kCaps}, kD, 0, 0},
      {"NumLock", {}, {VK_NUMLOCK}, kD, 0, 0},
      {"ShiftArrow", {}, {kShift, VK_LEFT}, kD, 0, 0},
  };
  const std::pair<const char*, BYTE> silent[] = {
      {"Left", VK_LEFT},     {"Up", VK_UP},         {"Right", VK_RIGHT}, {"Down", VK_DOWN},
      {"Insert", VK_INSERT}, {"Delete", VK_DELETE}, {"Home", VK_HOME},   {"End", VK_END},
      {"PageUp", VK_PRIOR},  {"PageDown", VK_NEXT}};
  for (auto [name, vk] : silent) table.push_back({name, {}, {vk}, kD, 0, 0});
  for (int n = 1; n <= 12; ++n) {
    if (n == 10) continue;  // F10 is the menu key: a system key
    table.push_back({"F" + std::to_string(n), {}, {static_cast<BYTE>(VK_F1 + n - 1)}, kD, 0, 0});
  }
  return table;
}

INSTANTIATE_TEST_SUITE_P(Keys, TranslateMessageCases, ::testing::ValuesIn(TypingTable()),
                         [](const auto& info) { return info.param.name; });

TEST(KeyMessages, AHeldKeyRepeatsWithItsPreviousStateAndReleasesOnce) {
  ProgramRun run({}, Entry({}));
  run.TakeTrace();
  run.KeyDown('A');
  run.KeyDown('A');
  run.KeyUp('A');
  std::vector<TraceEntry> keys;
  for (const TraceEntry& entry : run.TakeTrace()) {
    if (entry.kind == TraceEntry::Kind::kRetrieved) keys.push_back(entry);
  }
  ASSERT_EQ(Retrieved(keys),
            (std::vector<UINT>{WM_KEYDOWN, WM_CHAR, WM_KEYDOWN, WM_CHAR, WM_KEYUP}));
  EXPECT_EQ(keys[0].lparam & kPreviousState, 0);
  EXPECT_EQ(keys[2].lparam & kPreviousState, kPreviousState) << "the repeat was not marked";
  EXPECT_EQ(keys[4].lparam & (kPreviousState | kTransition), kPreviousState | kTransition);
}

TEST(KeyMessages, GoNowhereWhileAnotherProgramHasTheForeground) {
  ProgramRun run({.other_windows = {{1000, 0, 1200, 100}}}, Entry({}));
  run.ActivateOtherWindow(0);
  run.TakeTrace();
  Type(run, {'A'});
  Type(run, {VK_RETURN});
  for (const TraceEntry& entry : run.TakeTrace()) {
    EXPECT_FALSE(entry.message >= WM_KEYDOWN && entry.message <= WM_SYSDEADCHAR)
        << "message " << entry.message;
  }
}

// Accelerators: a virtual-key entry matches only with exactly its Shift, Ctrl and Alt held; a
// character entry matches the character typed.

struct AcceleratorCase {
  std::string name;
  std::vector<BYTE> chord;
  WORD command;  // 0: no entry matches
};
void PrintTo(const AcceleratorCase& c, std::ostream* os) { *os << c.name; }

constexpr BYTE kF5 = VK_F1 + 4;

const std::vector<ACCEL> kTable = {
    {FVIRTKEY | FNOINVERT, 'A', 1},
    {FVIRTKEY | FSHIFT, 'A', 2},
    {FVIRTKEY | FCONTROL, 'A', 3},
    {FVIRTKEY | FALT, 'A', 4},
    {FVIRTKEY | FCONTROL | FSHIFT, 'A', 5},
    {FVIRTKEY, kF5, 6},
    {0, 'b', 7},
};

class Accelerators : public ::testing::TestWithParam<AcceleratorCase> {};

TEST_P(Accelerators, MatchExactlyTheirModifiers) {
  const AcceleratorCase& c = GetParam();
  ProgramRun run({}, Entry({.accelerators = kTable}));
  uint64_t hwnd = run.OnlyWindow().hwnd;
  run.TakeTrace();
  for (BYTE vk : c.chord) run.KeyDown(vk);
  std::vector<TraceEntry> trace = run.TakeTrace();

  std::vector<const TraceEntry*> commands;
  for (const TraceEntry& entry : trace) {
    if (entry.kind == TraceEntry::Kind::kDelivered && entry.message == WM_COMMAND) {
      commands.push_back(&entry);
    }
  }
  if (c.command == 0) {
    EXPECT_TRUE(commands.empty()) << "command " << LOWORD(commands[0]->wparam);
    return;
  }
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0]->hwnd, hwnd);
  EXPECT_EQ(LOWORD(commands[0]->wparam), c.command);
  EXPECT_EQ(HIWORD(commands[0]->wparam), 1) << "not marked as from an accelerator";
  EXPECT_EQ(commands[0]->lparam, 0);
  EXPECT_TRUE(commands[0]->sent);
  // The message it took went no further: a virtual-key entry takes the key's message, a
  // character entry the character's; neither is dispatched, and no character follows.
  auto matched = std::find_if(kTable.begin(), kTable.end(),
                              [&](const ACCEL& accel) { return accel.cmd == c.command; });
  bool takes_key = matched->fVirt & FVIRTKEY;
  BYTE key = c.chord.back();
  for (const TraceEntry& entry : trace) {
    if (entry.kind != TraceEntry::Kind::kDelivered) continue;
    bool key_down = entry.message == WM_KEYDOWN || entry.message == WM_SYSKEYDOWN;
    EXPECT_FALSE(takes_key && key_down && entry.wparam == key) << "the key was dispatched";
    EXPECT_FALSE(IsCharacter(entry.message)) << "a character was dispatched";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Chords, Accelerators,
    ::testing::Values(
        AcceleratorCase{"Plain", {'A'}, 1}, AcceleratorCase{"Shift", {VK_SHIFT, 'A'}, 2},
        AcceleratorCase{"Ctrl", {VK_CONTROL, 'A'}, 3}, AcceleratorCase{"Alt", {VK_MENU, 'A'}, 4},
        AcceleratorCase{"CtrlShift", {VK_CONTROL, VK_SHIFT, 'A'}, 5},
        AcceleratorCase{"CtrlAlt", {VK_CONTROL, VK_MENU, 'A'}, 0},
        AcceleratorCase{"AltShift", {VK_MENU, VK_SHIFT, 'A'}, 0},
        AcceleratorCase{"CtrlShiftAlt", {VK_CONTROL, VK_SHIFT, VK_MENU, 'A'}, 0},
        AcceleratorCase{"FunctionKey", {kF5}, 6},
        AcceleratorCase{"ShiftFunctionKey", {VK_SHIFT, kF5}, 0},
        AcceleratorCase{"Character", {'B'}, 7}, AcceleratorCase{"OtherCase", {VK_SHIFT, 'B'}, 0},
        AcceleratorCase{"NoEntry", {'C'}, 0}),
    [](const auto& info) { return info.param.name; });

TEST(Accelerators, ADestroyedTableTranslatesNothing) {
  TestProgram program{.steps = {[](HWND) {
                        ACCEL entry = {FVIRTKEY, 'A', 1};
                        HACCEL made = CreateAcceleratorTableA(&entry, 1);
                        BOOL first = DestroyAcceleratorTable(made);
                        BOOL second = DestroyAcceleratorTable(made);
                        MSG msg = {};
                        msg.message = WM_KEYDOWN;
                        msg.wParam = 'A';
                        ReportToTest("destroyed", {first, second});
                        ReportToTest("translated",
                                     {TranslateAcceleratorA(GetActiveWindow(), made, &msg)});
                      }}};
  ProgramRun run({}, Entry(program));
  RunStep(run, run.OnlyWindow().hwnd, 0);
  std::vector<Report> reports = run.TakeReports();
  EXPECT_EQ(*Find(reports, "destroyed"), (std::vector<int64_t>{TRUE, FALSE}));
  EXPECT_EQ(*Find(reports, "translated"), std::vector<int64_t>{0});
}

}  // namespace
}  // namespace stripband::testing
