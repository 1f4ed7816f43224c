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

TEST_P(WindowGeometry, IsCentredOnTheScreenWithTheBorderAroundTheClientArea) {
  const GeometryCase& c = GetParam();
  ProgramRun run({.width = c.screen_width, .height = c.screen_height, .frame = 4});
  WindowState window = run.OnlyWindow();
  EXPECT_EQ(window.rect.left, c.created.left);
  EXPECT_EQ(window.rect.top, c.created.top);
  EXPECT_EQ(window.rect.right, c.created.right);
  EXPECT_EQ(window.rect.bottom, c.created.bottom);
  EXPECT_EQ(window.client.left, c.created.left + 4);
  EXPECT_EQ(window.client.top, c.created.top + 4);
}

INSTANTIATE_TEST_SUITE_P(Screens, WindowGeometry,
                         ::testing::Values(GeometryCase{1920, 1080, {0, 511, 1920, 569}},
                                           GeometryCase{2560, 1440, {316, 691, 2244, 749}},
                                           GeometryCase{1920, 1200, {0, 571, 1920, 629}},
                                           GeometryCase{1366, 768, {0, 355, 1366, 413}}));

TEST(Window, IsAShownActiveTopmostPopupWithASizingBorderAndNoTitle) {
  ProgramRun run;
  WindowState window = run.OnlyWindow();
  EXPECT_EQ(window.class_name, "WindowClass_0");
  EXPECT_EQ(window.class_style, static_cast<UINT>(CS_DBLCLKS));
  EXPECT_EQ(window.style, static_cast<DWORD>(WS_POPUP | WS_THICKFRAME | WS_VISIBLE));
  EXPECT_EQ(window.ex_style, static_cast<DWORD>(WS_EX_TOPMOST));
  EXPECT_EQ(window.title, "");
  EXPECT_TRUE(window.visible);
  EXPECT_TRUE(window.active);
  EXPECT_TRUE(window.focus);
}

}  // namespace
}  // namespace stripband::testing
