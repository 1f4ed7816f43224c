// How the band ends, and everything that must not end it: keys, presses, close requests and
// whatever other programs post to it.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "tests/support/program_run.h"

namespace stripband::testing {
namespace {

constexpr WORD kNextControl = 64001;
constexpr WORD kPreviousControl = 64002;
constexpr uint32_t kRightPressPause = 200;

// Every ending is the same orderly shutdown: exit code 0 through ExitProcess, with the window
// destroyed, its class unregistered, its accelerators, pictures, DCs and the timer resolution
// given back, and nothing left on the display. (Leaks fail the run by themselves.)
void ExpectOrderlyEnd(const Ending& ending) {
  EXPECT_TRUE(ending.called_exit) << "the process did not end through ExitProcess";
  EXPECT_EQ(ending.signal, 0);
  EXPECT_EQ(ending.exit_code, 0);
  EXPECT_EQ(ending.windows, 0) << "a window was still alive";
  EXPECT_EQ(ending.classes, 0) << "a window class was still registered";
  EXPECT_EQ(ending.accelerator_tables, 0) << "an accelerator table was still alive";
  EXPECT_EQ(ending.timer_periods, 0) << "timeBeginPeriod without timeEndPeriod";
  EXPECT_EQ(ending.bitmaps, 0) << "a bitmap was still alive";
  EXPECT_EQ(ending.device_contexts, 0) << "a DC was still alive";
  EXPECT_EQ(ending.surfaces, 0) << "the display still showed a window";
}

size_t Count(const std::vector<UINT>& messages, UINT message) {
  return static_cast<size_t>(std::count(messages.begin(), messages.end(), message));
}

std::vector<TraceEntry> DeliveredOf(const std::vector<TraceEntry>& trace, UINT message) {
  std::vector<TraceEntry> found;
  for (const TraceEntry& entry : trace) {
    if (entry.kind == TraceEntry::Kind::kDelivered && entry.message == message) {
      found.push_back(entry);
    }
  }
  return found;
}

// Presses the keys in order and releases them in reverse.
void Type(ProgramRun& run, const std::vector<BYTE>& chord) {
  for (BYTE vk : chord) run.KeyDown(vk);
  for (auto it = chord.rbegin(); it != chord.rend(); ++it) run.KeyUp(*it);
}

bool SameWindow(const WindowState& a, const WindowState& b) {
  return a.hwnd == b.hwnd && a.style == b.style && a.ex_style == b.ex_style &&
         a.rect.left == b.rect.left && a.rect.top == b.rect.top && a.rect.right == b.rect.right &&
         a.rect.bottom == b.rect.bottom && a.visible == b.visible && a.active == b.active;
}

// A band that has started on the default desktop; the start-up trace is already taken.
class BandTest {
 protected:
  explicit BandTest(const DesktopSettings& settings = {}) : run_(settings) {
    window_ = run_.OnlyWindow();
    run_.TakeTrace();
  }

  // The band is still there, as it was, and still ends on a typed letter.
  void ExpectStillRunningAndEndsOnALetter() {
    ASSERT_TRUE(run_.Running()) << "the program ended";
    EXPECT_TRUE(SameWindow(run_.OnlyWindow(), window_)) << "the window changed";
    run_.Chord({'Q'});
    ExpectOrderlyEnd(run_.WaitForEnd());
  }

