// The band's life: start-up in a fixed order, and the one shutdown every ending goes through.
#include <windows.h>

#include "app/strip.h"
#include "toolkit/window_toolkit.h"

namespace {

HWND StripWindow = NULL;

}  // namespace

int RunStrip() {
  StripWindow = OpenStripWindow();
  if (!StripWindow) return 0;

  // TODO(picture): decode the artwork, create and compose the canvas.

  SetTopmost(StripWindow);
  SetMessageCallback(StripWindow, StripCallback);

  // TODO(picture): present the canvas as the window's layered picture.

  RunEventLoop(StripWindow);
  return 0;
}

void EndStrip() {
  if (StripWindow) {
    HACCEL accelerators = GetAccelerators(StripWindow);
    DestroyWindow(StripWindow);
    UnregisterClassA(StripClassName, StripModule.Instance);
    DestroyAcceleratorTable(accelerators);
  }
  // TODO(picture): delete the artwork and canvas bitmaps.
  ExitProcess(0);
}
