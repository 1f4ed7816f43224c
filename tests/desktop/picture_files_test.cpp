// The icon and screen-dump readers behind stripband-icon-png and stripband-xwd-png, on small
// files built here by the formats' documented layouts, and the PNG writer read back by libpng.
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <bit>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tools/png/picture_files.h"

namespace stripband::pictures {
namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& bytes, size_t at, uint32_t value) {
  bytes[at] = static_cast<uint8_t>(value);
  bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}
void Put32(Bytes& bytes, size_t at, uint32_t value) {
  Put16(bytes, at, value & 0xFFFF);
  Put16(bytes, at + 2, value >> 16);
}
void PutBig32(Bytes& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

// A picture whose channels tell columns apart (red, blue) and rows apart (green), with a
// transparent first column and partial alpha elsewhere; top-down RGBA.
RgbaImage Sample(int width, int height) {
  RgbaImage image{.width = width, .height = height};
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      image.rgba.insert(image.rgba.end(),
                        {static_cast<uint8_t>(10 + 40 * x + y), static_cast<uint8_t>(100 + 30 * y),
                         static_cast<uint8_t>(200 - 20 * x - 5 * y),
                         static_cast<uint8_t>(x == 0 ? 0 : 60 * x + 40 * y)});
    }
  }
  return image;
}

