// Sleep and the system timer resolution. Time is the display's: the virtual desktop of the
// tests runs a clock of its own.
#include <windows.h>
#include <mmsystem.h>

#include <atomic>

#include "display/display.h"
#include "kernel/process.h"

namespace {

std::atomic<int> raised_periods{0};

}  // namespace

VOID WINAPI Sleep(DWORD milliseconds) { platform::display::CurrentDisplay().Sleep(milliseconds); }

// Linux timers already run at a fine resolution; the calls are kept balanced as on Windows.
MMRESULT WINAPI timeBeginPeriod(UINT period) {
  if (period == 0) return TIMERR_NOCANDO;
  ++raised_periods;
  return TIMERR_NOERROR;
}

MMRESULT WINAPI timeEndPeriod(UINT period) {
  if (period == 0 || raised_periods.load() == 0) return TIMERR_NOCANDO;
  --raised_periods;
  return TIMERR_NOERROR;
}

int platform::kernel::OutstandingTimerPeriods() { return raised_periods.load(); }
