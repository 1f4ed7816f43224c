// The band's window as the user and the system see it after start-up.
#include <gtest/gtest.h>

#include "tests/support/program_run.h"

namespace stripband::testing {
namespace {

struct GeometryCase {
  int screen_width;
  int screen_height;
  RECT created;  // the window as CreateWindowExA made it
};

class WindowGeometry : public ::testing::TestWithParam<GeometryCase> {};

// The window as CreateWindowExA made it, read from the first WM_SIZE and WM_MOVE it got.
RECT CreatedRect(const std::vector<TraceEntry>& trace, int frame) {
  RECT rect{};
  bool sized = false, moved = false;
  for (const TraceEntry& entry : trace) {
    if (entry.kind != TraceEntry::Kind::kDelivered) continue;
    if (entry.message == WM_SIZE && !sized) {
      rect.right = LOWORD(entry.lparam) + 2 * frame;
      rect.bottom = HIWORD(entry.lparam) + 2 * frame;
      sized = true;
    } else if (entry.message == WM_MOVE && !moved) {
      rect.left = static_cast<SHORT>(LOWORD(entry.lparam)) - frame;
      rect.top = static_cast<SHORT>(HIWORD(entry.lparam)) - frame;
      moved = true;
    }
  }
  rect.right += rect.left;
  rect.bottom += rect.top;
  return rect;
}

TEST_P(WindowGeometry, IsCreatedCentredAndThenTakesThePicturesSizeInPlace) {
  const GeometryCase& c = GetParam();
  ProgramRun run({.width = c.screen_width, .height = c.screen_height, .frame = 4});
  RECT created = CreatedRect(run.TakeTrace(), 4);
  EXPECT_EQ(created.left, c.created.left);
  EXPECT_EQ(created.top, c.created.top);
  EXPECT_EQ(created.right, c.created.right);
  EXPECT_EQ(created.bottom, c.created.bottom);

  WindowState window = run.OnlyWindow();
  EXPECT_EQ(window.rect.left, c.created.left);
  EXPECT_EQ(window.rect.top, c.created.top);
  EXPECT_EQ(window.rect.right - window.rect.left, 1920);
  EXPECT_EQ(window.rect.bottom - window.rect.top, 50);
  EXPECT_EQ(window.client.left, c.created.left + 4);
  EXPECT_EQ(window.client.top, c.created.top + 4);
  EXPECT_EQ(window.client.right - window.client.left, 1912);
  EXPECT_EQ(window.client.bottom - window.client.top, 42);
}

INSTANTIATE_TEST_SUITE_P(Screens, WindowGeometry,
                         ::testing::Values(GeometryCase{1920, 1080, {0, 511, 1920, 569}},
                                           GeometryCase{2560, 1440, {316, 691, 2244, 749}},
                                           GeometryCase{1920, 1200, {0, 571, 1920, 629}},
                                           GeometryCase{1366, 768, {0, 355, 1366, 413}}));

TEST(Window, IsAShownActiveTopmostLayeredPopupWithASizingBorderAndNoTitle) {
  ProgramRun run;
  WindowState window = run.OnlyWindow();
  EXPECT_EQ(window.class_name, "WindowClass_0");
  EXPECT_EQ(window.class_style, static_cast<UINT>(CS_DBLCLKS));
  EXPECT_EQ(window.style, static_cast<DWORD>(WS_POPUP | WS_THICKFRAME | WS_VISIBLE));
  EXPECT_EQ(window.ex_style, static_cast<DWORD>(WS_EX_TOPMOST | WS_EX_LAYERED));
  EXPECT_EQ(window.title, "");
  EXPECT_TRUE(window.visible);
  EXPECT_TRUE(window.active);
  EXPECT_TRUE(window.focus);
}

}  // namespace
}  // namespace stripband::testing
