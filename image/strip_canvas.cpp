#include "image/strip_image.h"

namespace {

const int CanvasWidth = 1920;
const int CanvasHeight = 50;
const DWORD CanvasDepth = 32;
const BYTE Opaque = 255;

}  // namespace

ToolkitImage* CreateStripCanvas() {
  return CreateImage(CanvasWidth, CanvasHeight, CanvasDepth | TransparentFill);
}

void ComposeStripCanvas(ToolkitImage* canvas, ToolkitImage* artwork) {
  if (!BeginImageDraw(canvas)) return;
  // The artwork is taller than the canvas; its rows below the canvas are clipped away.
  DrawImageAlpha(GetImageBitmap(artwork), 0, 0, Opaque);
  EndImageDraw();
}
