#include "image/strip_image.h"

namespace {

// On top of each pixel's own alpha, the whole band shows at this opacity.
const BYTE StripOpacity = 120;

}  // namespace

void PresentStrip(HWND window, ToolkitImage* canvas) {
  HBITMAP bitmap = GetImageBitmap(canvas);
  HDC memoryDc = CreateCompatibleDC(NULL);
  HGDIOBJ previous = SelectObject(memoryDc, bitmap);

  SIZE size = {GetImageWidth(canvas), GetImageHeight(canvas)};
  POINT source = {0, 0};
  BLENDFUNCTION blend = {AC_SRC_OVER, 0, StripOpacity, AC_SRC_ALPHA};

  // NOTE: the canvas holds straight alpha, and the system reads the same bytes as
  // premultiplied. Every colour byte is at most its alpha byte, so the bytes are valid either
  // way, and the band's colour on screen comes out of exactly this reading.
  SetWindowLongA(window, GWL_EXSTYLE, GetWindowLongA(window, GWL_EXSTYLE) | WS_EX_LAYERED);
  UpdateLayeredWindow(window, NULL, NULL, &size, memoryDc, &source, 0, &blend, ULW_ALPHA);

  SelectObject(memoryDc, previous);
  DeleteDC(memoryDc);
}