// An .ico file of one 32-bit BITMAPINFOHEADER image: a 6-byte ICONDIR, one 16-byte entry, the
// 40-byte header, bottom-up B, G, R, A rows, then the AND mask in rows padded to 32 bits.
Bytes Ico(const RgbaImage& image) {
  const int w = image.width, h = image.height;
  const size_t mask_row = (static_cast<size_t>(w) + 31) / 32 * 4;
  const size_t length = 40 + static_cast<size_t>(w) * h * 4 + mask_row * h;
  Bytes ico(6 + 16 + length);
  Put16(ico, 2, 1);
  Put16(ico, 4, 1);
  ico[6] = static_cast<uint8_t>(w);
  ico[7] = static_cast<uint8_t>(h);
  Put16(ico, 6 + 4, 1);
  Put16(ico, 6 + 6, 32);
  Put32(ico, 6 + 8, static_cast<uint32_t>(length));
  Put32(ico, 6 + 12, 22);
  Put32(ico, 22, 40);
  Put32(ico, 22 + 4, static_cast<uint32_t>(w));
  Put32(ico, 22 + 8, static_cast<uint32_t>(2 * h));
  Put16(ico, 22 + 12, 1);
  Put16(ico, 22 + 14, 32);
  size_t at = 22 + 40;
  for (int y = h - 1; y >= 0; --y) {
    for (int x = 0; x < w; ++x, at += 4) {
      const uint8_t* p = &image.rgba[(static_cast<size_t>(y) * w + x) * 4];
      ico[at] = p[2];
      ico[at + 1] = p[1];
      ico[at + 2] = p[0];
      ico[at + 3] = p[3];
    }
  }
  // The AND mask, set where the picture is fully transparent; readers of 32-bit images with
  // alpha go by the alpha.
  for (int y = h - 1; y >= 0; --y, at += mask_row) {
    for (int x = 0; x < w; ++x) {
      if (image.rgba[(static_cast<size_t>(y) * w + x) * 4 + 3] == 0) {
        ico[at + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
      }
    }
  }
  return ico;
}

void ExpectSamePixels(const RgbaImage& actual, const RgbaImage& expected, bool alpha) {
  ASSERT_EQ(actual.width, expected.width);
  ASSERT_EQ(actual.height, expected.height);
  ASSERT_EQ(actual.rgba.size(), expected.rgba.size());
  for (size_t i = 0; i < expected.rgba.size(); ++i) {
    const uint8_t want = i % 4 == 3 && !alpha ? 0xFF : expected.rgba[i];
    ASSERT_EQ(actual.rgba[i], want) << "pixel " << i / 4 % expected.width << ", "
                                    << i / 4 / expected.width << ", channel " << i % 4;
  }
}

TEST(IconImage, TurnsTheBottomUpBgraRowsIntoTopDownRgbaWithTheirAlpha) {
  // Widths on either side of the mask's 32-bit row padding, and a tall image.
  for (auto [width, height] : {std::pair{3, 2}, {33, 2}, {2, 5}}) {
    SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
    RgbaImage sample = Sample(width, height);
    std::string error;
    auto image = IconImage(Ico(sample), &error);
    ASSERT_TRUE(image) << error;
    ExpectSamePixels(*image, sample, /*alpha=*/true);
  }
}

TEST(IconImage, RefusesWhatIsNotAThirtyTwoBitBitmapIcon) {
  const Bytes good = Ico(Sample(3, 2));
  const size_t entry = 6, header = 22;
  struct Case {
    const char* what;
    std::function<void(Bytes&)> damage;
  };
  const Case cases[] = {
      {"a cursor file", [](Bytes& b) { Put16(b, 2, 2); }},
      {"no image", [](Bytes& b) { Put16(b, 4, 0); }},
      {"image past the end", [&](Bytes& b) { Put32(b, entry + 12, 23); }},
      {"image longer than the file", [&](Bytes& b) { Put32(b, entry + 8, 0xFFFFFFF0); }},
      {"a PNG image", [&](Bytes& b) { Put32(b, header, 0x474E5089); }},
      {"24 bits per pixel", [&](Bytes& b) { Put16(b, header + 14, 24); }},
      {"BI_BITFIELDS", [&](Bytes& b) { Put32(b, header + 16, 3); }},
      {"height field not doubled", [&](Bytes& b) { Put32(b, header + 8, 2); }},
      {"entry width disagrees", [&](Bytes& b) { b[entry] = 4; }},
      {"mask cut short",
       [&](Bytes& b) {
         b.pop_back();
         Put32(b, entry + 8, static_cast<uint32_t>(b.size() - 22));
       }},
      {"too short for a directory", [](Bytes& b) { b.resize(21); }},
  };
  for (const Case& c : cases) {
    Bytes ico = good;
    c.damage(ico);
    std::string error;
    EXPECT_FALSE(IconImage(ico, &error)) << c.what;
    EXPECT_FALSE(error.empty()) << c.what;
  }
}

// An XWD file as X servers write it: 25 big-endian header fields, the window's name, the
// colour map (12 bytes an entry), then rows of 32-bit pixels in the dump's byte order.
struct XwdLayout {
  uint32_t byte_order = 0;  // 0 LSBFirst, 1 MSBFirst
  uint32_t masks[3] = {0xFF0000, 0xFF00, 0xFF};
  uint32_t colours = 0;
  uint32_t line_padding = 0;  // bytes after each row
  std::string name = "Xvfb main window";
};

Bytes Xwd(const RgbaImage& image, const XwdLayout& layout) {
  const uint32_t header = 25 * 4 + static_cast<uint32_t>(layout.name.size()) + 1;
  const uint32_t line = static_cast<uint32_t>(image.width) * 4 + layout.line_padding;
  Bytes xwd(header + layout.colours * 12 + line * image.height);
  const uint32_t fields[25] = {header,
                               7,
                               2,
                               24,
                               static_cast<uint32_t>(image.width),
                               static_cast<uint32_t>(image.height),
                               0,
                               layout.byte_order,
                               32,
                               layout.byte_order,
                               32,
                               32,
                               line,
                               4,
                               layout.masks[0],
                               layout.masks[1],
                               layout.masks[2],
                               8,
                               256,
                               layout.colours,
                               static_cast<uint32_t>(image.width),
                               static_cast<uint32_t>(image.height),
                               0,
                               0,
                               0};
  for (int i = 0; i < 25; ++i) PutBig32(xwd, static_cast<size_t>(i) * 4, fields[i]);
  std::copy(layout.name.begin(), layout.name.end(), xwd.begin() + 100);
  // Colour-map entries that, read as pixels, would be a visible stripe.
  for (uint32_t i = 0; i < layout.colours * 12; ++i) xwd[header + i] = 0xEE;
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const uint8_t* p = &image.rgba[(static_cast<size_t>(y) * image.width + x) * 4];
      uint32_t value = 0xFF000000;  // a byte the channels do not use
      for (int c = 0; c < 3; ++c) {
        value |= uint32_t{p[c]} << std::countr_zero(layout.masks[c]);
      }
      const size_t at = header + layout.colours * 12 + static_cast<size_t>(y) * line + x * 4;
      for (int i = 0; i < 4; ++i) {
        const int shift = layout.byte_order == 0 ? 8 * i : 24 - 8 * i;
        xwd[at + i] = static_cast<uint8_t>(value >> shift);
      }
    }
  }
  return xwd;
}

