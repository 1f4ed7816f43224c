// The mouse: hit testing of a popup with a sizing border, double-clicks, activation by a
// click, and the resize loop a press on the border starts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/platform/test_program.h"
#include "tests/support/program_run.h"

namespace stripband::testing {
namespace {

// TestProgram's window is {100, 100, 500, 300} with a 4-pixel border: the client area is
// {104, 104, 496, 296} on the screen.
constexpr POINT kClientOrigin = {104, 104};

bool IsDown(UINT message) {
  return message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK || message == WM_RBUTTONDOWN ||
         message == WM_RBUTTONDBLCLK;
}

// The button-down messages the program took from its queue, in order.
std::vector<UINT> Downs(const std::vector<TraceEntry>& trace) {
  std::vector<UINT> downs;
  for (UINT message : Retrieved(trace)) {
    if (IsDown(message)) downs.push_back(message);
  }
  return downs;
}

const TraceEntry* First(const std::vector<TraceEntry>& trace, UINT message,
                        TraceEntry::Kind kind = TraceEntry::Kind::kDelivered) {
  for (const TraceEntry& entry : trace) {
    if (entry.kind == kind && entry.message == message) return &entry;
  }
  return nullptr;
}
// The entry lives in the trace: a temporary one would be gone before it is read.
const TraceEntry* First(std::vector<TraceEntry>&& trace, UINT message,
                        TraceEntry::Kind kind = TraceEntry::Kind::kDelivered) = delete;

size_t CountDelivered(const std::vector<TraceEntry>& trace, UINT message) {
  size_t count = 0;
  for (UINT delivered : Delivered(trace)) count += delivered == message;
  return count;
}

// WM_NCHITTEST: the client area, the border's edges and its corners, and what the pointer's
// message then is.

struct HitCase {
  POINT point;
  LRESULT hit;
};

TEST(HitTest, SplitsThePopupIntoClientAreaEdgesAndCorners) {
  const HitCase cases[] = {
      {{300, 200}, HTCLIENT},   {{104, 104}, HTCLIENT},      {{495, 295}, HTCLIENT},
      {{300, 100}, HTTOP},      {{300, 103}, HTTOP},         {{300, 299}, HTBOTTOM},
      {{300, 296}, HTBOTTOM},   {{100, 200}, HTLEFT},        {{103, 200}, HTLEFT},
      {{499, 200}, HTRIGHT},    {{496, 200}, HTRIGHT},       {{100, 100}, HTTOPLEFT},
      {{499, 100}, HTTOPRIGHT}, {{100, 299}, HTBOTTOMLEFT},  {{499, 299}, HTBOTTOMRIGHT},
      {{103, 103}, HTTOPLEFT},  {{496, 296}, HTBOTTOMRIGHT},
  };
  ProgramRun run({}, Entry({}));
  uint64_t hwnd = run.OnlyWindow().hwnd;
  for (const HitCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << "at (" << c.point.x << ", " << c.point.y << ")");
    run.TakeTrace();
    run.MovePointer(c.point.x, c.point.y);
    std::vector<TraceEntry> trace = run.TakeTrace();
    const TraceEntry* hit_test = First(trace, WM_NCHITTEST);
    ASSERT_NE(hit_test, nullptr);
    EXPECT_EQ(hit_test->hwnd, hwnd);
    EXPECT_TRUE(hit_test->sent);
    EXPECT_EQ(hit_test->lparam, MAKELPARAM(c.point.x, c.point.y));

    if (c.hit == HTCLIENT) {
      const TraceEntry* move = First(trace, WM_MOUSEMOVE);
      ASSERT_NE(move, nullptr);
      EXPECT_EQ(move->lparam, MAKELPARAM(c.point.x - kClientOrigin.x, c.point.y - kClientOrigin.y))
          << "not in client coordinates";
      EXPECT_EQ(First(trace, WM_NCMOUSEMOVE), nullptr);
    } else {
      const TraceEntry* move = First(trace, WM_NCMOUSEMOVE);
      ASSERT_NE(move, nullptr);
      EXPECT_EQ(move->wparam, static_cast<uint64_t>(c.hit));
      EXPECT_EQ(move->lparam, MAKELPARAM(c.point.x, c.point.y)) << "not in screen coordinates";
      EXPECT_EQ(First(trace, WM_MOUSEMOVE), nullptr);
    }
  }
}

TEST(HitTest, APointerOutsideTheWindowReachesNothingOfIt) {
  ProgramRun run({}, Entry({}));
  run.TakeTrace();
  for (POINT point : {POINT{99, 200}, POINT{500, 200}, POINT{300, 99}, POINT{300, 300}}) {
    run.MovePointer(point.x, point.y);
  }
  EXPECT_TRUE(run.TakeTrace().empty());
}

// Double-clicks: a second press of the same button soon enough and close enough to the first.

struct ClickPair {
  std::string name;
  UINT class_style;
  DesktopSettings desktop;
  Mouse first;
  Mouse second;
  uint32_t delay;
  POINT offset;
  UINT second_message;
};
void PrintTo(const ClickPair& c, std::ostream* os) { *os << c.name; }

class DoubleClicks : public ::testing::TestWithParam<ClickPair> {};

TEST_P(DoubleClicks, ComeOnlyWithinTheTimeAndRectangle) {
  const ClickPair& c = GetParam();
  ProgramRun run(c.desktop, Entry({.class_style = c.class_style}));
  run.TakeTrace();
  run.Click(c.first, 300, 200);
  run.Wait(c.delay);
  run.Click(c.second, 300 + c.offset.x, 200 + c.offset.y);
  UINT first_down = c.first == Mouse::kLeft ? WM_LBUTTONDOWN : WM_RBUTTONDOWN;
  EXPECT_EQ(Downs(run.TakeTrace()), (std::vector<UINT>{first_down, c.second_message}));
}

constexpr UINT kDbl = CS_DBLCLKS;
constexpr Mouse kL = Mouse::kLeft;
constexpr Mouse kR = Mouse::kRight;

INSTANTIATE_TEST_SUITE_P(
    Pairs, DoubleClicks,
    ::testing::Values(
        ClickPair{"SameSpotAtOnce", kDbl, {}, kL, kL, 0, {0, 0}, WM_LBUTTONDBLCLK},
        ClickPair{"AtTheTimeLimit", kDbl, {}, kL, kL, 500, {0, 0}, WM_LBUTTONDBLCLK},
        ClickPair{"PastTheTimeLimit", kDbl, {}, kL, kL, 501, {0, 0}, WM_LBUTTONDOWN},
        ClickPair{"TwoPixelsRight", kDbl, {}, kL, kL, 100, {2, 0}, WM_LBUTTONDBLCLK},
        ClickPair{"ThreePixelsRight", kDbl, {}, kL, kL, 100, {3, 0}, WM_LBUTTONDOWN},
        ClickPair{"TwoPixelsUp", kDbl, {}, kL, kL, 100, {0, -2}, WM_LBUTTONDBLCLK},
        ClickPair{"ThreePixelsUp", kDbl, {}, kL, kL, 100, {0, -3}, WM_LBUTTONDOWN},
        ClickPair{"TwoLeftTwoDown", kDbl, {}, kL, kL, 100, {-2, 2}, WM_LBUTTONDBLCLK},
        ClickPair{"ThreeLeft", kDbl, {}, kL, kL, 100, {-3, 0}, WM_LBUTTONDOWN},
        ClickPair{"LongerSetTime",
                  kDbl,
                  {.double_click_time = 900},
                  kL,
                  kL,
                  900,
                  {0, 0},
                  WM_LBUTTONDBLCLK},
        ClickPair{"ShorterSetTime",
                  kDbl,
                  {.double_click_time = 200},
                  kL,
                  kL,
                  201,
                  {0, 0},
                  WM_LBUTTONDOWN},
        ClickPair{"WiderSetRectangle",
                  kDbl,
                  {.double_click_width = 10},
                  kL,
                  kL,
                  0,
                  {5, 0},
                  WM_LBUTTONDBLCLK},
        ClickPair{"PastWiderSetRectangle",
                  kDbl,
                  {.double_click_width = 10},
                  kL,
                  kL,
                  0,
                  {6, 0},
                  WM_LBUTTONDOWN},
        ClickPair{"TallerSetRectangle",
                  kDbl,
                  {.double_click_height = 10},
                  kL,
                  kL,
                  0,
                  {0, 5},
                  WM_LBUTTONDBLCLK},
        ClickPair{"ClassWithoutDoubleClicks", 0, {}, kL, kL, 0, {0, 0}, WM_LBUTTONDOWN},
        ClickPair{"RightButton", kDbl, {}, kR, kR, 0, {0, 0}, WM_RBUTTONDBLCLK},
        ClickPair{"RightWithoutDoubleClicks", 0, {}, kR, kR, 0, {0, 0}, WM_RBUTTONDOWN},
        ClickPair{"LeftThenRight", kDbl, {}, kL, kR, 0, {0, 0}, WM_RBUTTONDOWN},
        ClickPair{"RightThenLeft", kDbl, {}, kR, kL, 0, {0, 0}, WM_LBUTTONDOWN}),
    [](const auto& info) { return info.param.name; });

TEST(DoubleClick, TheThirdQuickPressIsAPlainPressAgain) {
  ProgramRun run({}, Entry({.class_style = CS_DBLCLKS}));
  run.TakeTrace();
  for (int i = 0; i < 5; ++i) run.Click(Mouse::kLeft, 300, 200);
  EXPECT_EQ(Downs(run.TakeTrace()),
            (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_LBUTTONDOWN, WM_LBUTTONDBLCLK,
                               WM_LBUTTONDOWN}));
}

