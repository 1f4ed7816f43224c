// Checks resources/strip.png from the file itself: its chunks, its zlib stream and filters, and
// the decoded picture against the row tables, the texture and edge description and the per-row
// figures of the shown canvas (rows 0..49, byte for byte the artwork's top rows).

#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tests/support/file_bytes.h"
#include "tests/support/composed_rows.h"

#ifndef STRIP_PNG_PATH
#error "STRIP_PNG_PATH must name resources/strip.png"
#endif
#ifndef MAKE_ARTWORK_PATH
#error "MAKE_ARTWORK_PATH must name the built generator"
#endif

// The checked-in artwork as embed_bytes carries it into a program.
extern const unsigned char kEmbeddedStripPng[];
extern const int kEmbeddedStripPngSize;

namespace {

using stripband::testing::ReadFile;

constexpr int kWidth = 1920;
constexpr int kHeight = 80;
constexpr int kShownRows = 50;
constexpr int kLineRow = 3;
constexpr int kEdgeColumns = 7;
constexpr size_t kInflatedSize = 614550;

const std::vector<uint8_t>& Stored() {
  static const std::vector<uint8_t> bytes = ReadFile(STRIP_PNG_PATH);
  return bytes;
}

uint32_t Be32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

struct Chunk {
  std::string type;
  size_t offset;
  uint32_t length;
  std::vector<uint8_t> data;
  bool crc_ok;
};

// Chunks after the signature; stops at the first one that would run past the end.
std::vector<Chunk> ParseChunks(const std::vector<uint8_t>& png) {
  std::vector<Chunk> chunks;
  size_t at = 8;
  while (at + 12 <= png.size()) {
    const uint32_t length = Be32(&png[at]);
    if (length > png.size() - at - 12) break;
    Chunk chunk{std::string(png.begin() + at + 4, png.begin() + at + 8), at, length,
                std::vector<uint8_t>(png.begin() + at + 8, png.begin() + at + 8 + length), false};
    const uint32_t crc = static_cast<uint32_t>(crc32(0, &png[at + 4], length + 4));
    chunk.crc_ok = crc == Be32(&png[at + 8 + length]);
    chunks.push_back(std::move(chunk));
    at += 12 + length;
  }
  return chunks;
}

std::vector<uint8_t> ZlibStream() {
  std::vector<uint8_t> z;
  for (const Chunk& c : ParseChunks(Stored())) {
    if (c.type == "IDAT") z.insert(z.end(), c.data.begin(), c.data.end());
  }
  return z;
}

struct Rgba {
  int r, g, b, a;
  bool operator==(const Rgba&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Rgba& p) {
  return os << "R" << p.r << " G" << p.g << " B" << p.b << " A" << p.a;
}

struct Picture {
  uint32_t width = 0, height = 0;
  int bit_depth = 0, colour_type = 0, interlace = 0;
  std::vector<std::vector<uint8_t>> rows;  // RGBA

