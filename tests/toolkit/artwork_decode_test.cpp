// The stored artwork through the toolkit's decode: the section it makes, where its rows and
// bytes land, and what a damaged stream gives and writes to stderr.
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <string>
#include <vector>

#include "tests/toolkit/toolkit_test_support.h"

namespace stripband::testing {
namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 80;
constexpr int kStride = kWidth * 4;
constexpr int kLineMemoryRow = kHeight - 1 - 3;  // PNG row 3, the dark line

using ArtworkDecodeTest = ToolkitTest;

uint32_t Be32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

void PutBe32(uint8_t* p, uint32_t value) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

// Offset of the first chunk of `type` (its length field), or 0.
size_t FindChunk(const std::vector<uint8_t>& png, const char* type, int occurrence = 0) {
  for (size_t at = 8; at + 12 <= png.size(); at += 12 + Be32(&png[at])) {
    if (std::memcmp(&png[at + 4], type, 4) == 0 && occurrence-- == 0) return at;
  }
  return 0;
}

void RepairCrc(std::vector<uint8_t>& png, size_t chunk) {
  uint32_t length = Be32(&png[chunk]);
  PutBe32(&png[chunk + 8 + length], static_cast<uint32_t>(crc32(0, &png[chunk + 4], length + 4)));
}

TEST_F(ArtworkDecodeTest, IsA1920By80BottomUp32BitSection) {
  Image artwork = Decode(ArtworkStream());
  ASSERT_TRUE(artwork);
  EXPECT_EQ(GetImageWidth(artwork.get()), kWidth);
  EXPECT_EQ(GetImageHeight(artwork.get()), kHeight);
  EXPECT_EQ(artwork->BitsPerPixel, 32);

  HBITMAP bitmap = GetImageBitmap(artwork.get());
  EXPECT_EQ(GetObjectType(bitmap), static_cast<DWORD>(OBJ_BITMAP));
  DIBSECTION section{};
  ASSERT_EQ(GetObjectA(bitmap, sizeof(section), &section), static_cast<int>(sizeof(section)));
  EXPECT_EQ(section.dsBm.bmWidth, kWidth);
  EXPECT_EQ(section.dsBm.bmHeight, kHeight);
  EXPECT_EQ(section.dsBm.bmWidthBytes, kStride);
  EXPECT_EQ(section.dsBm.bmBitsPixel, 32);
  EXPECT_NE(section.dsBm.bmBits, nullptr);
  EXPECT_EQ(section.dsBmih.biSize, sizeof(BITMAPINFOHEADER));
  EXPECT_EQ(section.dsBmih.biWidth, kWidth);
  EXPECT_EQ(section.dsBmih.biHeight, kHeight) << "rows must lie bottom-up";
  EXPECT_EQ(section.dsBmih.biPlanes, 1);
  EXPECT_EQ(section.dsBmih.biBitCount, 32);
  EXPECT_EQ(section.dsBmih.biCompression, static_cast<DWORD>(BI_RGB));
}

struct KnownPixel {
  const char* what;
  int memory_row;
  int column;
  Bgra expected;
};

TEST_F(ArtworkDecodeTest, KnownPixelsLieInTheirMemoryRowsAsBgra) {
  const KnownPixel cases[] = {
      {"top row, left edge", 79, 0, {16, 156, 178, 179}},
      {"top row, first plain column: R 180 stays beside A 181", 79, 7, {17, 158, 180, 181}},
      {"top row, last column", 79, 1919, {17, 158, 180, 181}},
      {"dark line, left edge", 76, 0, {0, 28, 33, 255}},
      {"bottom row, first plain column", 0, 7, {25, 60, 71, 72}},
      {"bottom row, last column", 0, 1919, {25, 60, 71, 72}},
  };
  Image artwork = Decode(ArtworkStream());
  ASSERT_TRUE(artwork);
  for (const KnownPixel& c : cases) {
    EXPECT_EQ(PixelAt(artwork.get(), c.memory_row, c.column), c.expected) << c.what;
  }
}

TEST_F(ArtworkDecodeTest, WholeRowsHoldTheirColours) {
  Image artwork = Decode(ArtworkStream());
  ASSERT_TRUE(artwork);
  for (int column = 0; column < kWidth; ++column) {
    ASSERT_EQ(PixelAt(artwork.get(), kLineMemoryRow, column), (Bgra{0, 28, 33, 255}))
        << "dark line, column " << column;
  }
  // The last PNG row has no texture: every column past the edge is plain.
  for (int column = 7; column < kWidth; ++column) {
    ASSERT_EQ(PixelAt(artwork.get(), 0, column), (Bgra{25, 60, 71, 72}))
        << "bottom row, column " << column;
  }
}

TEST_F(ArtworkDecodeTest, ColoursAreStraightAndNeverAboveAlpha) {
  Image artwork = Decode(ArtworkStream());
  ASSERT_TRUE(artwork);
  int failures = 0;
  for (int row = 0; row < kHeight && failures < 10; ++row) {
    for (int column = 0; column < kWidth && failures < 10; ++column) {
      Bgra p = PixelAt(artwork.get(), row, column);
      bool ok = p.b <= p.a && p.g <= p.a && p.r <= p.a;
      if (row != kLineMemoryRow) ok = ok && p.r == p.a - 1;
      if (!ok) {
        ++failures;
        ADD_FAILURE() << "memory row " << row << ", column " << column << ": " << p;
      }
    }
  }
}

// libpng's writer, fed the decoded memory: bottom row last, B, G, R, A swapped back to RGBA.
std::vector<uint8_t> EncodeNonInterlaced(const ToolkitImage* image) {
  std::vector<uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep data, size_t length) {
        auto* bytes = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(p));
        bytes->insert(bytes->end(), data, data + length);
      },
      nullptr);
  const int width = GetImageWidth(image), height = GetImageHeight(image);
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_set_bgr(png);
  for (int row = height - 1; row >= 0; --row) png_write_row(png, MemoryRow(image, row));
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