TEST(DoubleClick, CarriesTheKeyFlagsAndClientPoint) {
  ProgramRun run({}, Entry({.class_style = CS_DBLCLKS}));
  run.Click(Mouse::kLeft, 300, 200);
  run.TakeTrace();
  run.KeyDown(VK_SHIFT);
  run.MovePointer(301, 201);
  run.Press(Mouse::kLeft);
  const std::vector<TraceEntry> trace = run.TakeTrace();
  const TraceEntry* dbl = First(trace, WM_LBUTTONDBLCLK);
  ASSERT_NE(dbl, nullptr);
  EXPECT_EQ(dbl->wparam, static_cast<uint64_t>(MK_LBUTTON | MK_SHIFT));
  EXPECT_EQ(dbl->lparam, MAKELPARAM(301 - kClientOrigin.x, 201 - kClientOrigin.y));
}

// A press on an inactive window asks it with WM_MOUSEACTIVATE whether to activate it, and
// whether the press itself goes on.

struct ActivationCase {
  std::string name;
  LRESULT answer;  // 0: DefWindowProcA's
  bool activated;
  bool press_delivered;
};
void PrintTo(const ActivationCase& c, std::ostream* os) { *os << c.name; }

class ClickActivation : public ::testing::TestWithParam<ActivationCase> {};