  Rgba At(int row, int column) const {
    const uint8_t* p = &rows[row][column * 4];
    return {p[0], p[1], p[2], p[3]};
  }
};

struct MemoryReader {
  const uint8_t* data;
  size_t size;
  size_t at;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t n) {
  auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
  if (n > reader->size - reader->at) png_error(png, "read past the end of the stream");
  std::memcpy(out, reader->data + reader->at, n);
  reader->at += n;
}

// libpng's own reading of the file, interlace handled by libpng, rows in RGBA order.
bool DecodeWithLibpng(const std::vector<uint8_t>& bytes, Picture& out) {
  MemoryReader reader{bytes.data(), bytes.size(), 0};
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_read_fn(png, &reader, ReadFromMemory);
  png_read_info(png, info);
  png_get_IHDR(png, info, &out.width, &out.height, &out.bit_depth, &out.colour_type, &out.interlace,
               nullptr, nullptr);
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  out.rows.assign(out.height, std::vector<uint8_t>(png_get_rowbytes(png, info)));
  for (int pass = 0; pass < passes; ++pass) {
    for (auto& row : out.rows) png_read_row(png, row.data(), nullptr);
  }
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

const Picture& Decoded() {
  static const Picture picture = [] {
    Picture p;
    if (!DecodeWithLibpng(Stored(), p)) p = Picture{};
    return p;
  }();
  return picture;
}

bool HasFullPicture() {
  const Picture& p = Decoded();
  return p.width == kWidth && p.height == kHeight && p.rows.size() == kHeight &&
         p.rows[0].size() == kWidth * 4;
}

// Row table: plain colour (R, G, B, A) and how the texture columns differ from it.
struct RowCase {
  int row;
  Rgba plain;
  Rgba texture_delta;
};

void PrintTo(const RowCase& c, std::ostream* os) { *os << "row " << c.row; }

const RowCase kRowCases[] = {
    {0, {180, 158, 17, 181}, {0, 0, 0, 0}},     {1, {182, 159, 17, 183}, {-1, 0, 0, -1}},
    {2, {181, 159, 17, 182}, {-1, -1, 0, -1}},  {3, {33, 28, 0, 255}, {0, 0, 0, 0}},
    {4, {180, 158, 17, 181}, {-1, -1, 0, -1}},  {5, {181, 159, 17, 182}, {-1, -1, 0, -1}},
    {6, {180, 158, 17, 181}, {-1, -1, 0, -1}},  {7, {181, 159, 17, 182}, {-1, -1, 0, -1}},
    {8, {180, 158, 17, 181}, {0, 0, 0, 0}},     {9, {181, 159, 18, 182}, {-1, -1, 0, -1}},
    {10, {181, 159, 18, 182}, {-1, -1, 0, -1}}, {11, {180, 158, 18, 181}, {0, 0, 0, 0}},
    {12, {180, 158, 18, 181}, {0, 0, 0, 0}},    {13, {181, 159, 18, 182}, {-1, -1, 0, -1}},
    {14, {181, 159, 18, 182}, {-1, -1, 0, -1}}, {15, {180, 157, 18, 181}, {0, 0, 0, 0}},
    {16, {180, 158, 18, 181}, {-1, -1, 1, -1}}, {17, {179, 157, 19, 180}, {-1, -1, 0, -1}},
    {18, {179, 157, 19, 180}, {0, -1, 0, 0}},   {19, {179, 156, 19, 180}, {-1, -1, 0, -1}},
    {20, {179, 156, 19, 180}, {-1, -1, 0, -1}}, {21, {178, 155, 19, 179}, {0, 0, 0, 0}},
    {22, {180, 157, 19, 181}, {-1, -1, 0, -1}}, {23, {179, 156, 19, 180}, {0, 0, 0, 0}},
    {24, {180, 157, 19, 181}, {-1, -1, 0, -1}}, {25, {179, 156, 19, 180}, {0, 0, 0, 0}},
    {26, {179, 156, 19, 180}, {0, 0, 0, 0}},    {27, {179, 156, 19, 180}, {-1, -1, 0, -1}},
    {28, {178, 155, 19, 179}, {0, 0, 0, 0}},    {29, {179, 156, 19, 180}, {-1, -1, 0, -1}},
    {30, {179, 156, 19, 180}, {0, 0, 0, 0}},    {31, {180, 157, 19, 181}, {-1, -1, 0, -1}},
    {32, {179, 156, 19, 180}, {0, 0, 0, 0}},    {33, {179, 156, 19, 180}, {0, 0, 0, 0}},
    {34, {179, 156, 19, 180}, {-1, -1, 0, -1}}, {35, {179, 156, 19, 180}, {-1, -1, 1, -1}},
    {36, {178, 155, 20, 179}, {0, 0, 0, 0}},    {37, {179, 156, 20, 180}, {-1, -1, 0, -1}},
    {38, {178, 155, 20, 179}, {0, 0, 0, 0}},    {39, {178, 155, 20, 179}, {-1, -1, 0, -1}},
    {40, {177, 154, 20, 178}, {0, 0, 1, 0}},    {41, {177, 154, 20, 178}, {-1, 0, 0, -1}},
    {42, {176, 154, 20, 177}, {0, 0, 0, 0}},    {43, {176, 154, 20, 177}, {0, 0, 0, 0}},
    {44, {176, 154, 20, 177}, {-1, -1, 0, -1}}, {45, {175, 153, 20, 176}, {0, 0, 0, 0}},
    {46, {174, 152, 19, 175}, {-1, -1, 1, -1}}, {47, {173, 151, 19, 174}, {-1, -1, 1, -1}},
    {48, {173, 150, 19, 174}, {-1, -1, 0, -1}}, {49, {172, 150, 19, 173}, {0, 0, 0, 0}},
    {50, {171, 149, 19, 172}, {0, 0, 0, 0}},    {51, {170, 148, 19, 171}, {0, 0, 0, 0}},
    {52, {170, 148, 19, 171}, {-1, -1, 0, -1}}, {53, {165, 143, 20, 166}, {-1, -1, 0, -1}},
    {54, {161, 140, 20, 162}, {-1, -1, 0, -1}}, {55, {155, 134, 20, 156}, {-1, -1, 1, -1}},
    {56, {149, 129, 21, 150}, {0, 0, 0, 0}},    {57, {145, 125, 22, 146}, {-1, -1, 0, -1}},
    {58, {141, 121, 22, 142}, {-1, 0, 1, -1}},  {59, {134, 115, 23, 135}, {0, 0, 0, 0}},
    {60, {130, 112, 24, 131}, {0, 0, 0, 0}},    {61, {125, 107, 25, 126}, {0, 0, 0, 0}},
    {62, {120, 103, 25, 121}, {0, 0, 0, 0}},    {63, {114, 97, 25, 115}, {0, 0, 0, 0}},
    {64, {109, 93, 26, 110}, {-1, -1, 0, -1}},  {65, {104, 88, 26, 105}, {0, 0, 0, 0}},
    {66, {99, 84, 27, 100}, {0, 0, 0, 0}},      {67, {94, 79, 28, 95}, {0, 0, 0, 0}},
    {68, {88, 74, 28, 89}, {0, 0, 0, 0}},       {69, {83, 70, 28, 84}, {0, 0, 0, 0}},
    {70, {81, 68, 28, 82}, {0, 0, 0, 0}},       {71, {80, 67, 27, 81}, {0, 0, 0, 0}},
    {72, {79, 66, 27, 80}, {0, 0, 0, 0}},       {73, {79, 66, 27, 80}, {0, 0, 0, 0}},
    {74, {77, 65, 27, 78}, {0, 0, 0, 0}},       {75, {76, 64, 26, 77}, {0, 0, 0, 0}},
    {76, {75, 63, 26, 76}, {0, 0, 0, 0}},       {77, {73, 61, 25, 74}, {0, 0, 0, 0}},
    {78, {73, 61, 25, 74}, {0, 0, 0, 0}},       {79, {71, 60, 25, 72}, {0, 0, 0, 0}},
};

Rgba Plain(int row) { return kRowCases[row].plain; }

Rgba TexturePixel(int row) {
  const Rgba p = kRowCases[row].plain, d = kRowCases[row].texture_delta;
  return {p.r + d.r, p.g + d.g, p.b + d.b, p.a + d.a};
}

// Columns 7..1919 that differ from the plain pixel in any row.
std::vector<bool> TextureSet() {
  std::vector<bool> set(kWidth, false);
  for (int r = 0; r < kHeight; ++r) {
    for (int c = kEdgeColumns; c < kWidth; ++c) {
      if (Decoded().At(r, c) != Plain(r)) set[c] = true;
    }
  }
  return set;
}

std::vector<int> TextureColumns() {
  const std::vector<bool> set = TextureSet();
  std::vector<int> columns;
  for (int c = 0; c < kWidth; ++c) {
    if (set[c]) columns.push_back(c);
  }
  return columns;
}

// ---- the stored form ----

TEST(ArtworkFile, IsSignatureThenIhdrPhysIdatsIend) {
  const std::vector<uint8_t>& png = Stored();
  ASSERT_GE(png.size(), 8u) << STRIP_PNG_PATH;
  const std::vector<uint8_t> signature = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
  EXPECT_TRUE(std::equal(signature.begin(), signature.end(), png.begin()));

  const std::vector<Chunk> chunks = ParseChunks(png);
  ASSERT_GE(chunks.size(), 4u);
  size_t end = 8;
  for (const Chunk& c : chunks) {
    EXPECT_EQ(c.offset, end) << c.type;
    EXPECT_TRUE(c.crc_ok) << c.type << " at " << c.offset;
    end = c.offset + 12 + c.length;
  }
  EXPECT_EQ(end, png.size()) << "bytes after the last chunk";

  EXPECT_EQ(chunks.front().type, "IHDR");
  EXPECT_EQ(chunks.front().length, 13u);
  EXPECT_EQ(chunks.front().offset, 8u);
  EXPECT_EQ(chunks[1].type, "pHYs");
  EXPECT_EQ(chunks[1].length, 9u);
  EXPECT_EQ(chunks[1].offset, 33u);
  EXPECT_EQ(chunks.back().type, "IEND");
  EXPECT_EQ(chunks.back().length, 0u);
  EXPECT_EQ(chunks[2].offset, 54u);
  for (size_t i = 2; i + 1 < chunks.size(); ++i) {
    SCOPED_TRACE("chunk " + std::to_string(i));
    EXPECT_EQ(chunks[i].type, "IDAT");
    if (i + 2 < chunks.size()) {
      EXPECT_EQ(chunks[i].length, 8192u) << "every IDAT but the last is full";
    } else {
      EXPECT_GE(chunks[i].length, 1u);
      EXPECT_LE(chunks[i].length, 8192u);
    }
  }
}

TEST(ArtworkFile, HeaderAndPhysicalSizeFields) {
  const std::vector<Chunk> chunks = ParseChunks(Stored());
  ASSERT_GE(chunks.size(), 2u);
  const std::vector<uint8_t>& ihdr = chunks[0].data;
  const std::vector<uint8_t>& phys = chunks[1].data;
  ASSERT_EQ(ihdr.size(), 13u);
  ASSERT_EQ(phys.size(), 9u);
  struct Field {
    const char* name;
    uint32_t actual, expected;
  };
  const Field fields[] = {
      {"width", Be32(&ihdr[0]), 1920},
      {"height", Be32(&ihdr[4]), 80},
      {"bit depth", ihdr[8], 8},
      {"colour type (RGBA)", ihdr[9], 6},
      {"compression", ihdr[10], 0},
      {"filter method", ihdr[11], 0},
      {"interlace (Adam7)", ihdr[12], 1},
      {"pixels per unit, x", Be32(&phys[0]), 11811},
      {"pixels per unit, y", Be32(&phys[4]), 11811},
      {"unit (metre)", phys[8], 1},
  };
  for (const Field& f : fields) EXPECT_EQ(f.actual, f.expected) << f.name;
}

TEST(ArtworkImageData, IsOneDefaultLevelZlibStreamOfAllScanlines) {
  const std::vector<uint8_t> z = ZlibStream();
  ASSERT_GE(z.size(), 2u);
  EXPECT_EQ(z[0], 0x78) << "deflate, 32 KiB window";
  EXPECT_EQ(z[1], 0x9C) << "default level";

  std::vector<uint8_t> raw(kInflatedSize + 1);
  z_stream s{};
  ASSERT_EQ(inflateInit(&s), Z_OK);
  s.next_in = const_cast<Bytef*>(z.data());
  s.avail_in = static_cast<uInt>(z.size());
  s.next_out = raw.data();
  s.avail_out = static_cast<uInt>(raw.size());
  const int rc = inflate(&s, Z_FINISH);
  EXPECT_EQ(rc, Z_STREAM_END);
  EXPECT_EQ(s.total_out, kInflatedSize);
  EXPECT_EQ(s.avail_in, 0u) << "data after the end of the zlib stream";
  inflateEnd(&s);
  raw.resize(s.total_out);

  // Compressing the scanlines again at the default level gives the stored stream back, so it
  // is one plain default-level stream and not, say, a series of flushed blocks.
  z_stream d{};
  ASSERT_EQ(deflateInit2(&d, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY), Z_OK);
  std::vector<uint8_t> again(deflateBound(&d, raw.size()));
  d.next_in = raw.data();
  d.avail_in = static_cast<uInt>(raw.size());
  d.next_out = again.data();
  d.avail_out = static_cast<uInt>(again.size());
  EXPECT_EQ(deflate(&d, Z_FINISH), Z_STREAM_END);
  again.resize(d.total_out);
  deflateEnd(&d);
  EXPECT_TRUE(again == z) << "recompressed " << again.size() << " bytes, stored " << z.size();
}

TEST(ArtworkImageData, EveryScanlineOfEveryAdam7PassIsPaeth) {
  const std::vector<uint8_t> z = ZlibStream();
  std::vector<uint8_t> raw(kInflatedSize);
  uLongf size = raw.size();
  ASSERT_EQ(uncompress(raw.data(), &size, z.data(), z.size()), Z_OK);
  ASSERT_EQ(size, kInflatedSize);

  struct Pass {
    int x0, y0, dx, dy;
    int rows, pixels;  // what a 1920 x 80 picture gives
  };
  const Pass passes[] = {{0, 0, 8, 8, 10, 240}, {4, 0, 8, 8, 10, 240}, {0, 4, 4, 8, 10, 480},
                         {2, 0, 4, 4, 20, 480}, {0, 2, 2, 4, 20, 960}, {1, 0, 2, 2, 40, 960},
                         {0, 1, 1, 2, 40, 1920}};
  size_t at = 0;
  int scanlines = 0;
  for (int p = 0; p < 7; ++p) {
    const Pass& pass = passes[p];
    const int pixels = (kWidth - pass.x0 + pass.dx - 1) / pass.dx;
    const int rows = (kHeight - pass.y0 + pass.dy - 1) / pass.dy;
    EXPECT_EQ(pixels, pass.pixels) << "pass " << p + 1;
    EXPECT_EQ(rows, pass.rows) << "pass " << p + 1;
    for (int y = 0; y < rows; ++y) {
      ASSERT_LT(at, raw.size());
      EXPECT_EQ(raw[at], 4) << "pass " << p + 1 << " scanline " << y;
      at += 1 + pixels * 4;
      ++scanlines;
    }
  }
  EXPECT_EQ(at, raw.size());
  EXPECT_EQ(scanlines, 150);
}

TEST(ArtworkDecode, LibpngReadsA1920By80RgbaAdam7Picture) {
  const Picture& p = Decoded();
  EXPECT_EQ(p.width, 1920u);
  EXPECT_EQ(p.height, 80u);
  EXPECT_EQ(p.bit_depth, 8);
  EXPECT_EQ(p.colour_type, PNG_COLOR_TYPE_RGB_ALPHA);
  EXPECT_EQ(p.interlace, PNG_INTERLACE_ADAM7);
  ASSERT_TRUE(HasFullPicture());
}

// ---- the picture: rows, texture, edge ----

class ArtworkRow : public testing::TestWithParam<RowCase> {};

TEST_P(ArtworkRow, PlainAndTextureColumnsHoldTheRowColours) {
  ASSERT_TRUE(HasFullPicture());
  const RowCase& rc = GetParam();
  const Picture& p = Decoded();
  const std::vector<bool> texture = TextureSet();
  const Rgba tex = TexturePixel(rc.row);
  EXPECT_EQ(p.At(rc.row, 7), rc.plain) << "column 7 is plain";
  int plain = 0, textured = 0;
  for (int c = kEdgeColumns; c < kWidth; ++c) {
    const Rgba expected = texture[c] ? tex : rc.plain;
    if (p.At(rc.row, c) != expected) {
      ADD_FAILURE() << "column " << c << ": " << p.At(rc.row, c) << ", expected " << expected;
      break;
    }
    (texture[c] ? textured : plain)++;
  }
  EXPECT_EQ(plain, 1341);
  EXPECT_EQ(textured, 572);
}

INSTANTIATE_TEST_SUITE_P(EveryRow, ArtworkRow, testing::ValuesIn(kRowCases),
                         [](const testing::TestParamInfo<RowCase>& info) {
                           return "Row" + std::to_string(info.param.row);
                         });

TEST(ArtworkTexture, ColumnsAreSpreadAsDescribed) {
  ASSERT_TRUE(HasFullPicture());
  const std::vector<int> columns = TextureColumns();
  ASSERT_EQ(columns.size(), 572u);
  EXPECT_GE(columns.front(), 7);
  EXPECT_LE(columns.back(), 1919);

  const std::vector<int> first(columns.begin(), columns.begin() + 11);
  const std::vector<int> last(columns.end() - 6, columns.end());
  EXPECT_EQ(first, (std::vector<int>{11, 16, 19, 21, 25, 28, 31, 35, 36, 37, 40}));
  EXPECT_EQ(last, (std::vector<int>{1907, 1910, 1911, 1914, 1915, 1919}));

  for (int s = 0; s < 10; ++s) {
    const auto n =
        std::count_if(columns.begin(), columns.end(), [s](int c) { return c / 192 == s; });
    EXPECT_GE(n, 50) << "columns " << s * 192 << ".." << s * 192 + 191;
    EXPECT_LE(n, 67) << "columns " << s * 192 << ".." << s * 192 + 191;
  }
}

TEST(ArtworkTexture, RunsAndGapsHaveTheDescribedLengths) {
  ASSERT_TRUE(HasFullPicture());
  const std::vector<int> columns = TextureColumns();
  std::map<int, int> runs;  // length -> count
  std::vector<int> gaps;
  int run = 1;
  for (size_t i = 1; i <= columns.size(); ++i) {
    if (i < columns.size() && columns[i] == columns[i - 1] + 1) {
      ++run;
      continue;
    }
    ++runs[run];
    run = 1;
    if (i < columns.size()) gaps.push_back(columns[i] - columns[i - 1] - 1);
  }
  const std::map<int, int> expected = {{1, 286}, {2, 85}, {3, 25}, {4, 4}, {5, 2}, {7, 1}, {8, 1}};
  EXPECT_EQ(runs, expected);
  ASSERT_FALSE(gaps.empty());
  EXPECT_EQ(*std::min_element(gaps.begin(), gaps.end()), 1);
  EXPECT_EQ(*std::max_element(gaps.begin(), gaps.end()), 19);
}

TEST(ArtworkTexture, HasNoRepeatingPeriod) {
  ASSERT_TRUE(HasFullPicture());
  const std::vector<bool> set = TextureSet();
  constexpr int kFirst = 7, kLast = 1919;
  for (int period = 1; period <= (kLast - kFirst + 1) / 2; ++period) {
    bool periodic = true;
    for (int c = kFirst; c + period <= kLast && periodic; ++c) periodic = set[c] == set[c + period];
    EXPECT_FALSE(periodic) << "texture repeats every " << period << " columns";
  }
}

// Per edge column and row band: the range the R/A drop spans and the mean it rounds to.
struct EdgeCase {
  int first_row, last_row;
  int column;
  int low, high, mean_tenths;
  int max_blue_drop;
};

void PrintTo(const EdgeCase& c, std::ostream* os) {
  *os << "column " << c.column << ", rows " << c.first_row << ".." << c.last_row;
}

const EdgeCase kEdgeCases[] = {
    {0, 49, 0, 2, 4, 27, 2},  {0, 49, 1, 1, 3, 22, 2},  {0, 49, 2, 1, 3, 16, 2},
    {0, 49, 3, 1, 3, 17, 2},  {0, 49, 4, 0, 3, 14, 2},  {0, 49, 5, 0, 1, 5, 2},
    {0, 49, 6, 0, 2, 7, 2},   {50, 79, 0, 2, 6, 39, 3}, {50, 79, 1, 2, 5, 32, 3},
    {50, 79, 2, 1, 4, 25, 3}, {50, 79, 3, 0, 3, 19, 3}, {50, 79, 4, 0, 2, 15, 3},
    {50, 79, 5, 0, 1, 7, 3},  {50, 79, 6, 0, 2, 5, 3},
};

class ArtworkEdge : public testing::TestWithParam<EdgeCase> {};

TEST_P(ArtworkEdge, DropsSpanTheRangeAndRoundToTheMean) {
  ASSERT_TRUE(HasFullPicture());
  const EdgeCase& ec = GetParam();
  int n = 0, sum = 0, low = 1000, high = -1000;
  for (int r = ec.first_row; r <= ec.last_row; ++r) {
    if (r == kLineRow) continue;
    const Rgba plain = Plain(r), px = Decoded().At(r, ec.column);
    const int drop = plain.a - px.a;
    SCOPED_TRACE("row " + std::to_string(r));
    EXPECT_EQ(plain.r - px.r, drop) << "R and A drop together";
    EXPECT_GE(plain.g - px.g, std::max(0, drop - 1)) << "G is lowered by the drop, +-1";
    EXPECT_LE(plain.g - px.g, drop + 1) << "G is lowered by the drop, +-1";
    const int blue_delta = px.b - plain.b;
    EXPECT_GE(blue_delta, -ec.max_blue_drop);
    EXPECT_LE(blue_delta, ec.column == 6 ? 1 : 0) << "only column 6 may be bluer than plain";
    sum += drop;
    low = std::min(low, drop);
    high = std::max(high, drop);
    ++n;
  }
  EXPECT_EQ(low, ec.low);
  EXPECT_EQ(high, ec.high);
  // Mean to one decimal, halves rounded up: round(10 * sum / n).
  EXPECT_EQ((20 * sum + n) / (2 * n), ec.mean_tenths) << "sum " << sum << " over " << n << " rows";
}

INSTANTIATE_TEST_SUITE_P(EveryColumnAndBand, ArtworkEdge, testing::ValuesIn(kEdgeCases),
                         [](const testing::TestParamInfo<EdgeCase>& info) {
                           return "Column" + std::to_string(info.param.column) + "Rows" +
                                  std::to_string(info.param.first_row) + "To" +
                                  std::to_string(info.param.last_row);
                         });

TEST(ArtworkEdge, ColumnSixIsBluerThanPlainInOnlyAFewRows) {
  ASSERT_TRUE(HasFullPicture());
  int bluer = 0;
  for (int r = 0; r < kHeight; ++r) bluer += Decoded().At(r, 6).b > Plain(r).b;
  EXPECT_GE(bluer, 1);
  EXPECT_LE(bluer, 5);
}

TEST(ArtworkEdge, TheLineRowHasNoEdge) {
  ASSERT_TRUE(HasFullPicture());
  for (int c = 0; c < kWidth; ++c) {
    ASSERT_EQ(Decoded().At(kLineRow, c), (Rgba{33, 28, 0, 255})) << "column " << c;
  }
}

TEST(ArtworkInvariants, ColourNeverExceedsAlphaAndRIsAMinusOneOutsideTheLine) {
  ASSERT_TRUE(HasFullPicture());
  int r_is_a_minus_one = 0;
  for (int r = 0; r < kHeight; ++r) {
    for (int c = 0; c < kWidth; ++c) {
      const Rgba p = Decoded().At(r, c);
      ASSERT_LE(std::max({p.r, p.g, p.b}), p.a) << "row " << r << " column " << c;
      if (r != kLineRow) {
        ASSERT_EQ(p.r, p.a - 1) << "row " << r << " column " << c;
        ++r_is_a_minus_one;
      }
    }
  }
  EXPECT_EQ(r_is_a_minus_one, 151680);
}

TEST(ArtworkInvariants, ShownRowsStayWithinFourAlphaStepsOfPlain) {
  ASSERT_TRUE(HasFullPicture());
  for (int r = 0; r < kShownRows; ++r) {
    for (int c = 0; c < kWidth; ++c) {
      const int a = Decoded().At(r, c).a;
      ASSERT_LE(a, Plain(r).a) << "row " << r << " column " << c;
      ASSERT_GE(a, Plain(r).a - 4) << "row " << r << " column " << c;
    }
  }
}

// ---- rows 0..49 as the canvas shows them (bytes B, G, R, A) ----

using stripband::testing::ComposedRow;
using stripband::testing::kComposedRows;

class CanvasRow : public testing::TestWithParam<ComposedRow> {};

TEST_P(CanvasRow, MostFrequentPixelCountAndAlphaRange) {
  ASSERT_TRUE(HasFullPicture());
  const ComposedRow& cr = GetParam();
  std::map<std::array<int, 4>, int> counts;
  int alpha_low = 256, alpha_high = -1;
  for (int c = 0; c < kWidth; ++c) {
    const Rgba p = Decoded().At(cr.row, c);
    ++counts[{p.b, p.g, p.r, p.a}];
    alpha_low = std::min(alpha_low, p.a);
    alpha_high = std::max(alpha_high, p.a);
  }
  const auto mode =
      std::max_element(counts.begin(), counts.end(),
                       [](const auto& x, const auto& y) { return x.second < y.second; });
  EXPECT_EQ(mode->first, cr.bgra);
  EXPECT_EQ(mode->second, cr.count);
  EXPECT_EQ(alpha_low, cr.alpha_low);
  EXPECT_EQ(alpha_high, cr.alpha_high);
}

INSTANTIATE_TEST_SUITE_P(ShownRows, CanvasRow, testing::ValuesIn(kComposedRows),
                         [](const testing::TestParamInfo<ComposedRow>& info) {
                           return "Row" + std::to_string(info.param.row);
                         });

TEST(ArtworkCorner, TopRowStartsWithTheEdgePixelThenPlain) {
  ASSERT_TRUE(HasFullPicture());
  struct Case {
    int column;
    std::array<int, 4> bgra;
  };
  for (const Case& c : {Case{0, {16, 156, 178, 179}}, Case{7, {17, 158, 180, 181}}}) {
    const Rgba p = Decoded().At(0, c.column);
    EXPECT_EQ((std::array<int, 4>{p.b, p.g, p.r, p.a}), c.bgra) << "column " << c.column;
  }
}

// ---- the build steps ----

TEST(EmbeddedArtwork, CarriesEveryByteOfTheFileAndItsExactLength) {
  const std::vector<uint8_t>& file = Stored();
  ASSERT_FALSE(file.empty());
  ASSERT_EQ(kEmbeddedStripPngSize, static_cast<int>(file.size()));
  EXPECT_TRUE(std::equal(file.begin(), file.end(), kEmbeddedStripPng));
}

TEST(ArtworkGenerator, ReproducesTheCheckedInFileByteForByte) {
  const std::filesystem::path dir = testing::TempDir();
  std::vector<std::vector<uint8_t>> runs;
  for (int i = 0; i < 2; ++i) {
    const std::filesystem::path out =
        dir / ("strip_" + std::to_string(getpid()) + "_" + std::to_string(i) + ".png");
    const std::string command =
        std::string("\"") + MAKE_ARTWORK_PATH + "\" \"" + out.string() + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    runs.push_back(ReadFile(out.string()));
    std::filesystem::remove(out);
  }
  ASSERT_FALSE(runs[0].empty());
  EXPECT_TRUE(runs[0] == runs[1]) << "two runs differ";
  EXPECT_TRUE(runs[0] == Stored()) << "resources/strip.png is not what the generator writes";
}

}  // namespace