TEST(XwdImage, ReadsThePixelsWhateverTheByteOrderMasksColourMapAndPadding) {
  struct Case {
    const char* what;
    XwdLayout layout;
  };
  const Case cases[] = {
      {"LSBFirst, as Xvfb writes on x86", {}},
      {"MSBFirst", {.byte_order = 1}},
      {"blue in the high byte", {.masks = {0xFF, 0xFF00, 0xFF0000}}},
      {"a colour map", {.colours = 3}},
      {"padded rows", {.line_padding = 8}},
      {"MSBFirst, a colour map and padded rows",
       {.byte_order = 1, .colours = 2, .line_padding = 4, .name = ""}},
  };
  const RgbaImage sample = Sample(4, 3);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string error;
    auto image = XwdImage(Xwd(sample, c.layout), &error);
    ASSERT_TRUE(image) << error;
    ExpectSamePixels(*image, sample, /*alpha=*/false);
  }
}

TEST(XwdImage, RefusesDumpsItCannotRead) {
  const Bytes good = Xwd(Sample(4, 3), {});
  struct Case {
    const char* what;
    std::function<void(Bytes&)> damage;
  };
  const Case cases[] = {
      {"another file version", [](Bytes& b) { PutBig32(b, 4, 6); }},
      {"an XYPixmap", [](Bytes& b) { PutBig32(b, 8, 1); }},
      {"16 bits per pixel", [](Bytes& b) { PutBig32(b, 44, 16); }},
      {"a PseudoColor visual", [](Bytes& b) { PutBig32(b, 52, 3); }},
      {"a 5-bit channel", [](Bytes& b) { PutBig32(b, 56, 0xF800); }},
      {"rows shorter than the width", [](Bytes& b) { PutBig32(b, 48, 12); }},
      {"a header shorter than its fields", [](Bytes& b) { PutBig32(b, 0, 96); }},
      {"the last pixel missing", [](Bytes& b) { b.resize(b.size() - 4); }},
      {"a colour map past the end", [](Bytes& b) { PutBig32(b, 76, 0x10000000); }},
      {"no header", [](Bytes& b) { b.resize(99); }},
  };
  for (const Case& c : cases) {
    Bytes xwd = good;
    c.damage(xwd);
    std::string error;
    EXPECT_FALSE(XwdImage(xwd, &error)) << c.what;
    EXPECT_FALSE(error.empty()) << c.what;
  }
}

// libpng's own reading of a file, as RGBA.
RgbaImage ReadPng(const std::string& path, png_uint_32* format) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  RgbaImage image;
  if (!png_image_begin_read_from_file(&png, path.c_str())) return image;
  *format = png.format;
  png.format = PNG_FORMAT_RGBA;
  image.width = static_cast<int>(png.width);
  image.height = static_cast<int>(png.height);
  image.rgba.resize(PNG_IMAGE_SIZE(png));
  if (!png_image_finish_read(&png, nullptr, image.rgba.data(), 0, nullptr)) image = {};
  return image;
}

TEST(WritePng, WritesThePixelsWithOrWithoutAlpha) {
  const RgbaImage sample = Sample(5, 4);
  const std::string path =
      (std::filesystem::temp_directory_path() / ("picture_files_test." + std::to_string(getpid())))
          .string();
  for (bool alpha : {true, false}) {
    SCOPED_TRACE(alpha ? "with alpha" : "without alpha");
    std::string error;
    ASSERT_TRUE(WritePng(path, sample, alpha, &error)) << error;
    png_uint_32 format = 0;
    RgbaImage read = ReadPng(path, &format);
    EXPECT_EQ((format & PNG_FORMAT_FLAG_ALPHA) != 0, alpha);
    EXPECT_EQ(format & PNG_FORMAT_FLAG_COLOR, PNG_FORMAT_FLAG_COLOR);
    ExpectSamePixels(read, sample, alpha);
  }
  std::filesystem::remove(path);
  std::string error;
  EXPECT_FALSE(WritePng("/nonexistent-directory/x.png", sample, true, &error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace stripband::pictures