TEST_P(ClickActivation, FollowsTheWindowsAnswer) {
  const ActivationCase& c = GetParam();
  TestProgram program{
      .hook = [answer = c.answer](HWND, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (message == WM_MOUSEACTIVATE && answer != 0) return answer;
        return std::nullopt;
      }};
  ProgramRun run({.other_windows = {{1000, 0, 1200, 100}}}, Entry(program));
  uint64_t hwnd = run.OnlyWindow().hwnd;
  run.ActivateOtherWindow(0);
  ASSERT_FALSE(run.OnlyWindow().active);
  run.MovePointer(300, 200);
  run.TakeTrace();
  run.Press(Mouse::kLeft);
  std::vector<TraceEntry> trace = run.TakeTrace();

  const TraceEntry* ask = First(trace, WM_MOUSEACTIVATE);
  ASSERT_NE(ask, nullptr);
  EXPECT_EQ(ask->wparam, hwnd) << "not the top-level window";
  EXPECT_EQ(LOWORD(ask->lparam), HTCLIENT);
  EXPECT_EQ(HIWORD(ask->lparam), WM_LBUTTONDOWN);
  EXPECT_EQ(run.OnlyWindow().active, c.activated);
  const TraceEntry* activate = First(trace, WM_ACTIVATE);
  ASSERT_EQ(activate != nullptr, c.activated);
  if (activate) {
    EXPECT_EQ(LOWORD(activate->wparam), WA_CLICKACTIVE);
  }
  EXPECT_EQ(CountDelivered(trace, WM_LBUTTONDOWN), c.press_delivered ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ClickActivation,
    ::testing::Values(ActivationCase{"Default", 0, true, true},
                      ActivationCase{"Activate", MA_ACTIVATE, true, true},
                      ActivationCase{"ActivateAndEat", MA_ACTIVATEANDEAT, true, false},
                      ActivationCase{"NoActivate", MA_NOACTIVATE, false, true},
                      ActivationCase{"NoActivateAndEat", MA_NOACTIVATEANDEAT, false, false}),
    [](const auto& info) { return info.param.name; });

TEST(ClickActivation, APressOnTheBorderNamesTheNonClientMessage) {
  ProgramRun run({.other_windows = {{1000, 0, 1200, 100}}}, Entry({}));
  run.ActivateOtherWindow(0);
  run.MovePointer(300, 101);
  run.TakeTrace();
  run.Press(Mouse::kRight);
  std::vector<TraceEntry> trace = run.TakeTrace();
  const TraceEntry* ask = First(trace, WM_MOUSEACTIVATE);
  ASSERT_NE(ask, nullptr);
  EXPECT_EQ(LOWORD(ask->lparam), HTTOP);
  EXPECT_EQ(HIWORD(ask->lparam), WM_NCRBUTTONDOWN);
  EXPECT_TRUE(run.OnlyWindow().active);
  EXPECT_EQ(CountDelivered(trace, WM_NCRBUTTONDOWN), 1u);
}

TEST(ClickActivation, AnActiveWindowIsNotAsked) {
  ProgramRun run({}, Entry({}));
  ASSERT_TRUE(run.OnlyWindow().active);
  run.TakeTrace();
  run.Click(Mouse::kLeft, 300, 200);
  std::vector<TraceEntry> trace = run.TakeTrace();
  EXPECT_EQ(CountDelivered(trace, WM_MOUSEACTIVATE), 0u);
  EXPECT_EQ(CountDelivered(trace, WM_LBUTTONDOWN), 1u);
}

// A left press on the sizing border: the default window procedure runs a modal resize loop
// that keeps the pointer until the button comes up.

struct ResizeCase {
  std::string name;
  POINT press;
  std::vector<POINT> moves;
  BYTE key;  // ends the loop instead of the release when not 0
  RECT result;
};
void PrintTo(const ResizeCase& c, std::ostream* os) { *os << c.name; }

class ResizeLoop : public ::testing::TestWithParam<ResizeCase> {};

TEST_P(ResizeLoop, ResizesByTheDragAndHoldsTheMouseUntilItEnds) {
  const ResizeCase& c = GetParam();
  ProgramRun run({}, Entry({}));
  uint64_t hwnd = run.OnlyWindow().hwnd;
  run.MovePointer(c.press.x, c.press.y);
  run.TakeTrace();
  run.Press(Mouse::kLeft);
  for (POINT point : c.moves) run.MovePointer(point.x, point.y);
  run.KeyDown('A');
  run.KeyUp('A');

  std::vector<TraceEntry> during = run.TakeTrace();
  const TraceEntry* command = First(during, WM_SYSCOMMAND);
  ASSERT_NE(command, nullptr);
  EXPECT_EQ(command->wparam & 0xFFF0, static_cast<uint64_t>(SC_SIZE));
  EXPECT_EQ(CountDelivered(during, WM_ENTERSIZEMOVE), 1u);
  EXPECT_EQ(CountDelivered(during, WM_EXITSIZEMOVE), 0u) << "the loop ended early";
  EXPECT_GE(CountDelivered(during, WM_SIZING), c.moves.size() ? 1u : 0u);
  for (UINT message : {WM_MOUSEMOVE, WM_NCMOUSEMOVE, WM_LBUTTONUP, WM_NCLBUTTONUP, WM_KEYDOWN,
                       WM_KEYUP, WM_CHAR}) {
    EXPECT_EQ(CountDelivered(during, message), 0u) << "message " << message << " got through";
  }

  if (c.key) {
    run.KeyDown(c.key);
    run.KeyUp(c.key);
  } else {
    run.Release(Mouse::kLeft);
  }
  std::vector<TraceEntry> after = run.TakeTrace();
  EXPECT_EQ(CountDelivered(after, WM_EXITSIZEMOVE), 1u);
  WindowState window = run.OnlyWindow();
  EXPECT_EQ(window.hwnd, hwnd);
  EXPECT_EQ(window.rect.left, c.result.left);
  EXPECT_EQ(window.rect.top, c.result.top);
  EXPECT_EQ(window.rect.right, c.result.right);
  EXPECT_EQ(window.rect.bottom, c.result.bottom);

  // Over: the pointer's messages reach the window procedure again.
  if (c.key) run.Release(Mouse::kLeft);
  run.MovePointer(window.client.left + 20, window.client.top + 20);
  EXPECT_GE(CountDelivered(run.TakeTrace(), WM_MOUSEMOVE), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Drags, ResizeLoop,
    ::testing::Values(
        ResizeCase{"RightEdge", {499, 200}, {{520, 210}, {549, 220}}, 0, {100, 100, 550, 300}},
        ResizeCase{"LeftEdge", {100, 200}, {{60, 200}}, 0, {60, 100, 500, 300}},
        ResizeCase{"TopEdge", {300, 101}, {{300, 81}}, 0, {100, 80, 500, 300}},
        ResizeCase{"BottomEdge", {300, 298}, {{300, 258}}, 0, {100, 100, 500, 260}},
        ResizeCase{"BottomRightCorner", {499, 299}, {{529, 339}}, 0, {100, 100, 530, 340}},
        ResizeCase{"TopLeftCorner", {101, 101}, {{91, 71}}, 0, {90, 70, 500, 300}},
        ResizeCase{"PointerFarOutside", {499, 200}, {{899, 700}}, 0, {100, 100, 900, 300}},
        ResizeCase{"NoMovement", {499, 200}, {}, 0, {100, 100, 500, 300}},
        ResizeCase{"EscCancels", {499, 200}, {{549, 200}}, VK_ESCAPE, {100, 100, 500, 300}},
        ResizeCase{"EnterKeeps", {499, 200}, {{549, 200}}, VK_RETURN, {100, 100, 550, 300}}),
    [](const auto& info) { return info.param.name; });

TEST(ResizeLoop, IsNotStartedByAPressOnTheClientArea) {
  ProgramRun run({}, Entry({}));
  run.TakeTrace();
  run.Click(Mouse::kLeft, 300, 200);
  run.MovePointer(320, 220);
  std::vector<TraceEntry> trace = run.TakeTrace();
  EXPECT_EQ(CountDelivered(trace, WM_ENTERSIZEMOVE), 0u);
  EXPECT_GE(CountDelivered(trace, WM_MOUSEMOVE), 2u);
}

}  // namespace
}  // namespace stripband::testing
