// Icons in our Win32 layer: LoadIconA finds the program's icon group 1 among the resources the
// build linked in (this test links the program's own), and the layer reads .ico files into
// the picture a display shows as the window's icon.

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "user/resources.h"

#ifndef STRIP_ICO_PATH
#error "STRIP_ICO_PATH must name resources/strip.ico"
#endif

#include "tests/support/file_bytes.h"

namespace stripband::testing {
namespace {

using platform::user::DecodeIconFile;
using platform::user::FindIconImage;
using platform::user::IconImage;

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

void Set32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// One image for an .ico file: 0xAARRGGBB words top row first, and the AND mask's bits.
struct TestImage {
  int width;
  int height;
  std::vector<uint32_t> argb;
  std::vector<bool> see_through;  // empty: no bit set
};

TestImage Numbered(int width, int height, uint32_t alpha) {
  TestImage image{width, height, {}, {}};
  for (int i = 0; i < width * height; ++i) {
    image.argb.push_back(alpha << 24 | static_cast<uint32_t>(0x10 + i) << 16 |
                         static_cast<uint32_t>(0x40 + i) << 8 | static_cast<uint32_t>(0x80 + i));
  }
  return image;
}

// An .ico file in the form the program's icon has: a directory, then per image a
// BITMAPINFOHEADER, its colour rows bottom-up as B, G, R, A, and its mask.
std::vector<uint8_t> MakeIco(const std::vector<TestImage>& images) {
  std::vector<uint8_t> ico;
  Put16(ico, 0);
  Put16(ico, 1);
  Put16(ico, static_cast<uint32_t>(images.size()));
  std::vector<std::vector<uint8_t>> bodies;
  for (const TestImage& image : images) {
    std::vector<uint8_t> body;
    Put32(body, 40);
    Put32(body, image.width);
    Put32(body, image.height * 2);
    Put16(body, 1);
    Put16(body, 32);
    for (int i = 0; i < 6; ++i) Put32(body, 0);
    for (int y = image.height - 1; y >= 0; --y) {
      for (int x = 0; x < image.width; ++x) {
        const uint32_t p = image.argb[y * image.width + x];
        body.insert(body.end(), {uint8_t(p), uint8_t(p >> 8), uint8_t(p >> 16), uint8_t(p >> 24)});
      }
    }
    const size_t stride = (image.width + 31) / 32 * 4;
    for (int y = image.height - 1; y >= 0; --y) {
      std::vector<uint8_t> row(stride, 0);
      for (int x = 0; x < image.width; ++x) {
        if (!image.see_through.empty() && image.see_through[y * image.width + x]) {
          row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
        }
      }
      body.insert(body.end(), row.begin(), row.end());
    }
    bodies.push_back(body);
  }
  size_t offset = 6 + 16 * images.size();
  for (size_t i = 0; i < images.size(); ++i) {
    ico.push_back(static_cast<uint8_t>(images[i].width));
    ico.push_back(static_cast<uint8_t>(images[i].height));
    ico.push_back(0);
    ico.push_back(0);
    Put16(ico, 1);
    Put16(ico, 32);
    Put32(ico, static_cast<uint32_t>(bodies[i].size()));
    Put32(ico, static_cast<uint32_t>(offset));
    offset += bodies[i].size();
  }
  for (const auto& body : bodies) ico.insert(ico.end(), body.begin(), body.end());
  return ico;
}

constexpr size_t kFirstImage = 6 + 16;

TEST(DecodeIconFile, GivesTheImageTopRowFirstWithStraightAlpha) {
  const TestImage image = Numbered(2, 3, 0x80);
  const std::optional<IconImage> icon = DecodeIconFile(MakeIco({image}));
  ASSERT_TRUE(icon);
  EXPECT_EQ(icon->width, 2);
  EXPECT_EQ(icon->height, 3);
  EXPECT_EQ(icon->pixels, image.argb);
}

TEST(DecodeIconFile, ImagesWithoutAlphaShowWhereTheMaskIsClear) {
  TestImage image = Numbered(3, 2, 0);
  image.see_through = {true, false, false, false, false, true};
  const std::optional<IconImage> icon = DecodeIconFile(MakeIco({image}));
  ASSERT_TRUE(icon);
  for (size_t i = 0; i < image.argb.size(); ++i) {
    const uint32_t alpha = image.see_through[i] ? 0u : 0xFFu;
    EXPECT_EQ(icon->pixels[i], alpha << 24 | (image.argb[i] & 0xFFFFFF)) << i;
  }
}

TEST(DecodeIconFile, ChoosesTheLargestImage) {
  const TestImage small = Numbered(2, 2, 0xFF), large = Numbered(4, 4, 0xFF);
  for (const auto& images : {std::vector{small, large}, std::vector{large, small}}) {
    const std::optional<IconImage> icon = DecodeIconFile(MakeIco(images));
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->width, 4);
    EXPECT_EQ(icon->pixels, large.argb);
  }
}

TEST(DecodeIconFile, PassesOverADamagedImageToAGoodOne) {
  std::vector<uint8_t> ico = MakeIco({Numbered(4, 4, 0xFF), Numbered(2, 2, 0xFF)});
  Set32(ico, 6 + 12, 0xFFFFFF00u);  // the first entry's image lies far past the end
  const std::optional<IconImage> icon = DecodeIconFile(ico);
  ASSERT_TRUE(icon);
  EXPECT_EQ(icon->width, 2);
}

TEST(DecodeIconFile, ReadsNothingFromFilesItCannotRead) {
  const std::vector<uint8_t> good = MakeIco({Numbered(2, 2, 0xFF)});
  const struct {
    const char* name;
    std::function<void(std::vector<uint8_t>&)> damage;
  } kCases[] = {
      {"empty", [](auto& f) { f.clear(); }},
      {"directory cut short", [](auto& f) { f.resize(5); }},
      {"a cursor file", [](auto& f) { f[2] = 2; }},
      {"no images", [](auto& f) { f[4] = 0; }},
      {"entries cut short", [](auto& f) { f.resize(6 + 10); }},
      {"image past the end", [](auto& f) { Set32(f, 6 + 12, static_cast<uint32_t>(f.size())); }},
      {"image longer than the file", [](auto& f) { Set32(f, 6 + 8, 0x10000); }},
      {"24 bits per pixel", [](auto& f) { f[kFirstImage + 14] = 24; }},
      {"compressed", [](auto& f) { f[kFirstImage + 16] = 3; }},
      {"odd height field", [](auto& f) { f[kFirstImage + 8] = 5; }},
      {"zero width", [](auto& f) { Set32(f, kFirstImage + 4, 0); }},
      {"colour cut short",
       [](auto& f) {
         Set32(f, 6 + 8, 40 + 8);
         f.resize(kFirstImage + 40 + 8);
       }},
      {"a PNG image",
       [](auto& f) {
         const uint8_t png[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
         std::copy(std::begin(png), std::end(png), f.begin() + kFirstImage);
       }},
  };
  ASSERT_TRUE(DecodeIconFile(good));
  for (const auto& c : kCases) {
    std::vector<uint8_t> file = good;
    c.damage(file);
    EXPECT_FALSE(DecodeIconFile(file)) << c.name;
  }
}

TEST(LoadIconA, GivesTheProgramsIconGroupOne) {
  const HINSTANCE module = GetModuleHandleA(NULL);
  const HICON icon = LoadIconA(module, MAKEINTRESOURCEA(1));
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(LoadIconA(module, MAKEINTRESOURCEA(1)), icon);  // shared, like Windows' own

  const IconImage* image = FindIconImage(icon);
  ASSERT_NE(image, nullptr);
  ASSERT_EQ(image->width, 48);
  ASSERT_EQ(image->height, 48);
  // The picture of resources/strip.ico: its rows are stored bottom-up as B, G, R, A.
  const std::vector<uint8_t> ico = ReadFile(STRIP_ICO_PATH);
  ASSERT_EQ(ico.size(), kFirstImage + 9640);
  for (int y = 0; y < 48; ++y) {
    for (int x = 0; x < 48; ++x) {
      const uint8_t* bgra = &ico[kFirstImage + 40 + ((47 - y) * 48 + x) * 4];
      const uint32_t expected =
          uint32_t{bgra[3]} << 24 | uint32_t{bgra[2]} << 16 | uint32_t{bgra[1]} << 8 | bgra[0];
      ASSERT_EQ(image->pixels[y * 48 + x], expected) << x << "," << y;
    }
  }
}

TEST(LoadIconA, FindsNothingElse) {
  const HINSTANCE module = GetModuleHandleA(NULL);
  const struct {
    const char* name;
    HINSTANCE instance;
    LPCSTR icon;
  } kCases[] = {
      {"another icon number", module, MAKEINTRESOURCEA(2)},
      {"no module (the system's icons)", NULL, MAKEINTRESOURCEA(1)},
      {"another module", reinterpret_cast<HINSTANCE>(0x10000000), MAKEINTRESOURCEA(1)},
      {"a name, not a number", module, "STRIP"},
  };
  for (const auto& c : kCases) EXPECT_EQ(LoadIconA(c.instance, c.icon), nullptr) << c.name;
}

TEST(FindIconImage, KnowsOnlyTheIconsLoadIconAGave) {
  EXPECT_EQ(FindIconImage(nullptr), nullptr);
  EXPECT_EQ(FindIconImage(reinterpret_cast<HICON>(0x7F01)), nullptr);
  EXPECT_NE(FindIconImage(LoadIconA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(1))), nullptr);
}

}  // namespace
}  // namespace stripband::testing
