// The image toolkit: 32-bit pictures held as GDI bitmap sections, decoded from PNG streams,
// created with a fill and drawn onto one another with alpha.
//
// Every picture is a bottom-up DIB section with 4 bytes per pixel in the order B, G, R, A and
// straight (not premultiplied) alpha.
#pragma once

#include <windows.h>

struct ToolkitImage {
  HBITMAP Bitmap;
  // Held as signed 16-bit numbers, as the toolkit's callers expect.
  SHORT Width;
  SHORT Height;
  WORD BitsPerPixel;
};

// CreateImage's request word: the depth in the low byte, combined with this flag for a
// transparent fill (all bytes 0) instead of opaque black.
const DWORD TransparentFill = 0x100;

// Decodes a PNG stream of `length` bytes. Null when the stream is not a PNG or its header
// cannot be read; a stream damaged in its image data still gives its picture, partly decoded.
ToolkitImage* DecodeImage(const BYTE* data, int length);
// A new picture of the given size; `depthAndFill` is 32, optionally with TransparentFill.
ToolkitImage* CreateImage(int width, int height, DWORD depthAndFill);
void DeleteImage(ToolkitImage* image);

// The picture's bitmap and size; a null bitmap and 0 × 0 for no picture.
HBITMAP GetImageBitmap(const ToolkitImage* image);
int GetImageWidth(const ToolkitImage* image);
int GetImageHeight(const ToolkitImage* image);

// Drawing goes to one target at a time, between BeginImageDraw and EndImageDraw.
BOOL BeginImageDraw(ToolkitImage* target);
// Draws a 32-bit bitmap with its top-left corner at (x, y) of the target, blending with the
// source's straight alpha scaled by `constantAlpha`. Other handles are ignored.
void DrawImageAlpha(HBITMAP source, int x, int y, BYTE constantAlpha);
void EndImageDraw();
