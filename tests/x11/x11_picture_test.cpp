// A layered picture as the X11 backend hands it to the X server: the pixels of an ARGB window
// and the window's input area.
#include <gtest/gtest.h>

#include "platform/display/x11/x11_picture.h"

namespace platform::display::x11 {
namespace {

Picture Make(int width, int height, std::vector<uint32_t> pixels, uint8_t constant_alpha) {
  return Picture{.width = width,
                 .height = height,
                 .pixels = std::move(pixels),
                 .constant_alpha = constant_alpha};
}

// The whole window, `width` × `height`, in one call.
std::vector<uint32_t> WindowPixels(const Picture& picture, int width, int height) {
  std::vector<uint32_t> pixels(static_cast<size_t>(width) * height, 0xDEADBEEF);
  WindowRows(picture, width, 0, pixels);
  return pixels;
}

struct ScaleCase {
  uint32_t stored;
  uint8_t constant_alpha;
  uint32_t shown;
};

TEST(X11Picture, EverySampleIsScaledByTheConstantAlphaRounded) {
  const ScaleCase cases[] = {
      {0xB5B49E11, 120, 0x55554A08},  // a band row: 181, 180, 158, 17
      {0xFF211C00, 120, 0x78100D00},  // the band's dark line
      {0xB5B49E11, 255, 0xB5B49E11},  // full opacity keeps the picture
      {0xB5B49E11, 0, 0x00000000},   {0x01010101, 128, 0x01010101},  // 0.502 rounds up
      {0x01010101, 127, 0x00000000},                                 // 0.498 rounds down
  };
  for (const ScaleCase& c : cases) {
    auto pixels = WindowPixels(Make(1, 1, {c.stored}, c.constant_alpha), 1, 1);
    EXPECT_EQ(pixels.at(0), c.shown)
        << std::hex << c.stored << " at " << std::dec << int{c.constant_alpha};
  }
}

TEST(X11Picture, TheWindowOutsideThePictureIsTransparent) {
  Picture picture = Make(2, 1, {0xFFFFFFFF, 0xFF000000}, 255);
  EXPECT_EQ(WindowPixels(picture, 3, 2),
            (std::vector<uint32_t>{0xFFFFFFFF, 0xFF000000, 0, 0, 0, 0}));
  EXPECT_EQ(WindowPixels(picture, 1, 1), (std::vector<uint32_t>{0xFFFFFFFF}));
  EXPECT_EQ(WindowPixels(Picture{}, 2, 1), (std::vector<uint32_t>{0, 0}));
}

TEST(X11Picture, RowsConvertedInPiecesMatchTheWholeWindow) {
  // 3 × 5 picture in a 4 × 6 window, converted two rows at a time and from odd starting rows.
  std::vector<uint32_t> stored;
  for (uint32_t i = 0; i < 15; ++i) stored.push_back(0x80000000u | i * 0x00010203u);
  Picture picture = Make(3, 5, stored, 200);
  std::vector<uint32_t> whole = WindowPixels(picture, 4, 6);
  for (int first : {0, 1, 3, 4, 5}) {
    std::vector<uint32_t> rows(4 * 2, 0xDEADBEEF);
    WindowRows(picture, 4, first, rows);
    for (int i = 0; i < 8; ++i) {
      uint32_t expected = first * 4 + i < 24 ? whole[first * 4 + i] : 0;
      EXPECT_EQ(rows[i], expected) << "from row " << first << ", pixel " << i;
    }
  }
}

struct AreaCase {
  const char* what;
  int width, height;
  const char* alpha;  // one character per pixel, rows from the top: '#' opaque, '.' alpha 0
  int window_width, window_height;
  std::vector<Rect> area;
};

Picture FromPattern(const AreaCase& c) {
  std::vector<uint32_t> pixels;
  for (const char* p = c.alpha; *p; ++p) pixels.push_back(*p == '#' ? 0x01000000 : 0x00FFFFFF);
  return Make(c.width, c.height, pixels, 120);
}

TEST(X11Picture, InputGoesWhereThePicturesOwnAlphaIsAboveZero) {
  const AreaCase cases[] = {
      {"all of it", 3, 2, "######", 3, 2, {{0, 0, 3, 2}}},
      {"none of it", 3, 2, "......", 3, 2, {}},
      {"equal rows make one band", 4, 3, ".##..##..##.", 4, 3, {{1, 0, 3, 3}}},
      {"rows that differ make bands of their own",
       4,
       3,
       "##.#"
       "##.#"
       "....",
       4,
       3,
       {{0, 0, 2, 2}, {3, 0, 4, 2}}},
      {"a hole in the middle",
       3,
       3,
       "####.####",
       3,
       3,
       {{0, 0, 3, 1}, {0, 1, 1, 2}, {2, 1, 3, 2}, {0, 2, 3, 3}}},
      {"a smaller window", 3, 2, "######", 2, 1, {{0, 0, 2, 1}}},
  };
  for (const AreaCase& c : cases) {
    EXPECT_EQ(InputArea(FromPattern(c), c.window_width, c.window_height), c.area) << c.what;
  }
}

}  // namespace
}  // namespace platform::display::x11
