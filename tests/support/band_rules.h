// The rules the band keeps under any input, checked after each action of a run of the real
// program: what the fuzzer and the soak hold every sequence of input to.
//
// - The carried state (GrabOffset) flips on each WM_LBUTTONDOWN the band gets, and on nothing
//   else.
// - Outside a resize from the sizing border the band keeps its size, and it moves only while
//   carried, to left edge 0 and a top edge on rows 1 to 999. It stays the one window, shown.
// - A typed character, a right press on the band and a close request end the program: at
//   once, or, in a resize, once the resize is over.
// - Every ending goes through ExitProcess with exit code 0, comes from one of those three, and
//   leaves no window, class, accelerator table, timer period, bitmap, DC, display surface or
//   unreachable memory behind.
#pragma once

#include <windows.h>

#include <string>

#include "tests/support/program_run.h"

namespace stripband::testing {

enum class EndedBy { kNothingYet, kCharacter, kRightPress, kClose };

class BandRules {
 public:
  // Reads the band as start-up left it, and takes the start-up trace.
  explicit BandRules(ProgramRun& run);

  // After one action: "" when every rule held, otherwise what broke.
  std::string Check();
  bool Running() const { return running_; }
  // The band as the last check saw it, and whether it was carried.
  const WindowState& Band() const { return band_; }
  bool Carried() const { return grab_ != 0; }
  bool Resizing() const { return sizing_depth_ > 0; }
  EndedBy HowItEnded() const { return ended_by_; }

 private:
  std::string CheckEnding(const Ending& ending);

  ProgramRun& run_;
  WindowState band_;
  LONG grab_ = 0;
  int sizing_depth_ = 0;        // resize loops under way, nested ones included
  bool close_pending_ = false;  // a WM_CLOSE reached the band
  bool running_ = true;
  EndedBy ended_by_ = EndedBy::kNothingYet;
};

}  // namespace stripband::testing
