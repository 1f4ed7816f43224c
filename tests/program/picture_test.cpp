// What the band shows on the screen, and where it takes the mouse.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/support/program_run.h"

namespace stripband::testing {
namespace {

// Each row's plain pixel and what it adds to whatever lies beneath (R, G, B).
struct RowColour {
  std::vector<int> rows;
  int alpha;
  double added_red, added_green, added_blue;
};

const RowColour kRowColours[] = {
    {{0, 4, 6, 8}, 181, 84.7, 74.4, 8.0},
    {{1}, 183, 85.6, 74.8, 8.0},
    {{2, 5, 7}, 182, 85.2, 74.8, 8.0},
    {{3}, 255, 15.5, 13.2, 0.0},
    {{9, 10, 13, 14}, 182, 85.2, 74.8, 8.5},
    {{11, 12, 16}, 181, 84.7, 74.4, 8.5},
    {{15}, 181, 84.7, 73.9, 8.5},
    {{17, 18}, 180, 84.2, 73.9, 8.9},
    {{19, 20, 23, 25, 26, 27, 29, 30, 32, 33, 34, 35}, 180, 84.2, 73.4, 8.9},
    {{21, 28}, 179, 83.8, 72.9, 8.9},
    {{22, 24, 31}, 181, 84.7, 73.9, 8.9},
    {{36, 38, 39}, 179, 83.8, 72.9, 9.4},
    {{37}, 180, 84.2, 73.4, 9.4},
    {{40, 41}, 178, 83.3, 72.5, 9.4},
    {{42, 43, 44}, 177, 82.8, 72.5, 9.4},
    {{45}, 176, 82.4, 72.0, 9.4},
    {{46}, 175, 81.9, 71.5, 8.9},
    {{47}, 174, 81.4, 71.1, 8.9},
    {{48}, 174, 81.4, 70.6, 8.9},
    {{49}, 173, 80.9, 70.6, 8.9},
};

constexpr int kBandTop = 511;    // on a 1920 × 1080 screen
constexpr int kPlainColumn = 8;  // left of the first texture column, right of the edge

struct Backdrop {
  const char* name;
  uint32_t colour;
  int level;  // of each channel
};

class BandColours : public ::testing::TestWithParam<Backdrop> {};

TEST_P(BandColours, EveryRowShowsItsTintOverTheDesktop) {
  const Backdrop& backdrop = GetParam();
  ProgramRun run({.desktop_colour = backdrop.colour});
  ScreenImage screen = run.Screen();
  ASSERT_EQ(screen.width, 1920);
  for (const RowColour& colour : kRowColours) {
    double opacity = colour.alpha * 120.0 / 65025.0;
    double beneath = backdrop.level * (1.0 - opacity);
    for (int row : colour.rows) {
      SCOPED_TRACE(::testing::Message() << "row " << row);
      uint32_t pixel = screen.At(kPlainColumn, kBandTop + row);
      EXPECT_NEAR(ScreenImage::Red(pixel), colour.added_red + beneath, 1.0);
      EXPECT_NEAR(ScreenImage::Green(pixel), colour.added_green + beneath, 1.0);
      EXPECT_NEAR(ScreenImage::Blue(pixel), colour.added_blue + beneath, 1.0);
    }
  }
  // Around the band the desktop shows untouched.
  EXPECT_EQ(screen.At(kPlainColumn, kBandTop - 1), backdrop.colour);
  EXPECT_EQ(screen.At(kPlainColumn, kBandTop + 50), backdrop.colour);
  EXPECT_EQ(screen.At(1919, kBandTop + 10) == backdrop.colour, false);
  if (::testing::Test::HasFailure()) {
    screen.SavePng(std::string("band-over-") + backdrop.name + ".png");
  }
}

INSTANTIATE_TEST_SUITE_P(Desktops, BandColours,
                         ::testing::Values(Backdrop{"white", 0xFFFFFF, 255},
                                           Backdrop{"black", 0x000000, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

bool ReachedTheBand(const std::vector<TraceEntry>& trace) {
  for (UINT message : Delivered(trace)) {
    if (message == WM_LBUTTONDOWN || message == WM_NCLBUTTONDOWN) return true;
  }
  return false;
}

TEST(BandInput, APressAnywhereInsideTheRectangleReachesTheWindow) {
  const POINT kPoints[] = {{0, 511}, {1919, 511}, {0, 560}, {1919, 560}, {960, 514}, {5, 530}};
  for (POINT point : kPoints) {
    SCOPED_TRACE(::testing::Message() << "at " << point.x << ", " << point.y);
    ProgramRun run;
    run.TakeTrace();
    run.Click(Mouse::kLeft, point.x, point.y);
    EXPECT_TRUE(ReachedTheBand(run.TakeTrace()));
  }
}

TEST(BandInput, APressJustOutsideTheRectangleDoesNot) {
  const POINT kPoints[] = {{960, 510}, {960, 561}};
  for (POINT point : kPoints) {
    SCOPED_TRACE(::testing::Message() << "at " << point.x << ", " << point.y);
    ProgramRun run;
    run.TakeTrace();
    run.Click(Mouse::kLeft, point.x, point.y);
    EXPECT_FALSE(ReachedTheBand(run.TakeTrace()));
  }
}

TEST(MissingArtwork, TheBandShowsNothingAndLetsClicksThrough) {
  // The first bitmap the program asks for is the decoded artwork.
  ProgramRun run({.other_windows = {{0, 0, 1920, 1080}}, .failing_bitmaps = 1});
  WindowState window = run.OnlyWindow();
  EXPECT_EQ(window.rect.bottom - window.rect.top, 50);
  EXPECT_NE(window.ex_style & WS_EX_LAYERED, 0u);

  ScreenImage screen = run.Screen();
  uint32_t beneath = screen.At(960, 100);
  for (int row = 0; row < 50; ++row) EXPECT_EQ(screen.At(960, kBandTop + row), beneath);

  run.TakeTrace();
  run.Click(Mouse::kLeft, 960, 530);
  EXPECT_FALSE(ReachedTheBand(run.TakeTrace()));
  EXPECT_FALSE(run.OnlyWindow().active) << "the click went to the window beneath";
  run.Chord({'A'});
  EXPECT_TRUE(run.Running());
}

TEST(Shutdown, ReleasesBothPicturesAndEveryDeviceContext) {
  ProgramRun run;
  run.Chord({'Q'});
  const Ending& ending = run.WaitForEnd();
  EXPECT_EQ(ending.exit_code, 0);
  EXPECT_EQ(ending.bitmaps, 0);
  EXPECT_EQ(ending.device_contexts, 0);
}

}  // namespace
}  // namespace stripband::testing
