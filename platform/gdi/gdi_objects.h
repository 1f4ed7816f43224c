// gdi32's objects, for the parts of the layer that read them (layered windows) and for leak
// checks. Bitmaps here are 32-bit DIB sections; DCs are memory DCs.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace platform::gdi {

// Section memory comes from calloc (see CreateDIBSection).
struct FreeBits {
  void operator()(uint8_t* bits) const { std::free(bits); }
};

struct Bitmap {
  BITMAPINFOHEADER header{};  // as created; biHeight < 0 is top-down
  int width = 0;
  int height = 0;  // rows, always positive
  int stride = 0;
  std::unique_ptr<uint8_t, FreeBits> bits;
  HDC selected_into = nullptr;

  // The first byte of picture row `row` (row 0 is the top of the picture).
  uint8_t* Row(int row) const {
    int memory_row = header.biHeight > 0 ? height - 1 - row : row;
    return bits.get() + static_cast<size_t>(memory_row) * stride;
  }
};

// The DIB section selected into a memory DC, or null.
const Bitmap* SelectedBitmap(HDC dc);

// Fault injection for tests: the next `count` bitmap creations fail, as when memory runs out.
void FailNextBitmaps(int count);

// Objects handed out and not yet deleted: DIB sections and memory DCs.
size_t LiveBitmaps();
size_t LiveDeviceContexts();

}  // namespace platform::gdi