  ProgramRun run_;
  WindowState window_;
};

// Keys that type a character end the program at once.

struct EndingKey {
  std::string name;
  std::vector<BYTE> chord;
  UINT typed;  // the character of the WM_CHAR that ends it
};
void PrintTo(const EndingKey& c, std::ostream* os) { *os << c.name; }

class TypedCharacter : public BandTest, public ::testing::TestWithParam<EndingKey> {};

TEST_P(TypedCharacter, EndsAtOnceWithAnOrderlyShutdown) {
  const EndingKey& key = GetParam();
  uint32_t before = run_.Now();
  for (BYTE vk : key.chord) run_.KeyDown(vk);
  const Ending& ending = run_.WaitForEnd();
  ExpectOrderlyEnd(ending);
  EXPECT_EQ(ending.time, before) << "the program paused before ending";

  // Each key-down came back first as WM_KEYDOWN; the character it typed ended the loop.
  std::vector<UINT> expected(key.chord.size(), WM_KEYDOWN);
  expected.push_back(WM_CHAR);
  EXPECT_EQ(Retrieved(ending.trace), expected);
  std::vector<TraceEntry> chars = DeliveredOf(ending.trace, WM_CHAR);
  ASSERT_EQ(chars.size(), 1u);
  EXPECT_EQ(chars[0].wparam, key.typed);
  EXPECT_EQ(chars[0].hwnd, window_.hwnd);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, TypedCharacter,
    ::testing::Values(EndingKey{"Letter", {'A'}, 'a'}, EndingKey{"Digit", {'7'}, '7'},
                      EndingKey{"Enter", {VK_RETURN}, 13}, EndingKey{"Esc", {VK_ESCAPE}, 27},
                      EndingKey{"Backspace", {VK_BACK}, 8}, EndingKey{"Space", {VK_SPACE}, ' '},
                      EndingKey{"ShiftLetter", {VK_SHIFT, 'B'}, 'B'},
                      EndingKey{"Punctuation", {VK_OEM_COMMA}, ','},
                      EndingKey{"CtrlI", {VK_CONTROL, 'I'}, 9},
                      EndingKey{"CtrlA", {VK_CONTROL, 'A'}, 1}),
    [](const auto& info) { return info.param.name; });

// Keys that type nothing, and keys the accelerators take, leave the band running.

struct QuietKey {
  std::string name;
  std::vector<BYTE> chord;
  WORD command;  // the accelerator command it gives, 0 for none
};
void PrintTo(const QuietKey& c, std::ostream* os) { *os << c.name; }

class QuietKeys : public BandTest, public ::testing::TestWithParam<QuietKey> {};

TEST_P(QuietKeys, DoNotEndTheProgram) {
  const QuietKey& key = GetParam();
  Type(run_, key.chord);
  ASSERT_TRUE(run_.Running());
  std::vector<TraceEntry> trace = run_.TakeTrace();
  EXPECT_EQ(Count(Retrieved(trace), WM_CHAR), 0u);

  std::vector<TraceEntry> commands = DeliveredOf(trace, WM_COMMAND);
  if (key.command == 0) {
    EXPECT_TRUE(commands.empty());
  } else {
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(LOWORD(commands[0].wparam), key.command);
    EXPECT_EQ(HIWORD(commands[0].wparam), 1) << "not from an accelerator";
    EXPECT_TRUE(commands[0].sent);
    // The accelerator took the key: it was neither translated nor dispatched.
    for (const TraceEntry& down : DeliveredOf(trace, WM_KEYDOWN)) {
      EXPECT_NE(down.wparam, static_cast<uint64_t>(VK_TAB)) << "Tab was dispatched";
    }
  }
  ExpectStillRunningAndEndsOnALetter();
}

std::vector<QuietKey> QuietKeyTable() {
  std::vector<QuietKey> keys = {
      {"Tab", {VK_TAB}, kNextControl},
      {"ShiftTab", {VK_SHIFT, VK_TAB}, kPreviousControl},
      {"Left", {VK_LEFT}, 0},
      {"Right", {VK_RIGHT}, 0},
      {"Up", {VK_UP}, 0},
      {"Down", {VK_DOWN}, 0},
      {"Delete", {VK_DELETE}, 0},
      {"Insert", {VK_INSERT}, 0},
      {"Home", {VK_HOME}, 0},
      {"End", {VK_END}, 0},
      {"PageUp", {VK_PRIOR}, 0},
      {"PageDown", {VK_NEXT}, 0},
      {"Shift", {VK_SHIFT}, 0},
      {"Ctrl", {VK_CONTROL}, 0},
      {"Alt", {VK_MENU}, 0},
      {"AltLetter", {VK_MENU, 'X'}, 0},
      {"CtrlAltLetter", {VK_CONTROL, VK_MENU, 'X'}, 0},
      {"CapsLock", {VK_CAPITAL}, 0},
      {"NumLock", {VK_NUMLOCK}, 0},
  };
  for (int n = 1; n <= 12; ++n) {
    keys.push_back({"F" + std::to_string(n), {static_cast<BYTE>(VK_F1 + n - 1)}, 0});
  }
  return keys;
}

INSTANTIATE_TEST_SUITE_P(Keys, QuietKeys, ::testing::ValuesIn(QuietKeyTable()),
                         [](const auto& info) { return info.param.name; });

class BandKeys : public BandTest, public ::testing::Test {};

TEST_F(BandKeys, AltWithALetterComesBackAsSystemCharacter) {
  run_.Chord({VK_MENU, 'X'});
  std::vector<UINT> retrieved = Retrieved(run_.TakeTrace());
  ASSERT_GE(retrieved.size(), 3u);
  EXPECT_EQ(std::vector<UINT>(retrieved.begin(), retrieved.begin() + 3),
            (std::vector<UINT>{WM_SYSKEYDOWN, WM_SYSKEYDOWN, WM_SYSCHAR}));
  EXPECT_EQ(Count(retrieved, WM_CHAR), 0u);
  ExpectStillRunningAndEndsOnALetter();
}

TEST_F(BandKeys, ALetterAfterCapsLockStillEnds) {
  run_.Chord({VK_CAPITAL});
  run_.KeyDown('A');
  const Ending& ending = run_.WaitForEnd();
  ExpectOrderlyEnd(ending);
  std::vector<TraceEntry> chars = DeliveredOf(ending.trace, WM_CHAR);
  ASSERT_EQ(chars.size(), 1u);
  EXPECT_EQ(chars[0].wparam, static_cast<uint64_t>('A'));
}

// A right press ends the program after a pause, but only on the client area.

struct RightPress {
  std::string name;
  int frame;
  std::function<POINT(const WindowState&)> where;
  bool ends;
};
void PrintTo(const RightPress& c, std::ostream* os) { *os << c.name; }

class RightPresses : public ::testing::TestWithParam<RightPress> {};

TEST_P(RightPresses, EndOnlyOnTheClientAreaAfterAPause) {
  const RightPress& press = GetParam();
  ProgramRun run({.frame = press.frame});
  WindowState window = run.OnlyWindow();
  POINT point = press.where(window);
  run.MovePointer(point.x, point.y);
  run.TakeTrace();
  uint32_t before = run.Now();
  run.Press(Mouse::kRight);

  if (press.ends) {
    const Ending& ending = run.WaitForEnd();
    ExpectOrderlyEnd(ending);
    EXPECT_GE(ending.time - before, kRightPressPause) << "no pause before the end";
    std::vector<UINT> retrieved = Retrieved(ending.trace);
    ASSERT_FALSE(retrieved.empty());
    EXPECT_EQ(retrieved.back(), static_cast<UINT>(WM_RBUTTONDOWN));
    return;
  }
  ASSERT_TRUE(run.Running()) << "a press on the sizing border ended the program";
  EXPECT_EQ(run.Now(), before);
  std::vector<UINT> retrieved = Retrieved(run.TakeTrace());
  EXPECT_EQ(Count(retrieved, WM_NCRBUTTONDOWN), 1u);
  EXPECT_EQ(Count(retrieved, WM_RBUTTONDOWN), 0u);
  // The band still ends on a right press on its client area.
  run.Release(Mouse::kRight);
  run.Click(Mouse::kRight, window.client.left + 10, window.client.top + 10);
  ExpectOrderlyEnd(run.WaitForEnd());
}

POINT ClientCentre(const WindowState& w) {
  return {(w.client.left + w.client.right) / 2, (w.client.top + w.client.bottom) / 2};
}
POINT ClientTopLeft(const WindowState& w) { return {w.client.left, w.client.top}; }
POINT ClientBottomRight(const WindowState& w) { return {w.client.right - 1, w.client.bottom - 1}; }
POINT OuterTopRow(const WindowState& w) { return {w.rect.left + 300, w.rect.top}; }
POINT InnerTopRow(const WindowState& w) { return {w.rect.left + 300, w.client.top - 1}; }
POINT BottomRow(const WindowState& w) { return {w.rect.left + 300, w.rect.bottom - 1}; }
POINT LeftColumn(const WindowState& w) { return {w.rect.left, ClientCentre(w).y}; }
POINT RightColumn(const WindowState& w) { return {w.client.right, ClientCentre(w).y}; }
POINT TopLeftCorner(const WindowState& w) { return {w.rect.left, w.rect.top}; }

INSTANTIATE_TEST_SUITE_P(
    Points, RightPresses,
    ::testing::Values(RightPress{"ClientCentre", 4, ClientCentre, true},
                      RightPress{"ClientTopLeft", 4, ClientTopLeft, true},
                      RightPress{"ClientBottomRight", 4, ClientBottomRight, true},
                      RightPress{"OuterTopRow", 4, OuterTopRow, false},
                      RightPress{"InnerTopRow", 4, InnerTopRow, false},
                      RightPress{"BottomRow", 4, BottomRow, false},
                      RightPress{"LeftColumn", 4, LeftColumn, false},
                      RightPress{"RightColumn", 4, RightColumn, false},
                      RightPress{"TopLeftCorner", 4, TopLeftCorner, false},
                      RightPress{"WideBorderInnerRow", 8, InnerTopRow, false},
                      RightPress{"WideBorderClientTopLeft", 8, ClientTopLeft, true},
                      RightPress{"NoBorderTopLeft", 0, TopLeftCorner, true}),
    [](const auto& info) { return info.param.name; });

// A close request, however it comes, becomes the loop's close event; the window stays until
// the shutdown destroys it.

struct CloseRequest {
  std::string name;
  std::function<void(ProgramRun&, const WindowState&)> request;
};
void PrintTo(const CloseRequest& c, std::ostream* os) { *os << c.name; }

class CloseRequests : public BandTest, public ::testing::TestWithParam<CloseRequest> {};

TEST_P(CloseRequests, EndThroughTheCloseEventAndTheShutdown) {
  uint32_t before = run_.Now();
  GetParam().request(run_, window_);
  const Ending& ending = run_.WaitForEnd();
  ExpectOrderlyEnd(ending);
  EXPECT_EQ(ending.time, before) << "the program paused before ending";

  std::vector<TraceEntry> closes = DeliveredOf(ending.trace, WM_CLOSE);
  ASSERT_EQ(closes.size(), 1u);
  EXPECT_EQ(closes[0].hwnd, window_.hwnd);
  // Destroyed once, by the shutdown: not from inside any message's handling, such as the
  // default window procedure's answer to WM_CLOSE.
  std::vector<TraceEntry> destroys = DeliveredOf(ending.trace, WM_DESTROY);
  ASSERT_EQ(destroys.size(), 1u);
  EXPECT_EQ(destroys[0].depth, 0u) << "the window was destroyed while a message was handled";
  size_t last_retrieved = 0, destroy = 0;
  for (size_t i = 0; i < ending.trace.size(); ++i) {
    if (ending.trace[i].kind == TraceEntry::Kind::kRetrieved) last_retrieved = i;
    if (ending.trace[i].message == WM_DESTROY) destroy = i;
  }
  EXPECT_LT(last_retrieved, destroy)
      << "the window was destroyed before the loop took its last message";
}

INSTANTIATE_TEST_SUITE_P(
    Ways, CloseRequests,
    ::testing::Values(CloseRequest{"AltF4",
                                   [](ProgramRun& run, const WindowState&) {
                                     run.Chord({VK_MENU, VK_F4});
                                   }},
                      CloseRequest{"Taskbar", [](ProgramRun& run,
                                                 const WindowState&) { run.CloseFromTaskbar(); }},
                      CloseRequest{"PostedByAnotherProgram",
                                   [](ProgramRun& run, const WindowState& window) {
                                     run.PostToWindow(window.hwnd, WM_CLOSE, 0, 0);
                                   }}),
    [](const auto& info) { return info.param.name; });

// The loop looks at neither the window nor the parameters of what it takes: whatever another
// program posts with one of the three numbers ends the program like the real thing.

struct PostedEnding {
  std::string name;
  bool to_window;  // else to the program's thread, without a window
  UINT message;
  uint32_t pause;
};
void PrintTo(const PostedEnding& c, std::ostream* os) { *os << c.name; }

class PostedEndings : public BandTest, public ::testing::TestWithParam<PostedEnding> {};

TEST_P(PostedEndings, EndTheProgram) {
  const PostedEnding& posted = GetParam();
  uint32_t before = run_.Now();
  if (posted.to_window) {
    run_.PostToWindow(window_.hwnd, posted.message, 0, 0);
  } else {
    run_.PostToProgramThread(posted.message, 0, 0);
  }
  const Ending& ending = run_.WaitForEnd();
  ExpectOrderlyEnd(ending);
  EXPECT_EQ(ending.time - before, posted.pause);
  EXPECT_EQ(Retrieved(ending.trace), std::vector<UINT>{posted.message});
}

INSTANTIATE_TEST_SUITE_P(Messages, PostedEndings,
                         ::testing::Values(PostedEnding{"CharToWindow", true, WM_CHAR, 0},
                                           PostedEnding{"CharToThread", false, WM_CHAR, 0},
                                           PostedEnding{"RightPressToThread", false, WM_RBUTTONDOWN,
                                                        kRightPressPause},
                                           PostedEnding{"CloseToThread", false, WM_CLOSE, 0}),
                         [](const auto& info) { return info.param.name; });

// Everything else that arrives is taken and dropped, and the band carries on as before.

struct Unexpected {
  std::string name;
  bool to_window;
  UINT message;
  WPARAM wparam;
  LPARAM lparam;
};
void PrintTo(const Unexpected& c, std::ostream* os) { *os << c.name; }

class UnexpectedMessages : public BandTest, public ::testing::TestWithParam<Unexpected> {};

TEST_P(UnexpectedMessages, AreDroppedAndChangeNothing) {
  const Unexpected& posted = GetParam();
  if (posted.to_window) {
    run_.PostToWindow(window_.hwnd, posted.message, posted.wparam, posted.lparam);
  } else {
    run_.PostToProgramThread(posted.message, posted.wparam, posted.lparam);
  }
  ASSERT_TRUE(run_.Running()) << "the program ended";
  std::vector<TraceEntry> trace = run_.TakeTrace();
  EXPECT_EQ(Count(Retrieved(trace), posted.message), 1u) << "the loop did not take it";
  // Tab is still the accelerators' and types nothing.
  run_.Chord({VK_TAB});
  ExpectStillRunningAndEndsOnALetter();
}

INSTANTIATE_TEST_SUITE_P(
    Messages, UnexpectedMessages,
    ::testing::Values(Unexpected{"QuitToThread", false, WM_QUIT, 0, 0},
                      Unexpected{"QuitToWindow", true, WM_QUIT, 3, 0},
                      Unexpected{"NullToWindow", true, WM_NULL, 0, 0},
                      Unexpected{"UserToWindow", true, WM_USER + 1, 0x1234, -1},
                      Unexpected{"UserToThread", false, WM_USER + 7, 1, 2},
                      Unexpected{"RegisteredRange", true, 0xC123, 5, 6},
                      Unexpected{"BeyondMessageRange", true, 0x12345, 0, 0},
                      Unexpected{"CommandOtherId", true, WM_COMMAND, 1, 0},
                      Unexpected{"CommandHighId", true, WM_COMMAND, 0xFFFF, 0},
                      Unexpected{"CommandNextControl", true, WM_COMMAND, kNextControl, 0},
                      Unexpected{"CommandToThread", false, WM_COMMAND, 2, 0},
                      Unexpected{"SysCommandZero", true, WM_SYSCOMMAND, 0, 0},
                      Unexpected{"SysCommandOdd", true, WM_SYSCOMMAND, 0x1234, 0},
                      Unexpected{"SysCommandAllBits", true, WM_SYSCOMMAND, 0xFFF0, 0},
                      Unexpected{"SysCommandToThread", false, WM_SYSCOMMAND, SC_CLOSE, 0},
                      Unexpected{"TimerLike", true, 0x0113, 1, 0},
                      Unexpected{"SystemTimerLike", true, 0x0118, 0xFFFF, 0},
                      Unexpected{"TimerLikeToThread", false, 0x0113, 7, 0},
                      Unexpected{"DestroyToWindow", true, WM_DESTROY, 0, 0},
                      Unexpected{"KeyUpToWindow", true, WM_KEYUP, 'A', 0},
                      Unexpected{"SysCharToWindow", true, WM_SYSCHAR, 'x', 0},
                      Unexpected{"LeftReleaseToWindow", true, WM_LBUTTONUP, 0, MAKELPARAM(5, 5)},
                      Unexpected{"RightReleaseToWindow", true, WM_RBUTTONUP, 0, MAKELPARAM(5, 5)},
                      Unexpected{"MoveToWindow", true, WM_MOVE, 0, MAKELPARAM(-7, 9)},
                      Unexpected{"PaintToWindow", true, WM_PAINT, 0, 0}),
    [](const auto& info) { return info.param.name; });

TEST(UnexpectedMessages, AStreamOfRandomUserMessagesIsDropped) {
  ProgramRun run;
  WindowState window = run.OnlyWindow();
  std::mt19937 random(20240611);  // fixed: every run posts the same stream
  std::uniform_int_distribution<UINT> number(WM_USER, 0x7FFF);
  std::uniform_int_distribution<int64_t> value(INT32_MIN, INT32_MAX);
  for (int i = 0; i < 40; ++i) {
    UINT message = number(random);
    auto wparam = static_cast<WPARAM>(value(random));
    auto lparam = static_cast<LPARAM>(value(random));
    SCOPED_TRACE(::testing::Message() << "message " << message);
    if (i % 2) {
      run.PostToWindow(window.hwnd, message, wparam, lparam);
    } else {
      run.PostToProgramThread(message, wparam, lparam);
    }
    ASSERT_TRUE(run.Running());
  }
  EXPECT_TRUE(SameWindow(run.OnlyWindow(), window));
  run.Chord({'Q'});
  ExpectOrderlyEnd(run.WaitForEnd());
}

// Keys belong to the foreground window: while another program has it, typing reaches nothing.

struct LostForeground {
  std::string name;
  std::function<void(ProgramRun&)> lose;
};
void PrintTo(const LostForeground& c, std::ostream* os) { *os << c.name; }

class TypingElsewhere : public BandTest, public ::testing::TestWithParam<LostForeground> {
 protected:
  TypingElsewhere() : BandTest({.other_windows = {{0, 0, 800, 400}}}) {}
};

TEST_P(TypingElsewhere, ChangesNothingUntilTheBandIsClickedAgain) {
  GetParam().lose(run_);
  ASSERT_FALSE(run_.OnlyWindow().active);
  run_.TakeTrace();
  run_.Chord({'A'});
  run_.Chord({VK_RETURN});
  ASSERT_TRUE(run_.Running()) << "typing elsewhere ended the program";
  for (const TraceEntry& entry : run_.TakeTrace()) {
    EXPECT_TRUE(entry.message < WM_KEYDOWN || entry.message > WM_SYSDEADCHAR)
        << "keyboard message " << entry.message << " reached the program";
  }
  EXPECT_FALSE(run_.OnlyWindow().active);

  run_.Click(Mouse::kLeft, window_.client.left + 100, window_.client.top + 10);
  EXPECT_TRUE(run_.OnlyWindow().active);
  run_.KeyDown('A');
  ExpectOrderlyEnd(run_.WaitForEnd());
}

INSTANTIATE_TEST_SUITE_P(
    Ways, TypingElsewhere,
    ::testing::Values(LostForeground{"SwitchedAway",
                                     [](ProgramRun& run) { run.ActivateOtherWindow(0); }},
                      LostForeground{"ClickedOtherWindow",
                                     [](ProgramRun& run) { run.Click(Mouse::kLeft, 100, 100); }}),
    [](const auto& info) { return info.param.name; });

// When the desktop refuses the window, the program ends at once and leaves nothing behind.

TEST(WindowRefused, EndsAtOnceWithNothingShownAndTheClassUnregistered) {
  DesktopSettings desktop{.refuse_windows = true};
  ProgramRun run(desktop);
  const Ending& ending = run.WaitForEnd();
  ExpectOrderlyEnd(ending);
  EXPECT_EQ(ending.time, desktop.start_time);
  EXPECT_TRUE(Delivered(ending.trace).empty()) << "a window procedure ran";
  EXPECT_TRUE(Retrieved(ending.trace).empty()) << "a message loop ran";
}

}  // namespace
}  // namespace stripband::testing
