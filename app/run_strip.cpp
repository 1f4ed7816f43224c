// The band's life: start-up in a fixed order, and the one shutdown every ending goes through.
#include <windows.h>

#include "app/strip.h"
#include "image/strip_image.h"
#include "toolkit/window_toolkit.h"

namespace {

HWND StripWindow = NULL;
ToolkitImage* StripArtwork = NULL;
ToolkitImage* StripCanvas = NULL;

}  // namespace

int RunStrip() {
  StripWindow = OpenStripWindow();
  if (!StripWindow) return 0;

  StripArtwork = DecodeStripArtwork();
  StripCanvas = CreateStripCanvas();
  ComposeStripCanvas(StripCanvas, StripArtwork);

  SetTopmost(StripWindow);
  SetMessageCallback(StripWindow, StripCallback);
  PresentStrip(StripWindow, StripCanvas);

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
  DeleteImage(StripArtwork);
  DeleteImage(StripCanvas);
  ExitProcess(0);
}
