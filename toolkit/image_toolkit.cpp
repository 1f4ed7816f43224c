// Pictures: creation with a fill, their handles and sizes, and drawing one onto another.
#include "toolkit/image_toolkit.h"

namespace {

// The one picture open for drawing, selected into a memory DC of its own.
struct Drawing {
  HDC Dc;
  HGDIOBJ Previous;
  ToolkitImage* Target;
};
Drawing CurrentDrawing = {NULL, NULL, NULL};

const DWORD DepthMask = 0xFF;
const DWORD OpaqueBlack = 0xFF000000;

bool GetSection(HBITMAP bitmap, DIBSECTION* section) {
  return GetObjectA(bitmap, sizeof(*section), section) == (int)sizeof(*section) &&
         section->dsBm.bmBitsPixel == 32 && section->dsBm.bmBits != NULL;
}

// The first byte of picture row `row` (0 is the top), whichever way the rows lie in memory.
BYTE* PictureRow(const DIBSECTION& section, int row) {
  int memoryRow = section.dsBmih.biHeight > 0 ? section.dsBm.bmHeight - 1 - row : row;
  return (BYTE*)section.dsBm.bmBits + (size_t)memoryRow * section.dsBm.bmWidth * 4;
}

// The straight-alpha "over" operator in exact integer arithmetic.
void BlendPixel(const BYTE* source, BYTE* destination, int constantAlpha) {
  int a = source[3] * constantAlpha / 255;
  if (a == 0) return;
  int destinationAlpha = destination[3];
  if (destinationAlpha == 0) {
    // Over nothing the source shows as it is; no rounding on this path.
    destination[0] = source[0];
    destination[1] = source[1];
    destination[2] = source[2];
    destination[3] = (BYTE)a;
    return;
  }
  int weight = (255 - a) * destinationAlpha;
  int total = weight + a * 255;
  for (int channel = 2; channel >= 0; --channel) {  // R, G, B
    destination[channel] =
        (BYTE)((source[channel] * a * 255 + destination[channel] * weight) / total);
  }
  destination[3] = (BYTE)(total / 255);
}

}  // namespace

ToolkitImage* CreateImage(int width, int height, DWORD depthAndFill) {
  if ((depthAndFill & DepthMask) != 32) return NULL;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  HDC dc = CreateCompatibleDC(NULL);
  void* bits = NULL;
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, NULL, 0);
  DeleteDC(dc);
  if (!bitmap) return NULL;

  BITMAP created;
  GetObjectA(bitmap, sizeof(created), &created);
  DWORD fill = (depthAndFill & TransparentFill) ? 0 : OpaqueBlack;
  DWORD* pixel = (DWORD*)created.bmBits;
  for (int row = 0; row < created.bmHeight; ++row) {
    for (int column = 0; column < created.bmWidth; ++column) *pixel++ = fill;
  }

  ToolkitImage* image = new ToolkitImage();
  image->Bitmap = bitmap;
  image->Width = (SHORT)created.bmWidth;
  image->Height = (SHORT)created.bmHeight;
  image->BitsPerPixel = created.bmBitsPixel;
  return image;
}

void DeleteImage(ToolkitImage* image) {
  if (!image) return;
  DeleteObject(image->Bitmap);
  delete image;
}

HBITMAP GetImageBitmap(const ToolkitImage* image) { return image ? image->Bitmap : NULL; }
int GetImageWidth(const ToolkitImage* image) { return image ? image->Width : 0; }
int GetImageHeight(const ToolkitImage* image) { return image ? image->Height : 0; }

BOOL BeginImageDraw(ToolkitImage* target) {
  if (!target || CurrentDrawing.Dc) return FALSE;
  HDC dc = CreateCompatibleDC(NULL);
  if (!dc) return FALSE;
  HGDIOBJ previous = SelectObject(dc, target->Bitmap);
  if (!previous) {
    DeleteDC(dc);
    return FALSE;
  }
  CurrentDrawing.Dc = dc;
  CurrentDrawing.Previous = previous;
  CurrentDrawing.Target = target;
  return TRUE;
}

void DrawImageAlpha(HBITMAP source, int x, int y, BYTE constantAlpha) {
  if (!CurrentDrawing.Dc || GetObjectType(source) != OBJ_BITMAP) return;
  DIBSECTION from, to;
  if (!GetSection(source, &from) || !GetSection(CurrentDrawing.Target->Bitmap, &to)) return;

  // Clip the source's picture rows and columns to the target, in 64 bits so that a position
  // far outside cannot overflow; what is left lies inside both pictures.
  long long firstRow = y < 0 ? -(long long)y : 0;
  long long lastRow = from.dsBm.bmHeight;
  if (y + lastRow > to.dsBm.bmHeight) lastRow = to.dsBm.bmHeight - (long long)y;
  long long firstColumn = x < 0 ? -(long long)x : 0;
  long long lastColumn = from.dsBm.bmWidth;
  if (x + lastColumn > to.dsBm.bmWidth) lastColumn = to.dsBm.bmWidth - (long long)x;
  if (firstRow >= lastRow || firstColumn >= lastColumn) return;

  for (int row = (int)firstRow; row < lastRow; ++row) {
    const BYTE* sourcePixel = PictureRow(from, row) + firstColumn * 4;
    BYTE* targetPixel = PictureRow(to, (int)(y + row)) + (x + firstColumn) * 4;
    for (int column = (int)firstColumn; column < lastColumn; ++column) {
      BlendPixel(sourcePixel, targetPixel, constantAlpha);
      sourcePixel += 4;
      targetPixel += 4;
    }
  }
}

void EndImageDraw() {
  if (!CurrentDrawing.Dc) return;
  SelectObject(CurrentDrawing.Dc, CurrentDrawing.Previous);
  DeleteDC(CurrentDrawing.Dc);
  CurrentDrawing.Dc = NULL;
  CurrentDrawing.Previous = NULL;
  CurrentDrawing.Target = NULL;
}