TEST_F(ArtworkDecodeTest, NonInterlacedReencodingDecodesToTheSameMemory) {
  Image artwork = Decode(ArtworkStream());
  ASSERT_TRUE(artwork);
  std::vector<uint8_t> reencoded = EncodeNonInterlaced(artwork.get());
  ASSERT_GT(reencoded.size(), 33u);
  ASSERT_EQ(reencoded[28], PNG_INTERLACE_NONE);

  Image again = Decode(reencoded);
  ASSERT_TRUE(again);
  EXPECT_EQ(GetImageWidth(again.get()), kWidth);
  EXPECT_EQ(GetImageHeight(again.get()), kHeight);
  EXPECT_TRUE(MemoryOf(again.get()) == MemoryOf(artwork.get()));
}

TEST_F(ArtworkDecodeTest, DamagedHeaderCrcGivesNoPictureAndOneLibpngErrorLine) {
  std::vector<uint8_t> stream = ArtworkStream();
  const size_t ihdr = FindChunk(stream, "IHDR");
  ASSERT_EQ(ihdr, 8u);
  stream[ihdr + 8 + 13 + 3] ^= 0x01;  // last byte of its CRC

  StderrCapture captured;
  Image image = Decode(stream);
  const std::string written = captured.Text();
  EXPECT_FALSE(image);
  EXPECT_EQ(written.rfind("libpng error: ", 0), 0u) << written;
  EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 1) << written;
  EXPECT_TRUE(!written.empty() && written.back() == '\n');
}

// One byte in the middle of the second IDAT is flipped, well after the data of the first
// passes, so the top picture row is complete while the last rows of pass 7 are never reached.
TEST_F(ArtworkDecodeTest, DamageInsideTheImageDataStillGivesThePicture) {
  Image whole = Decode(ArtworkStream());
  ASSERT_TRUE(whole);
  const std::vector<uint8_t> top_row(MemoryRow(whole.get(), kHeight - 1),
                                     MemoryRow(whole.get(), kHeight - 1) + kStride);

  struct Case {
    const char* what;
    bool repair_crc;
  };
  for (const Case& c : {Case{"IDAT CRC no longer matches", false},
                        Case{"deflate data damaged, CRC repaired", true}}) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> stream = ArtworkStream();
    const size_t idat = FindChunk(stream, "IDAT", 1);
    ASSERT_NE(idat, 0u);
    stream[idat + 8 + Be32(&stream[idat]) / 2] ^= 0x55;
    if (c.repair_crc) RepairCrc(stream, idat);

    StderrCapture captured;
    Image image = Decode(stream);
    const std::string written = captured.Text();
    ASSERT_TRUE(image);
    EXPECT_EQ(GetImageWidth(image.get()), kWidth);
    EXPECT_EQ(GetImageHeight(image.get()), kHeight);
    EXPECT_TRUE(std::equal(top_row.begin(), top_row.end(), MemoryRow(image.get(), kHeight - 1)))
        << "the top row was decoded before the damage";
    EXPECT_NE(written.find("libpng error: "), std::string::npos) << written;
    if (!c.repair_crc) {
      // Decoding stops at the end of the damaged chunk: the bottom row keeps the section's
      // initial zeros.
      const uint8_t* bottom = MemoryRow(image.get(), 0);
      EXPECT_TRUE(std::all_of(bottom, bottom + kStride, [](uint8_t b) { return b == 0; }));
    }
  }
}

TEST_F(ArtworkDecodeTest, NoPictureWhenTheSectionCannotBeMade) {
  platform::gdi::FailNextBitmaps(1);
  Image image = Decode(ArtworkStream());
  EXPECT_FALSE(image);
  EXPECT_EQ(GetImageBitmap(image.get()), nullptr);
}

}  // namespace
}  // namespace stripband::testing
