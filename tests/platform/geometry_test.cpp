// Window geometry: SetWindowPos and the messages it sends, the sizing border in
// AdjustWindowRectEx and GetSystemMetrics, client rectangles and MapWindowPoints.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/platform/test_program.h"
#include "tests/support/program_run.h"

namespace stripband::testing {
namespace {

constexpr RECT kStart = {100, 100, 500, 300};  // TestProgram's window
constexpr int kFrame = 4;

std::vector<TraceEntry> Of(const std::vector<TraceEntry>& trace, UINT message) {
  std::vector<TraceEntry> found;
  for (const TraceEntry& entry : trace) {
    if (entry.message == message) found.push_back(entry);
  }
  return found;
}

size_t IndexOf(const std::vector<TraceEntry>& trace, UINT message) {
  for (size_t i = 0; i < trace.size(); ++i) {
    if (trace[i].message == message) return i;
  }
  return trace.size();
}

void ExpectRect(const RECT& actual, const RECT& expected) {
  EXPECT_EQ(actual.left, expected.left);
  EXPECT_EQ(actual.top, expected.top);
  EXPECT_EQ(actual.right, expected.right);
  EXPECT_EQ(actual.bottom, expected.bottom);
}

// Reports each WINDOWPOS the window procedure is given: x, y, cx, cy, flags.
std::optional<LRESULT> ReportWindowPos(HWND, UINT message, WPARAM, LPARAM lparam) {
  if (message == WM_WINDOWPOSCHANGING || message == WM_WINDOWPOSCHANGED) {
    const auto* pos = reinterpret_cast<const WINDOWPOS*>(lparam);
    ReportToTest(message == WM_WINDOWPOSCHANGING ? "changing" : "changed",
                 {pos->x, pos->y, pos->cx, pos->cy, pos->flags});
  }
  return std::nullopt;
}

// SetWindowPos on a shown window that another program's window has taken the foreground from.

struct PositionCase {
  std::string name;
  HWND insert_after;
  RECT requested;  // x, y, cx, cy as passed
  UINT flags;
  RECT result;
  bool moved;    // WM_MOVE with the new client origin
  bool resized;  // WM_SIZE with the new client size
  bool activated;
  bool topmost;
};
void PrintTo(const PositionCase& c, std::ostream* os) { *os << c.name; }

class SetWindowPosCases : public ::testing::TestWithParam<PositionCase> {};

TEST_P(SetWindowPosCases, SendsTheChangeAndItsConsequences) {
  const PositionCase& c = GetParam();
  TestProgram program{.hook = ReportWindowPos,
                      .steps = {[c](HWND hwnd) {
                        SetWindowPos(hwnd, c.insert_after, c.requested.left, c.requested.top,
                                     c.requested.right, c.requested.bottom, c.flags);
                      }}};
  ProgramRun run({.other_windows = {{1000, 0, 1200, 100}}}, Entry(program));
  run.ActivateOtherWindow(0);
  uint64_t hwnd = run.OnlyWindow().hwnd;
  run.TakeReports();
  RunStep(run, hwnd, 0);
  std::vector<TraceEntry> trace = StepTrace(run.TakeTrace());
  WindowState window = run.OnlyWindow();

  // WM_WINDOWPOSCHANGING with the request, then WM_WINDOWPOSCHANGED with the result.
  size_t changing = IndexOf(trace, WM_WINDOWPOSCHANGING);
  size_t changed = IndexOf(trace, WM_WINDOWPOSCHANGED);
  ASSERT_LT(changing, trace.size());
  ASSERT_LT(changed, trace.size());
  EXPECT_LT(changing, changed);
  std::vector<Report> reports = run.TakeReports();
  auto asked = Find(reports, "changing");
  auto done = Find(reports, "changed");
  ASSERT_TRUE(asked && done);
  EXPECT_EQ((*asked)[4], static_cast<int64_t>(c.flags));
  EXPECT_EQ(std::vector<int64_t>(done->begin(), done->begin() + 4),
            (std::vector<int64_t>{c.result.left, c.result.top, c.result.right - c.result.left,
                                  c.result.bottom - c.result.top}));

  ExpectRect(window.rect, c.result);
  std::vector<TraceEntry> moves = Of(trace, WM_MOVE);
  ASSERT_EQ(moves.size(), c.moved ? 1u : 0u);
  if (c.moved) {
    EXPECT_EQ(static_cast<SHORT>(LOWORD(moves[0].lparam)), c.result.left + kFrame);
    EXPECT_EQ(static_cast<SHORT>(HIWORD(moves[0].lparam)), c.result.top + kFrame);
    EXPECT_GT(IndexOf(trace, WM_MOVE), changed) << "WM_MOVE before the change was made";
  }
  std::vector<TraceEntry> sizes = Of(trace, WM_SIZE);
  ASSERT_EQ(sizes.size(), c.resized ? 1u : 0u);
  if (c.resized) {
    EXPECT_EQ(LOWORD(sizes[0].lparam), c.result.right - c.result.left - 2 * kFrame);
    EXPECT_EQ(HIWORD(sizes[0].lparam), c.result.bottom - c.result.top - 2 * kFrame);
  }

  EXPECT_EQ(window.active, c.activated);
  EXPECT_EQ(Of(trace, WM_ACTIVATE).size(), c.activated ? 1u : 0u);
  if (c.activated) {
    size_t activate = IndexOf(trace, WM_ACTIVATE);
    EXPECT_TRUE(changing < activate && activate < changed) << "activated outside the change";
  }
  EXPECT_EQ((window.ex_style & WS_EX_TOPMOST) != 0, c.topmost);
}

constexpr UINT kQuiet = SWP_NOZORDER | SWP_NOACTIVATE;

INSTANTIATE_TEST_SUITE_P(Calls, SetWindowPosCases,
                         ::testing::Values(PositionCase{"Move",
                                                        NULL,
                                                        {150, 120, 0, 0},
                                                        SWP_NOSIZE | kQuiet,
                                                        {150, 120, 550, 320},
                                                        true,
                                                        false,
                                                        false,
                                                        false},
                                           PositionCase{"MoveOffScreen",
                                                        NULL,
                                                        {-50, -30, 0, 0},
                                                        SWP_NOSIZE | kQuiet,
                                                        {-50, -30, 350, 170},
                                                        true,
                                                        false,
                                                        false,
                                                        false},
                                           PositionCase{"Resize",
                                                        NULL,
                                                        {0, 0, 300, 100},
                                                        SWP_NOMOVE | kQuiet,
                                                        {100, 100, 400, 200},
                                                        false,
                                                        true,
                                                        false,
                                                        false},
                                           PositionCase{"MoveAndResize",
                                                        NULL,
                                                        {10, 20, 200, 60},
                                                        kQuiet,
                                                        {10, 20, 210, 80},
                                                        true,
                                                        true,
                                                        false,
                                                        false},
                                           PositionCase{"SamePlaceAndSize",
                                                        NULL,
                                                        {100, 100, 400, 200},
                                                        kQuiet,
                                                        kStart,
                                                        false,
                                                        false,
                                                        false,
                                                        false},
                                           PositionCase{"Activate",
                                                        NULL,
                                                        {0, 0, 0, 0},
                                                        SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER,
                                                        kStart,
                                                        false,
                                                        false,
                                                        true,
                                                        false},
                                           PositionCase{"TopmostQuietly",
                                                        HWND_TOPMOST,
                                                        {0, 0, 0, 0},
                                                        SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE,
                                                        kStart,
                                                        false,
                                                        false,
                                                        false,
                                                        true},
                                           PositionCase{"TopmostAndActive",
                                                        HWND_TOPMOST,
                                                        {0, 0, 0, 0},
                                                        SWP_NOMOVE | SWP_NOSIZE,
                                                        kStart,
                                                        false,
                                                        false,
                                                        true,
                                                        true},
                                           PositionCase{"TopmostIgnoredWithNoZOrder",
                                                        HWND_TOPMOST,
                                                        {0, 0, 0, 0},
                                                        SWP_NOMOVE | SWP_NOSIZE | kQuiet,
                                                        kStart,
                                                        false,
                                                        false,
                                                        false,
                                                        false}),
                         [](const auto& info) { return info.param.name; });

TEST(SetWindowPos, NotTopmostTakesTheWindowOutOfTheTopmostBand) {
  auto make_topmost = [](HWND hwnd) {
    SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  };
  auto make_ordinary = [](HWND hwnd) {
    SetWindowPos(hwnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  };
  ProgramRun run({}, Entry({.steps = {make_topmost, make_ordinary}}));
  uint64_t hwnd = run.OnlyWindow().hwnd;
  RunStep(run, hwnd, 0);
  EXPECT_TRUE(run.OnlyWindow().ex_style & WS_EX_TOPMOST);
  RunStep(run, hwnd, 1);
  EXPECT_FALSE(run.OnlyWindow().ex_style & WS_EX_TOPMOST);
}

// What the window procedure does to the WINDOWPOS of WM_WINDOWPOSCHANGING is what happens.

struct ChangingEdit {
  std::string name;
  std::function<void(WINDOWPOS&)> edit;
  RECT result;
  bool moved;
  bool resized;
};
void PrintTo(const ChangingEdit& c, std::ostream* os) { *os << c.name; }

class EditedChange : public ::testing::TestWithParam<ChangingEdit> {};

// Set by the program once it has shown its window; only later changes are edited.
bool edit_changes = false;

TEST_P(EditedChange, DecidesTheOutcome) {
  const ChangingEdit& c = GetParam();
  TestProgram program{
      .hook = [c](HWND, UINT message, WPARAM, LPARAM lparam) -> std::optional<LRESULT> {
        if (message == WM_WINDOWPOSCHANGING && edit_changes) {
          c.edit(*reinterpret_cast<WINDOWPOS*>(lparam));
        }
        return std::nullopt;
      },
      .steps = {[](HWND hwnd) {
        edit_changes = true;
        SetWindowPos(hwnd, NULL, 150, 120, 200, 80, SWP_NOZORDER | SWP_NOACTIVATE);
      }}};
  ProgramRun run({}, Entry(program));
  uint64_t hwnd = run.OnlyWindow().hwnd;
  RunStep(run, hwnd, 0);
  std::vector<TraceEntry> trace = StepTrace(run.TakeTrace());
  ExpectRect(run.OnlyWindow().rect, c.result);
  EXPECT_EQ(Of(trace, WM_MOVE).size(), c.moved ? 1u : 0u);
  EXPECT_EQ(Of(trace, WM_SIZE).size(), c.resized ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Edits, EditedChange,
    ::testing::Values(
        ChangingEdit{"Untouched", [](WINDOWPOS&) {}, {150, 120, 350, 200}, true, true},
        ChangingEdit{"NoMove",
                     [](WINDOWPOS& pos) { pos.flags |= SWP_NOMOVE; },
                     {100, 100, 300, 180},
                     false,
                     true},
        ChangingEdit{"NoSize",
                     [](WINDOWPOS& pos) { pos.flags |= SWP_NOSIZE; },
                     {150, 120, 550, 320},
                     true,
                     false},
        ChangingEdit{"OtherPlace",
                     [](WINDOWPOS& pos) {
                       pos.x = 30;
                       pos.y = 40;
                     },
                     {30, 40, 230, 120},
                     true,
                     true},
        ChangingEdit{
            "OtherSize", [](WINDOWPOS& pos) { pos.cy = 50; }, {150, 120, 350, 170}, true, true}),
    [](const auto& info) { return info.param.name; });

// The sizing border: what AdjustWindowRectEx adds and what GetSystemMetrics says it is.

struct BorderCase {
  int frame;
  DWORD style;
  int grows_by;
};

class AdjustWindowRect : public ::testing::TestWithParam<BorderCase> {};

TEST_P(AdjustWindowRect, GrowsTheClientRectangleByTheSizingBorder) {
  const BorderCase& c = GetParam();
  ProgramRun run({.frame = c.frame}, [style = c.style] {
    RECT rect = {0, 0, 1920, 50};
    BOOL ok = AdjustWindowRectEx(&rect, style, FALSE, 0);
    ReportToTest("adjusted", {ok, rect.left, rect.top, rect.right, rect.bottom});
    ReportToTest("frame", {GetSystemMetrics(SM_CXFRAME), GetSystemMetrics(SM_CYFRAME)});
    return 0;
  });
  const Ending& ending = run.WaitForEnd();
  auto adjusted = Find(ending.reports, "adjusted");
  auto frame = Find(ending.reports, "frame");
  ASSERT_TRUE(adjusted && frame);
  int g = c.grows_by;
  EXPECT_EQ(*adjusted, (std::vector<int64_t>{TRUE, -g, -g, 1920 + g, 50 + g}));
  EXPECT_EQ(*frame, (std::vector<int64_t>{c.frame, c.frame}));
}

INSTANTIATE_TEST_SUITE_P(Borders, AdjustWindowRect,
                         ::testing::Values(BorderCase{4, WS_POPUP | WS_THICKFRAME, 4},
                                           BorderCase{0, WS_POPUP | WS_THICKFRAME, 0},
                                           BorderCase{8, WS_POPUP | WS_THICKFRAME, 8},
                                           BorderCase{1, WS_POPUP | WS_THICKFRAME, 1},
                                           BorderCase{8, WS_POPUP, 0}));

// Client rectangles and coordinate mapping follow the border, for any thickness.

class ClientArea : public ::testing::TestWithParam<int> {};

TEST_P(ClientArea, LiesInsideTheBorderAndMapsToTheScreen) {
  const int f = GetParam();
  TestProgram program{
      .steps = {[](HWND hwnd) {
        RECT client;
        GetClientRect(hwnd, &client);
        ReportToTest("client", {client.left, client.top, client.right, client.bottom});
        POINT points[2] = {{0, 0}, {10, 20}};
        int offset = MapWindowPoints(hwnd, NULL, points, 2);
        ReportToTest("to screen",
                     {points[0].x, points[0].y, points[1].x, points[1].y,
                      static_cast<SHORT>(LOWORD(offset)), static_cast<SHORT>(HIWORD(offset))});
        POINT back = {100, 100};
        offset = MapWindowPoints(NULL, hwnd, &back, 1);
        ReportToTest("to client", {back.x, back.y, static_cast<SHORT>(LOWORD(offset)),
                                   static_cast<SHORT>(HIWORD(offset))});
        HWND other = CreateWindowExA(0, kTestClass, "", WS_POPUP | WS_THICKFRAME, 600, 400, 200,
                                     100, NULL, NULL, GetModuleHandleA(NULL), NULL);
        POINT between = {0, 0};
        MapWindowPoints(hwnd, other, &between, 1);
        ReportToTest("between windows", {between.x, between.y});
        DestroyWindow(other);
      }}};
  ProgramRun run({.frame = f}, Entry(program));
  RunStep(run, run.OnlyWindow().hwnd, 0);
  std::vector<Report> reports = run.TakeReports();
  EXPECT_EQ(*Find(reports, "client"), (std::vector<int64_t>{0, 0, 400 - 2 * f, 200 - 2 * f}));
  int64_t origin = 100 + f;
  EXPECT_EQ(*Find(reports, "to screen"),
            (std::vector<int64_t>{origin, origin, origin + 10, origin + 20, origin, origin}));
  EXPECT_EQ(*Find(reports, "to client"), (std::vector<int64_t>{-f, -f, -origin, -origin}));
  EXPECT_EQ(*Find(reports, "between windows"), (std::vector<int64_t>{-500, -300}));

  WindowState window = run.OnlyWindow();
  ExpectRect(window.client, {100 + f, 100 + f, 500 - f, 300 - f});
}

INSTANTIATE_TEST_SUITE_P(Borders, ClientArea, ::testing::Values(0, 4, 8));

}  // namespace
}  // namespace stripband::testing
