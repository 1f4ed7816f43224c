// StripCallback sees every message of the band's window before its normal processing, and
// moves the band while it is carried: picked up by one left press, put down by the next.
#include <windows.h>

#include "app/strip.h"
#include "toolkit/window_toolkit.h"

LONG GrabOffset = 0;

namespace {

// A move is made only when the new top and the test value from the client area's left edge
// both lie strictly between these bounds: the top edge stays on rows 1 to 999, and a band
// centred far to the right on a very wide screen stays where it is.
const LONG GateLow = 0;
const LONG GateHigh = 1000;

LONG ClientY(LPARAM lParam) { return (LONG)(WORD)HIWORD(lParam); }

}  // namespace

LRESULT CALLBACK StripCallback(HWND window, UINT message, WPARAM, LPARAM lParam) {
  if (message == WM_MOUSEMOVE && GrabOffset != 0) {
    // The client area's left edge and the cursor's row, on the screen.
    POINT point = {0, ClientY(lParam)};
    MapWindowPoints(window, NULL, &point, 1);
    LONG newTop = point.y - GrabOffset;
    LONG testX = point.x + GrabOffset;
    if (newTop > GateLow && newTop < GateHigh && testX > GateLow && testX < GateHigh) {
      SetWindowPos(window, NULL, 0, newTop, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    }
  }
  if (message == WM_LBUTTONDOWN) {
    // Client row 0 must still count as carried, hence the 1.
    GrabOffset = GrabOffset == 0 ? ClientY(lParam) + 1 : 0;
  }
  return ContinueProcessing;
}
