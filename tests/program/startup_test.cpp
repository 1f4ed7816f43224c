// Start-up as the band's window and the system see it: the messages of its creation, showing
// and topmost step, the common controls, and the window's geometry for any sizing border.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/program_run.h"

namespace stripband::testing {
namespace {

// The messages the band's window procedure received, in order.
std::vector<TraceEntry> DeliveredTo(const std::vector<TraceEntry>& trace, uint64_t hwnd) {
  std::vector<TraceEntry> delivered;
  for (const TraceEntry& entry : trace) {
    if (entry.kind == TraceEntry::Kind::kDelivered && entry.hwnd == hwnd) {
      delivered.push_back(entry);
    }
  }
  return delivered;
}

// Where `message` first appears at or after `from`, or the end.
size_t Find(const std::vector<TraceEntry>& trace, UINT message, size_t from = 0) {
  for (size_t i = from; i < trace.size(); ++i) {
    if (trace[i].message == message) return i;
  }
  return trace.size();
}

class StartUp : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = run_.OnlyWindow();
    trace_ = DeliveredTo(run_.TakeTrace(), window_.hwnd);
    ASSERT_FALSE(trace_.empty());
  }

  ProgramRun run_;
  WindowState window_;
  std::vector<TraceEntry> trace_;
};

TEST_F(StartUp, CreationThenShowingWithActivation) {
  EXPECT_EQ(trace_.front().message, static_cast<UINT>(WM_NCCREATE));
  // Each step comes after the one before it.
  const UINT order[] = {WM_NCCREATE,          WM_CREATE,      WM_SHOWWINDOW,
                        WM_WINDOWPOSCHANGING, WM_ACTIVATEAPP, WM_NCACTIVATE,
                        WM_ACTIVATE,          WM_SETFOCUS,    WM_WINDOWPOSCHANGED};
  size_t at = 0;
  for (UINT message : order) {
    SCOPED_TRACE(::testing::Message() << "message " << message);
    at = Find(trace_, message, at);
    ASSERT_LT(at, trace_.size()) << "missing or out of order";
    EXPECT_TRUE(trace_[at].sent) << "posted rather than sent";
    if (message == WM_SHOWWINDOW || message == WM_ACTIVATEAPP || message == WM_NCACTIVATE) {
      EXPECT_EQ(trace_[at].wparam, static_cast<uint64_t>(TRUE));
    }
    if (message == WM_ACTIVATE) {
      EXPECT_EQ(LOWORD(trace_[at].wparam), WA_ACTIVE);
    }
  }
  // Nothing activates the window before it is shown.
  size_t shown = Find(trace_, WM_SHOWWINDOW);
  for (UINT activation : {WM_ACTIVATEAPP, WM_NCACTIVATE, WM_ACTIVATE, WM_SETFOCUS}) {
    EXPECT_GT(Find(trace_, activation), shown) << "message " << activation;
  }
  // Activated once: the topmost step finds the window active already.
  EXPECT_EQ(std::count_if(trace_.begin(), trace_.end(),
                          [](const TraceEntry& e) { return e.message == WM_ACTIVATE; }),
            1);
}

TEST_F(StartUp, TheTopmostStepOnlyChangesTheStacking) {
  EXPECT_TRUE(window_.ex_style & WS_EX_TOPMOST);
  // After the show comes a change of place in the z-order only: neither moved nor resized.
  size_t shown = Find(trace_, WM_WINDOWPOSCHANGED, Find(trace_, WM_SHOWWINDOW));
  size_t changing = Find(trace_, WM_WINDOWPOSCHANGING, shown + 1);
  size_t changed = Find(trace_, WM_WINDOWPOSCHANGED, changing);
  ASSERT_LT(changed, trace_.size()) << "no second change of position after the show";
  for (size_t i = changing; i <= changed + 1 && i < trace_.size(); ++i) {
    EXPECT_NE(trace_[i].message, static_cast<UINT>(WM_MOVE)) << "at " << i;
    EXPECT_NE(trace_[i].message, static_cast<UINT>(WM_SIZE)) << "at " << i;
    EXPECT_NE(trace_[i].message, static_cast<UINT>(WM_ACTIVATE)) << "at " << i;
  }
}

TEST_F(StartUp, InitialisesTheCommonControlsItAsksFor) {
  run_.Chord({'A'});
  EXPECT_EQ(run_.WaitForEnd().common_controls,
            static_cast<DWORD>(ICC_TAB_CLASSES | ICC_HOTKEY_CLASS | ICC_DATE_CLASSES |
                               ICC_USEREX_CLASSES | ICC_INTERNET_CLASSES));
}

// The window is created with the sizing border around the 1920 × 50 client area, clamped to
// the screen and centred on it; the creation's WM_SIZE and WM_MOVE tell its client area.

struct BorderCase {
  std::string name;
  int frame;
  int screen_width;
  int screen_height;
  RECT created;  // the window as CreateWindowExA made it
};
void PrintTo(const BorderCase& c, std::ostream* os) { *os << c.name; }

class BorderGeometry : public ::testing::TestWithParam<BorderCase> {};

TEST_P(BorderGeometry, CreatedSizeAndClientFollowTheBorder) {
  const BorderCase& c = GetParam();
  ProgramRun run({.width = c.screen_width, .height = c.screen_height, .frame = c.frame});
  WindowState window = run.OnlyWindow();
  std::vector<TraceEntry> trace = DeliveredTo(run.TakeTrace(), window.hwnd);

  size_t size = Find(trace, WM_SIZE);
  size_t move = Find(trace, WM_MOVE);
  ASSERT_LT(size, trace.size());
  ASSERT_LT(move, trace.size());
  EXPECT_LT(size, Find(trace, WM_SHOWWINDOW)) << "not from the creation";
  EXPECT_EQ(LOWORD(trace[size].lparam), c.created.right - c.created.left - 2 * c.frame);
  EXPECT_EQ(HIWORD(trace[size].lparam), c.created.bottom - c.created.top - 2 * c.frame);
  EXPECT_EQ(static_cast<SHORT>(LOWORD(trace[move].lparam)), c.created.left + c.frame);
  EXPECT_EQ(static_cast<SHORT>(HIWORD(trace[move].lparam)), c.created.top + c.frame);

  // The band stays where it was created, its client area f pixels inside the border.
  EXPECT_EQ(window.rect.left, c.created.left);
  EXPECT_EQ(window.rect.top, c.created.top);
  EXPECT_EQ(window.client.left, window.rect.left + c.frame);
  EXPECT_EQ(window.client.top, window.rect.top + c.frame);
  EXPECT_EQ(window.client.right, window.rect.right - c.frame);
  EXPECT_EQ(window.client.bottom, window.rect.bottom - c.frame);
}

INSTANTIATE_TEST_SUITE_P(
    Borders, BorderGeometry,
    ::testing::Values(BorderCase{"NoBorder", 0, 1920, 1080, {0, 515, 1920, 565}},
                      BorderCase{"NoBorderWideScreen", 0, 2560, 1440, {320, 695, 2240, 745}},
                      BorderCase{"Border4", 4, 1920, 1080, {0, 511, 1920, 569}},
                      BorderCase{"Border4SmallScreen", 4, 1366, 768, {0, 355, 1366, 413}},
                      BorderCase{"Border8", 8, 1920, 1080, {0, 507, 1920, 573}},
                      BorderCase{"Border8WideScreen", 8, 2560, 1440, {312, 687, 2248, 753}}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace stripband::testing
