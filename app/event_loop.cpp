// The event loop: the program's only waiting point. Everything but the three endings is
// dropped here; the moving happens in StripCallback while messages are dispatched.
#include <windows.h>

#include "app/strip.h"
#include "toolkit/window_toolkit.h"

namespace {

// Long enough for the user to see the band react before it goes.
const DWORD RightPressPause = 200;

}  // namespace

void RunEventLoop(HWND window) {
  for (;;) {
    int event = WaitEvent(window);
    if (event == WM_CHAR) EndStrip();
    if (event == WM_RBUTTONDOWN) {
      Pause(RightPressPause);
      EndStrip();
    }
    if (event == CloseEvent) return;
  }
}
