// Decoding a PNG stream from memory into a 32-bit bitmap section with libpng.
//
// libpng reports errors by long-jumping back to a recovery point, so everything that must
// survive a jump lives in a DecodeState reached through a pointer, and no C++ object with a
// destructor is alive across the jumps.
#include <png.h>
#include <windows.h>

#include <csetjmp>
#include <cstdlib>
#include <cstring>

#include "toolkit/image_toolkit.h"

namespace {

const int SignatureLength = 8;
// Sizes are held as signed 16-bit numbers; anything larger would wrap.
const png_uint_32 LargestSide = 0x7FFF;
// Ancillary chunks whose data libpng keeps: names of four letters, each with its terminator.
const png_byte UnusedChunks[] = "eXIf\0iCCP\0iTXt\0pCAL\0sCAL\0sPLT\0tEXt\0zTXt";

struct MemoryReader {
  const BYTE* Data;
  size_t Length;
  size_t Offset;
};

struct DecodeState {
  png_structp Png;
  png_infop Info;
  MemoryReader Reader;
  HBITMAP Bitmap;
  BYTE* Bits;
};

void ReadFromMemory(png_structp png, png_bytep out, size_t count) {
  MemoryReader* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
  // Never serve a byte past the stream: a short stream ends the decode like any damage.
  if (count > reader->Length - reader->Offset) png_error(png, "Read beyond end of data");
  std::memcpy(out, reader->Data + reader->Offset, count);
  reader->Offset += count;
}

std::jmp_buf& RecoveryPoint(png_structp png) {
  return *png_set_longjmp_fn(png, std::longjmp, sizeof(std::jmp_buf));
}

// Requests that give every other kind of stream the artwork's layout: 8-bit B, G, R, A.
void RequestTrueColourWithAlpha(png_structp png, int bitDepth, int colourType, bool hasTrns) {
  if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colourType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA) {
    png_set_gray_to_rgb(png);
  }
  if (hasTrns) png_set_tRNS_to_alpha(png);
  if (!hasTrns && !(colourType & PNG_COLOR_MASK_ALPHA)) {
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
  }
}

// Reads the header and makes the section; false when there is no picture to decode into.
bool StartDecode(DecodeState* state, png_uint_32* height, int* bitDepth) {
  if (setjmp(RecoveryPoint(state->Png))) return false;
  png_set_read_fn(state->Png, &state->Reader, ReadFromMemory);
  // The picture needs none of these, and libpng reads each into a buffer of the length the
  // chunk claims, allocated and zero-filled before the data is read: a damaged length would
  // cost gigabytes. Skipped, they are never held; unknown chunks are skipped too.
  png_set_keep_unknown_chunks(state->Png, PNG_HANDLE_CHUNK_NEVER, NULL, 0);
  png_set_keep_unknown_chunks(state->Png, PNG_HANDLE_CHUNK_NEVER, UnusedChunks,
                              sizeof(UnusedChunks) / 5);
  state->Info = png_create_info_struct(state->Png);
  if (!state->Info) return false;
  png_read_info(state->Png, state->Info);

  bool hasTrns = png_get_valid(state->Png, state->Info, PNG_INFO_tRNS) != 0;
  png_uint_32 width = 0;
  int colourType = 0;
  int interlace = 0;
  png_get_IHDR(state->Png, state->Info, &width, height, bitDepth, &colourType, &interlace, NULL,
               NULL);
  if (width > LargestSide || *height > LargestSide) return false;
  if (colourType != PNG_COLOR_TYPE_RGB_ALPHA || hasTrns) {
    RequestTrueColourWithAlpha(state->Png, *bitDepth, colourType, hasTrns);
  }

  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = (LONG)width;
  info.bmiHeader.biHeight = (LONG)*height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  HDC dc = CreateCompatibleDC(NULL);
  if (!dc) return false;
  void* bits = NULL;
  state->Bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, NULL, 0);
  DeleteDC(dc);
  if (!state->Bitmap) return false;

  DIBSECTION section;
  GetObjectA(state->Bitmap, sizeof(section), &section);
  state->Bits = static_cast<BYTE*>(section.dsBm.bmBits);
  return true;
}

// Reads every row of every pass bottom-up into the section; stops early at a libpng error,
// leaving what was decoded so far.
void DecodeRows(DecodeState* state, png_uint_32 height, int bitDepth) {
  if (setjmp(RecoveryPoint(state->Png))) return;
  if (bitDepth == 16) png_set_strip_16(state->Png);
  png_set_bgr(state->Png);
  int passes = png_set_interlace_handling(state->Png);

  DIBSECTION section;
  GetObjectA(state->Bitmap, sizeof(section), &section);
  size_t stride = (size_t)section.dsBm.bmWidth * 4;
  for (int pass = 0; pass < passes; ++pass) {
    BYTE* row = state->Bits + (height - 1) * stride;
    for (png_uint_32 y = 0; y < height; ++y, row -= stride) {
      png_bytep rowPointer = row;
      png_read_rows(state->Png, &rowPointer, NULL, 1);
    }
  }
}

}  // namespace

ToolkitImage* DecodeImage(const BYTE* data, int length) {
  if (!data || length < SignatureLength || png_sig_cmp(data, 0, SignatureLength) != 0) {
    return NULL;
  }
  DecodeState* state = static_cast<DecodeState*>(std::calloc(1, sizeof(DecodeState)));
  if (!state) return NULL;
  state->Reader.Data = data;
  state->Reader.Length = (size_t)length;
  state->Png = png_create_read_struct(PNG_LIBPNG_VER_STRING, NULL, NULL, NULL);

  ToolkitImage* image = NULL;
  png_uint_32 height = 0;
  int bitDepth = 0;
  if (state->Png && StartDecode(state, &height, &bitDepth)) {
    DecodeRows(state, height, bitDepth);
    image = new ToolkitImage();
    BITMAP bitmap;
    GetObjectA(state->Bitmap, sizeof(bitmap), &bitmap);
    image->Bitmap = state->Bitmap;
    image->Width = (SHORT)bitmap.bmWidth;
    image->Height = (SHORT)bitmap.bmHeight;
    image->BitsPerPixel = bitmap.bmBitsPixel;
  } else if (state->Bitmap) {
    DeleteObject(state->Bitmap);
  }
  if (state->Png) png_destroy_read_struct(&state->Png, &state->Info, NULL);
  std::free(state);
  return image;
}
