#include <gtest/gtest.h>

#include "tests/support/program_run.h"

namespace stripband::testing {
namespace {

TEST(Ending, ALetterEndsTheProgram) {
  ProgramRun run;
  run.Chord({'A'});
  const Ending& ending = run.WaitForEnd();
  EXPECT_TRUE(ending.called_exit);
  EXPECT_EQ(ending.exit_code, 0);
}

}  // namespace
}  // namespace stripband::testing
