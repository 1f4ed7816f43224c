#include "tests/support/band_rules.h"

#include <algorithm>
#include <utility>

#include "app/strip.h"

namespace stripband::testing {
namespace {

bool Has(const std::vector<TraceEntry>& trace, TraceEntry::Kind kind, UINT message) {
  return std::any_of(trace.begin(), trace.end(), [&](const TraceEntry& entry) {
    return entry.kind == kind && entry.message == message;
  });
}

std::string Number(long long value) { return std::to_string(value); }

}  // namespace

BandRules::BandRules(ProgramRun& run) : run_(run) {
  std::vector<WindowState> windows = run_.Windows();
  if (windows.size() == 1) band_ = windows.front();
  grab_ = run_.Peek(&GrabOffset);
  run_.TakeTrace();
}

std::string BandRules::Check() {
  if (!running_) return "checked after the ending";
  std::vector<WindowState> windows = run_.Windows();
  if (windows.empty()) {
    if (run_.Running()) return "the band's window is gone while the program runs";
    running_ = false;
    return CheckEnding(run_.WaitForEnd());
  }
  if (windows.size() != 1) return Number(windows.size()) + " windows";
  const WindowState now = windows.front();
  const LONG grab = run_.Peek(&GrabOffset);
  const std::vector<TraceEntry> trace = run_.TakeTrace();

  LONG expected = grab_;
  bool resizing = sizing_depth_ > 0;
  for (const TraceEntry& entry : trace) {
    if (entry.kind != TraceEntry::Kind::kDelivered) continue;
    if (entry.message == WM_LBUTTONDOWN) {
      expected = expected == 0 ? static_cast<LONG>((entry.lparam >> 16) & 0xFFFF) + 1 : 0;
    } else if (entry.message == WM_ENTERSIZEMOVE && entry.sent) {
      // Sent by a resize loop; another program may post the same number.
      ++sizing_depth_;
      resizing = true;
    } else if (entry.message == WM_EXITSIZEMOVE && entry.sent && sizing_depth_ > 0) {
      --sizing_depth_;
    }
  }
  if (grab != expected) return "GrabOffset is " + Number(grab) + ", expected " + Number(expected);

  const RECT before = band_.rect, after = now.rect;
  if (!resizing) {
    if (after.right - after.left != before.right - before.left ||
        after.bottom - after.top != before.bottom - before.top) {
      return "the band's size changed outside a resize";
    }
    if (after.left != before.left || after.top != before.top) {
      if (grab_ == 0 && grab == 0) return "the band moved while at rest";
      if (after.left != 0) return "a carried move left the left edge at " + Number(after.left);
      if (after.top < 1 || after.top > 999) {
        return "a carried move put the top edge on row " + Number(after.top);
      }
    }
  }
  if (!now.visible) return "the band was hidden";

  if (Has(trace, TraceEntry::Kind::kRetrieved, WM_CHAR)) return "a typed character did not end it";
  if (Has(trace, TraceEntry::Kind::kRetrieved, WM_RBUTTONDOWN)) {
    return "a right press on the band did not end it";
  }
  if (Has(trace, TraceEntry::Kind::kRetrieved, WM_CLOSE)) return "a WM_CLOSE did not end it";
  if (Has(trace, TraceEntry::Kind::kDelivered, WM_CLOSE)) close_pending_ = true;
  if (close_pending_ && sizing_depth_ == 0) return "a close request did not end it";

  band_ = now;
  grab_ = grab;
  return "";
}

std::string BandRules::CheckEnding(const Ending& ending) {
  if (!ending.called_exit) return "ended without ExitProcess, signal " + Number(ending.signal);
  if (ending.exit_code != 0) return "ended with exit code " + Number(ending.exit_code);
  const std::pair<const char*, int> left[] = {
      {"windows", ending.windows},
      {"classes", ending.classes},
      {"accelerator tables", ending.accelerator_tables},
      {"timer periods", ending.timer_periods},
      {"bitmaps", ending.bitmaps},
      {"device contexts", ending.device_contexts},
      {"display surfaces", ending.surfaces},
  };
  for (auto [what, count] : left) {
    if (count != 0) return Number(count) + " " + what + " left at the ending";
  }
  if (ending.leaked) return "memory leaked at the ending";

  // The loop ends the program on the message it took, or on the close event the window
  // procedure recorded for a WM_CLOSE.
  std::vector<UINT> retrieved = Retrieved(ending.trace);
  UINT last = retrieved.empty() ? 0 : retrieved.back();
  if (last == WM_CHAR) {
    ended_by_ = EndedBy::kCharacter;
  } else if (last == WM_RBUTTONDOWN) {
    ended_by_ = EndedBy::kRightPress;
  } else if (last == WM_CLOSE || close_pending_ ||
             Has(ending.trace, TraceEntry::Kind::kDelivered, WM_CLOSE)) {
    ended_by_ = EndedBy::kClose;
  } else {
    return "it ended on message " + Number(last) + ", which is no ending";
  }
  return "";
}

}  // namespace stripband::testing
