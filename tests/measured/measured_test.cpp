// Costs that are counted rather than timed: what a carried move allocates, whether the idle
// program wakes up, and how the artwork is read.
#include <gtest/gtest.h>

#include "image/strip_image.h"
#include "tests/measured/counting.h"
#include "tests/support/program_run.h"

namespace stripband::testing {
namespace {

// The program's own entry, with its thread's allocations counted.
int CountedProgram() {
  CountThisThread();
  char command_line[] = "";
  return WinMain(GetModuleHandleA(nullptr), nullptr, command_line, SW_SHOWDEFAULT);
}

TEST(CarriedMove, AllocatesNothing) {
  // Without the test's message record, the program runs as it would on a desktop.
  ProgramRun run({.trace = false}, CountedProgram);
  run.Click(Mouse::kLeft, 104, 525);  // picked up at client row 10
  run.MovePointer(104, 525);          // the first move takes the band to row 514
  ASSERT_EQ(run.OnlyWindow().rect.top, 514);

  uint64_t before = run.Peek(&counted_allocations);
  for (int y = 526; y <= 600; ++y) run.MovePointer(104 + (y % 7), y);
  uint64_t after = run.Peek(&counted_allocations);
  ASSERT_EQ(run.OnlyWindow().rect.top, 600 - 11) << "the band did not follow";
  EXPECT_EQ(after - before, 0u) << "allocations over 75 carried moves";
  EXPECT_GT(before, 0u) << "start-up allocates: the counter must be counting";
}

TEST(Idle, TheProgramWaitsWithoutWakingUp) {
  ProgramRun run;
  run.TakeTrace();
  run.Wait(60 * 1000);  // a minute on the desktop's clock, with no input
  EXPECT_TRUE(run.TakeTrace().empty()) << "the idle program took or handled messages";
  EXPECT_TRUE(run.Running());
}

TEST(ArtworkDecode, ReadsEachRowOfEachPassOnce) {
  row_read_calls = 0;
  rows_read = 0;
  ToolkitImage* artwork = DecodeStripArtwork();
  ASSERT_NE(artwork, nullptr);
  EXPECT_EQ(row_read_calls, 7u * 80u);
  EXPECT_EQ(rows_read, 7u * 80u);
  DeleteImage(artwork);
}

}  // namespace
}  // namespace stripband::testing
