// Picking the band up, carrying it and putting it down, as a hand on the mouse would.
#include <gtest/gtest.h>

#include <random>

#include "app/strip.h"
#include "tests/support/program_run.h"

namespace stripband::testing {
namespace {

// Past the double-click time, so the next press is a press of its own.
constexpr uint32_t kPauseBetweenClicks = 600;

POINT TopLeft(ProgramRun& run) {
  RECT rect = run.OnlyWindow().rect;
  return {rect.left, rect.top};
}

// Moves the pointer from its row to `to` in small steps, as a hand does, staying over a band
// that follows it.
void MoveVertically(ProgramRun& run, int x, int from, int to) {
  int step = from < to ? 3 : -3;
  for (int y = from; y != to;) {
    y = std::abs(to - y) < 3 ? to : y + step;
    run.MovePointer(x, y);
  }
}

class Drag : public ::testing::Test {
 protected:
  // 1920 × 1080 with a 4-pixel border: the band at (0, 511), its client area at (4, 515).
  ProgramRun run_;

  void PickUpAt(int client_x, int client_y) {
    run_.Click(Mouse::kLeft, 4 + client_x, 515 + client_y);
  }
};

TEST_F(Drag, APressPicksTheBandUpWithoutMovingIt) {
  PickUpAt(100, 10);
  EXPECT_EQ(TopLeft(run_).y, 511);
  // The next move, the pointer still at row 525, keeps the top edge 11 rows above it.
  run_.MovePointer(104, 525);
  EXPECT_EQ(TopLeft(run_).x, 0);
  EXPECT_EQ(TopLeft(run_).y, 514);
  MoveVertically(run_, 104, 525, 300);
  EXPECT_EQ(TopLeft(run_).y, 289);
}

TEST_F(Drag, TheTopEdgeStaysOnRowsOneTo999) {
  PickUpAt(100, 10);
  MoveVertically(run_, 104, 525, 12);
  EXPECT_EQ(TopLeft(run_).y, 1);
  for (int y : {11, 8, 5}) {
    run_.MovePointer(104, y);
    EXPECT_EQ(TopLeft(run_).y, 1) << "pointer at " << y;
  }
  MoveVertically(run_, 104, 5, 1010);
  EXPECT_EQ(TopLeft(run_).y, 999);
  for (int y : {1011, 1014, 1020}) {
    run_.MovePointer(104, y);
    EXPECT_EQ(TopLeft(run_).y, 999) << "pointer at " << y;
  }
}

TEST_F(Drag, TheNextPressPutsItDown) {
  PickUpAt(100, 10);
  MoveVertically(run_, 104, 525, 400);
  run_.Wait(kPauseBetweenClicks);
  run_.Click(Mouse::kLeft, 104, 400);
  POINT resting = TopLeft(run_);
  MoveVertically(run_, 104, 400, 420);
  EXPECT_EQ(TopLeft(run_).y, resting.y);
}

TEST_F(Drag, ADoubleClickOnABandAtRestLeavesItCarried) {
  PickUpAt(100, 10);
  PickUpAt(100, 10);  // within the double-click time and distance
  run_.MovePointer(104, 530);
  EXPECT_EQ(TopLeft(run_).y, 519);
}

TEST_F(Drag, APressOnTheClientAreasFirstRowPicksItUp) {
  PickUpAt(100, 0);
  run_.MovePointer(104, 516);
  EXPECT_EQ(TopLeft(run_).y, 515);
}

TEST_F(Drag, MovingWithTheButtonHeldCarriesItAndReleasingDoesNotPutItDown) {
  run_.MovePointer(104, 525);
  run_.Press(Mouse::kLeft);
  MoveVertically(run_, 104, 525, 500);
  run_.Release(Mouse::kLeft);
  EXPECT_EQ(TopLeft(run_).y, 489);
  MoveVertically(run_, 104, 500, 520);
  EXPECT_EQ(TopLeft(run_).y, 509);
}

TEST_F(Drag, MovementAtRestDoesNothing) {
  MoveVertically(run_, 104, 525, 540);
  run_.MovePointer(900, 530);
  EXPECT_EQ(TopLeft(run_).y, 511);
}

TEST_F(Drag, ThePointerLeavingAndComingBackFindsItStillCarried) {
  PickUpAt(100, 10);
  run_.MovePointer(104, 700);  // faster than the band can follow
  EXPECT_EQ(TopLeft(run_).y, 511);
  run_.MovePointer(104, 800);
  EXPECT_EQ(TopLeft(run_).y, 511);
  // Back over the band, it jumps to where the pointer puts it.
  run_.MovePointer(104, 550);
  EXPECT_EQ(TopLeft(run_).y, 539);
}

TEST_F(Drag, APressOnTheSizingBorderNeitherPicksUpNorPutsDown) {
  run_.Click(Mouse::kLeft, 960, 512);  // the top border
  run_.MovePointer(960, 530);
  EXPECT_EQ(TopLeft(run_).y, 511) << "picked up by a press on the border";

  PickUpAt(100, 10);
  run_.Wait(kPauseBetweenClicks);
  run_.Click(Mouse::kLeft, 960, 512);
  run_.MovePointer(104, 530);
  EXPECT_EQ(TopLeft(run_).y, 519) << "put down by a press on the border";
}

struct EndingWhileCarried {
  const char* name;
  void (*act)(ProgramRun&);
};

class EndsWhileCarried : public ::testing::TestWithParam<EndingWhileCarried> {};

TEST_P(EndsWhileCarried, WithExitCodeZero) {
  ProgramRun run;
  run.Click(Mouse::kLeft, 104, 525);
  run.MovePointer(104, 530);
  ASSERT_EQ(TopLeft(run).y, 519);
  GetParam().act(run);
  const Ending& ending = run.WaitForEnd();
  EXPECT_TRUE(ending.called_exit);
  EXPECT_EQ(ending.exit_code, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Endings, EndsWhileCarried,
    ::testing::Values(
        EndingWhileCarried{"RightPress", [](ProgramRun& run) { run.Press(Mouse::kRight); }},
        EndingWhileCarried{"TypedCharacter", [](ProgramRun& run) { run.Chord({'X'}); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DragOnOtherScreens, AWideScreenBandJumpsToTheLeftEdgeOnItsFirstMove) {
  ProgramRun run({.width = 2560, .height = 1440, .frame = 4});
  ASSERT_EQ(TopLeft(run).x, 316);
  run.Click(Mouse::kLeft, 420, 705);  // client (100, 10)
  run.MovePointer(420, 705);
  EXPECT_EQ(TopLeft(run).x, 0);
  EXPECT_EQ(TopLeft(run).y, 694);
}

TEST(DragOnOtherScreens, OnAVeryWideScreenNothingMovesTheBand) {
  for (int width : {3918, 4000, 5120}) {
    SCOPED_TRACE(::testing::Message() << "screen width " << width);
    ProgramRun run({.width = width, .height = 1080, .frame = 4});
    POINT start = TopLeft(run);
    int client_x = start.x + 4;
    run.Click(Mouse::kLeft, client_x + 10, 515);  // client row 0: the smallest offset
    MoveVertically(run, client_x + 10, 515, 480);
    EXPECT_EQ(TopLeft(run).x, start.x);
    EXPECT_EQ(TopLeft(run).y, start.y);
  }
}

TEST(DragOnOtherScreens, At3840WideOnlyAPickUpNearTheTopMovesIt) {
  struct Case {
    int client_y;
    bool moves;
  };
  for (Case c : {Case{38, true}, Case{39, false}, Case{41, false}, Case{0, true}}) {
    SCOPED_TRACE(::testing::Message() << "picked up at client row " << c.client_y);
    ProgramRun run({.width = 3840, .height = 1080, .frame = 4});
    POINT start = TopLeft(run);
    ASSERT_EQ(start.x, 956);
    int y = 515 + c.client_y;
    run.Click(Mouse::kLeft, 1500, y);
    run.MovePointer(1500, y);
    EXPECT_EQ(TopLeft(run).x != start.x, c.moves);
  }
}

TEST(DragOnOtherScreens, WithoutASizingBorderTheFirstMoveLiftsTheBandByOneRow) {
  ProgramRun run({.frame = 0});
  POINT start = TopLeft(run);
  ASSERT_EQ(start.y, 515);
  run.Click(Mouse::kLeft, 100, 525);
  run.MovePointer(100, 525);
  EXPECT_EQ(TopLeft(run).y, 514);
}

// A long, seeded run of what a restless hand does: moves near and over the band and away from
// it, presses on it and on its border, quick double presses, keys that type nothing, pauses.
TEST(DragRandomRun, KeepsEveryInvariant) {
  std::mt19937 random(20261211);
  auto below = [&random](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  const BYTE kQuietKeys[] = {VK_LEFT, VK_UP, VK_F1 + 4, VK_SHIFT, VK_CONTROL, VK_HOME, VK_DELETE};

  ProgramRun run;
  run.TakeTrace();
  bool moved_ever = false;
  POINT pointer{104, 525};
  for (int action = 0; action < 1500 && !::testing::Test::HasFailure(); ++action) {
    RECT before = run.OnlyWindow().rect;
    LONG grab_before = run.Peek(&GrabOffset);
    switch (below(10)) {
      case 0:
      case 1:
      case 2:
      case 3:  // a small move, usually staying over the band
        pointer.x = std::clamp<int>(pointer.x + below(41) - 20, 0, 1919);
        pointer.y = std::clamp<int>(pointer.y + below(21) - 10, 0, 1079);
        run.MovePointer(pointer.x, pointer.y);
        break;
      case 4:  // back over the band, anywhere on it, border included
        pointer = {below(1920), static_cast<int>(before.top) + below(50)};
        run.MovePointer(pointer.x, pointer.y);
        break;
      case 5:  // a jump anywhere
        pointer = {below(1920), below(1080)};
        run.MovePointer(pointer.x, pointer.y);
        break;
      case 6:
        run.Click(Mouse::kLeft, pointer.x, pointer.y);
        break;
      case 7:  // a double press where the pointer is
        run.Click(Mouse::kLeft, pointer.x, pointer.y);
        run.Click(Mouse::kLeft, pointer.x, pointer.y);
        break;
      case 8:
        run.Chord({kQuietKeys[below(std::size(kQuietKeys))]});
        break;
      case 9:
        run.Wait(static_cast<uint32_t>(below(900)));
        break;
    }
    SCOPED_TRACE(::testing::Message() << "action " << action);
    ASSERT_TRUE(run.Running());

    // The carried state flips on each WM_LBUTTONDOWN and on nothing else.
    LONG expected = grab_before;
    for (const TraceEntry& entry : run.TakeTrace()) {
      if (entry.kind == TraceEntry::Kind::kDelivered && entry.message == WM_LBUTTONDOWN) {
        expected = expected == 0 ? HIWORD(entry.lparam) + 1 : 0;
      }
    }
    LONG grab = run.Peek(&GrabOffset);
    ASSERT_EQ(grab, expected);

    RECT after = run.OnlyWindow().rect;
    ASSERT_EQ(after.right - after.left, 1920);
    ASSERT_EQ(after.bottom - after.top, 50);
    if (after.left != before.left || after.top != before.top) {
      ASSERT_TRUE(grab_before != 0 || grab != 0) << "the band moved while at rest";
      moved_ever = true;
    }
    if (moved_ever) {
      ASSERT_EQ(after.left, 0);
      ASSERT_GE(after.top, 1);
      ASSERT_LE(after.top, 999);
    }
  }
  EXPECT_TRUE(moved_ever) << "the run never carried the band: it tests nothing";
}

}  // namespace
}  // namespace stripband::testing
