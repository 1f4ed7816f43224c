// A seeded random run of a hand on the real band, through xdotool on a real X desktop: moves
// near the band, over it and anywhere, left clicks and double clicks on its client area (which
// pick it up and put it down), right clicks beside it or on its border, and keys that type
// nothing. After every step the band has taken the input, keeps its size, and has moved only to
// the left edge with its top on rows 1 to 999; at the end a letter ends it with exit code 0.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tests/e2e/band_process.h"
#include "tests/e2e/x_desktop.h"

namespace stripband::e2e {
namespace {

constexpr int kSteps = 300;
constexpr uint32_t kSeed = 20261212;  // fixed: every run is the same run
constexpr int kFrame = 4;             // the band's sizing border on this desktop

const char* const kQuietKeys[] = {"Left", "Up", "Home", "Tab", "shift+Tab", "F1", "shift", "ctrl"};

TEST(RandomRun, KeepsTheBandWholeAndEndsWithExitCodeZero) {
  XDesktop desktop;
  ASSERT_EQ(desktop.Start({}), "") << "the desktop could not start";
  Band band(desktop);
  auto shown = band.WaitShown();
  ASSERT_TRUE(shown) << "the band never appeared; stderr: " << band.Stderr();
  const XWindow window = shown->window;

  std::mt19937 random(kSeed);
  auto below = [&random](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  int x = 960, y = kBandTop + 25;
  ClientWindow before = *shown;
  bool moved_ever = false;
  for (int step = 0; step < kSteps; ++step) {
    // The client area of the band where it is now: presses there never start a resize.
    const int client_top = before.y + kFrame, client_bottom = before.y + kBandHeight - kFrame;
    auto on_client = [&](int px, int py) {
      return px >= before.x + kFrame && px < before.x + kBandWidth - kFrame && py >= client_top &&
             py < client_bottom;
    };
    std::vector<std::string> act;
    int choice = below(10);
    if (choice < 4) {  // a small move, often staying over the band
      x = std::clamp(x + below(41) - 20, 0, 1919);
      y = std::clamp(y + below(13) - 6, 0, 1079);
    } else if (choice < 6) {  // anywhere over the client area
      x = before.x + kFrame + below(kBandWidth - 2 * kFrame);
      y = client_top + below(client_bottom - client_top);
    } else if (choice < 7) {
      x = below(1920);
      y = below(1080);
    }
    act = {"mousemove", std::to_string(x), std::to_string(y)};
    if (choice == 7 && on_client(x, y)) act.insert(act.end(), {"click", "1"});
    if (choice == 8 && on_client(x, y)) {
      act.insert(act.end(), {"click", "--repeat", "2", "--delay", "40", "1"});
    }
    if (choice == 8 && !on_client(x, y)) act.insert(act.end(), {"click", "3"});
    if (choice == 9) act.insert(act.end(), {"key", kQuietKeys[below(std::size(kQuietKeys))]});

    SCOPED_TRACE("step " + std::to_string(step) + ": xdotool " + act[0] + " ... " + act.back());
    ASSERT_TRUE(desktop.Xdotool(act));
    ASSERT_TRUE(desktop.Ping(window)) << "no answer";
    auto after = band.Where();
    ASSERT_TRUE(after && after->viewable) << "the band is gone";
    ASSERT_EQ(after->width, kBandWidth);
    ASSERT_EQ(after->height, kBandHeight);
    if (after->x != before.x || after->y != before.y) {
      moved_ever = true;
      ASSERT_EQ(after->x, 0);
      ASSERT_GE(after->y, 1);
      ASSERT_LE(after->y, 999);
    }
    before = *after;
  }
  EXPECT_TRUE(moved_ever) << "the run never carried the band: it tests nothing";

  ASSERT_TRUE(desktop.Xdotool({"key", "--clearmodifiers", "a"}));
  auto status = band.process().WaitForExit();
  ASSERT_TRUE(status) << "a letter did not end it";
  EXPECT_TRUE(status->exited) << "killed by signal " << status->signal;
  EXPECT_EQ(status->code, 0);
  EXPECT_EQ(band.Stderr(), "");
}

}  // namespace
}  // namespace stripband::e2e
