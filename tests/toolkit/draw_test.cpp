// Pictures made with a fill, and drawing one onto another: the straight-alpha blend in exact
// integer arithmetic, placement and clipping, and the one-target-at-a-time rule.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "tests/toolkit/toolkit_test_support.h"

namespace stripband::testing {
namespace {

using CreateImageTest = ToolkitTest;
using DrawTest = ToolkitTest;

// Pixels by picture coordinates: (0, 0) is the top-left, the last row in memory.
void SetPixel(const ToolkitImage* image, int x, int y, Bgra p) {
  uint8_t* at = MemoryRow(image, GetImageHeight(image) - 1 - y) + x * 4;
  at[0] = static_cast<uint8_t>(p.b);
  at[1] = static_cast<uint8_t>(p.g);
  at[2] = static_cast<uint8_t>(p.r);
  at[3] = static_cast<uint8_t>(p.a);
}

Bgra GetPixel(const ToolkitImage* image, int x, int y) {
  return PixelAt(image, GetImageHeight(image) - 1 - y, x);
}

Image Transparent(int width, int height) {
  return Image(CreateImage(width, height, 32 | TransparentFill));
}

bool AllBytesZero(const ToolkitImage* image) {
  for (uint8_t byte : MemoryOf(image)) {
    if (byte != 0) return false;
  }
  return true;
}

TEST_F(CreateImageTest, FillsAsTheRequestWordSays) {
  struct Case {
    DWORD request;
    bool picture;
    Bgra fill;
  };
  const Case cases[] = {
      {288, true, {0, 0, 0, 0}},          // 32 | TransparentFill
      {32, true, {0, 0, 0, 255}},         // opaque black
      {24, false, {}},                    //
      {24 | TransparentFill, false, {}},  //
      {0, false, {}},                     //
      {TransparentFill, false, {}},       //
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("request " + std::to_string(c.request));
    Image image(CreateImage(5, 3, c.request));
    ASSERT_EQ(static_cast<bool>(image), c.picture);
    if (!image) continue;
    EXPECT_EQ(GetImageWidth(image.get()), 5);
    EXPECT_EQ(GetImageHeight(image.get()), 3);
    DIBSECTION section = SectionOf(GetImageBitmap(image.get()));
    EXPECT_EQ(section.dsBmih.biHeight, 3) << "bottom-up";
    EXPECT_EQ(section.dsBm.bmBitsPixel, 32);
    for (int y = 0; y < 3; ++y) {
      for (int x = 0; x < 5; ++x) EXPECT_EQ(GetPixel(image.get(), x, y), c.fill);
    }
  }
}

TEST_F(CreateImageTest, NoPictureWithoutASizeOrWhenTheBitmapCannotBeMade) {
  EXPECT_EQ(Image(CreateImage(0, 3, 288)), nullptr);
  EXPECT_EQ(Image(CreateImage(3, 0, 288)), nullptr);
  platform::gdi::FailNextBitmaps(1);
  EXPECT_EQ(Image(CreateImage(3, 3, 288)), nullptr);
}

TEST_F(CreateImageTest, NoPictureHasANullBitmapAndNoSize) {
  EXPECT_EQ(GetImageBitmap(nullptr), nullptr);
  EXPECT_EQ(GetImageWidth(nullptr), 0);
  EXPECT_EQ(GetImageHeight(nullptr), 0);
  DeleteImage(nullptr);
}

// One source pixel drawn onto one destination pixel. The expected bytes are worked out by hand
// from new D = (S·a·255 + D·(255−a)·Ad) / ((255−a)·Ad + a·255), new Ad = (that divisor) / 255,
// a = As·k / 255, all divisions truncating.
TEST_F(DrawTest, BlendsWithStraightAlphaInExactIntegers) {
  struct Case {
    Bgra source;
    Bgra destination;
    BYTE constant_alpha;
    Bgra expected;
    const char* what;
  };
  const Case cases[] = {
      {{10, 20, 30, 40}, {9, 9, 9, 0}, 255, {10, 20, 30, 40}, "over transparent: exact copy"},
      {{200, 100, 50, 60}, {0, 0, 0, 0}, 255, {200, 100, 50, 60}, "colours above alpha kept"},
      {{255, 128, 7, 0}, {0, 0, 0, 0}, 255, {0, 0, 0, 0}, "alpha 0 over transparent"},
      {{255, 128, 7, 0}, {1, 2, 3, 4}, 255, {1, 2, 3, 4}, "alpha 0 over colour"},
      {{1, 2, 3, 255}, {200, 200, 200, 100}, 255, {1, 2, 3, 255}, "opaque replaces"},
      // weight 127·255 = 32385, divisor 65025: B 9741000/65025, G 1632000/…, R 8483850/…
      {{100, 50, 250, 128}, {200, 0, 10, 255}, 255, {149, 25, 130, 255}, "half over opaque"},
      // weight 191·128 = 24448, divisor 40768: B 4889600/…, G 6606400/…, R 1632000/…; A 40768/255
      {{0, 255, 100, 64}, {200, 100, 0, 128}, 255, {119, 162, 40, 159}, "quarter over half"},
      // 65025/509 = 127.75 and 509/255 = 1.99: truncated, not rounded
      {{255, 255, 255, 1}, {0, 0, 0, 1}, 255, {127, 127, 127, 1}, "faint over faint"},
      // a = 200·100/255 = 78
      {{255, 0, 90, 200}, {0, 0, 0, 0}, 100, {255, 0, 90, 78}, "constant alpha, transparent"},
      {{255, 0, 90, 200}, {0, 255, 90, 255}, 100, {78, 177, 90, 255}, "constant alpha, opaque"},
      {{50, 60, 70, 1}, {1, 2, 3, 4}, 254, {1, 2, 3, 4}, "constant alpha takes a to 0"},
      {{50, 60, 70, 255}, {1, 2, 3, 4}, 0, {1, 2, 3, 4}, "constant alpha 0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Image source = Transparent(1, 1);
    Image target = Transparent(1, 1);
    ASSERT_TRUE(source && target);
    SetPixel(source.get(), 0, 0, c.source);
    SetPixel(target.get(), 0, 0, c.destination);
    ASSERT_TRUE(BeginImageDraw(target.get()));
    DrawImageAlpha(GetImageBitmap(source.get()), 0, 0, c.constant_alpha);
    EndImageDraw();
    EXPECT_EQ(GetPixel(target.get(), 0, 0), c.expected);
  }
}

// Pictures as rows of letters, top row first: each letter an opaque colour of its own, '.' a
// transparent pixel.
Bgra Letter(char letter) {
  if (letter == '.') return {0, 0, 0, 0};
  return {letter, 255 - letter, letter / 2, 255};
}

Image FromLetters(const std::vector<std::string>& rows) {
  Image image = Transparent(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()));
  for (size_t y = 0; y < rows.size(); ++y) {
    for (size_t x = 0; x < rows[y].size(); ++x) {
      SetPixel(image.get(), static_cast<int>(x), static_cast<int>(y), Letter(rows[y][x]));
    }
  }
  return image;
}

std::vector<std::string> ToLetters(const ToolkitImage* image) {
  std::vector<std::string> rows;
  for (int y = 0; y < GetImageHeight(image); ++y) {
    std::string row;
    for (int x = 0; x < GetImageWidth(image); ++x) {
      Bgra p = GetPixel(image, x, y);
      char letter = '?';
      for (char c : std::string(".abcdefgh")) {
        if (Letter(c) == p) letter = c;
      }
      row += letter;
    }
    rows.push_back(row);
  }
  return rows;
}

TEST_F(DrawTest, PlacesAndClipsTheSourceInPictureCoordinates) {
  const std::vector<std::string> square = {"ab", "cd"};
  const std::vector<std::string> tall = {"ab", "cd", "ef", "gh"};
  struct Case {
    const char* what;
    const std::vector<std::string>& source;
    int x, y;
    std::vector<std::string> expected;  // on a 4 × 3 transparent target
  };
  const Case cases[] = {
      {"at the origin", square, 0, 0, {"ab..", "cd..", "...."}},
      {"inside", square, 2, 1, {"....", "..ab", "..cd"}},
      {"negative x", square, -1, 0, {"b...", "d...", "...."}},
      {"negative y", square, 0, -1, {"cd..", "....", "...."}},
      {"negative x and y", square, -1, -1, {"d...", "....", "...."}},
      {"past the right edge", square, 3, 1, {"....", "...a", "...c"}},
      {"past the bottom edge", square, 1, 2, {"....", "....", ".ab."}},
      {"taller than the target: bottom rows clipped", tall, 0, 0, {"ab..", "cd..", "ef.."}},
      {"taller, raised past the top", tall, 2, -2, {"..ef", "..gh", "...."}},
      {"taller, only its last row left", tall, 0, -3, {"gh..", "....", "...."}},
      {"entirely left", square, -2, 0, {"....", "....", "...."}},
      {"entirely right", square, 4, 0, {"....", "....", "...."}},
      {"entirely above", square, 0, -2, {"....", "....", "...."}},
      {"entirely below", square, 0, 3, {"....", "....", "...."}},
      {"at the largest x", square, INT_MAX, 0, {"....", "....", "...."}},
      {"at the largest y", square, 0, INT_MAX, {"....", "....", "...."}},
      {"at the smallest x", square, INT_MIN, 0, {"....", "....", "...."}},
      {"at the smallest y", square, 0, INT_MIN, {"....", "....", "...."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Image source = FromLetters(c.source);
    Image target = Transparent(4, 3);
    ASSERT_TRUE(source && target);
    ASSERT_TRUE(BeginImageDraw(target.get()));
    DrawImageAlpha(GetImageBitmap(source.get()), c.x, c.y, 255);
    EndImageDraw();
    EXPECT_EQ(ToLetters(target.get()), c.expected);
    source.reset();
    target.reset();
    EXPECT_EQ(GdiCounts::Now(), before_);
  }
}

TEST_F(DrawTest, HandlesThatAreNotBitmapsDrawNothing) {
  Image target = Transparent(2, 2);
  Image gone = FromLetters({"ab", "cd"});
  HBITMAP deleted = GetImageBitmap(gone.get());
  gone.reset();
  HDC dc = CreateCompatibleDC(NULL);
  struct Case {
    const char* what;
    HBITMAP handle;
  };
  for (const Case& c : {Case{"null", NULL}, Case{"a DC", reinterpret_cast<HBITMAP>(dc)},
                        Case{"a deleted bitmap", deleted}}) {
    ASSERT_TRUE(BeginImageDraw(target.get()));
    DrawImageAlpha(c.handle, 0, 0, 255);
    EndImageDraw();
    EXPECT_TRUE(AllBytesZero(target.get())) << c.what;
  }
  DeleteDC(dc);
}

TEST_F(DrawTest, DrawingNeedsAnOpenTarget) {
  Image source = FromLetters({"ab", "cd"});
  Image target = Transparent(2, 2);
  DrawImageAlpha(GetImageBitmap(source.get()), 0, 0, 255);
  EXPECT_TRUE(AllBytesZero(target.get())) << "never opened";

  ASSERT_TRUE(BeginImageDraw(target.get()));
  EndImageDraw();
  DrawImageAlpha(GetImageBitmap(source.get()), 0, 0, 255);
  EXPECT_TRUE(AllBytesZero(target.get())) << "after drawing was closed";

  EXPECT_FALSE(BeginImageDraw(nullptr));
  EndImageDraw();  // closing with nothing open does nothing
}

TEST_F(DrawTest, OneTargetAtATime) {
  Image source = FromLetters({"ab", "cd"});
  Image first = Transparent(2, 2);
  Image second = Transparent(2, 2);
  ASSERT_TRUE(BeginImageDraw(first.get()));
  EXPECT_FALSE(BeginImageDraw(second.get()));
  EXPECT_FALSE(BeginImageDraw(first.get()));
  DrawImageAlpha(GetImageBitmap(source.get()), 0, 0, 255);
  EndImageDraw();
  EXPECT_EQ(ToLetters(first.get()), (std::vector<std::string>{"ab", "cd"}));
  EXPECT_TRUE(AllBytesZero(second.get())) << "the refused target was drawn on";

  ASSERT_TRUE(BeginImageDraw(second.get())) << "closing frees the toolkit for another target";
  EndImageDraw();
}

// The open target's bitmap sits in the drawing's DC, and a bitmap lives in one DC at a time.
TEST_F(DrawTest, AnOpenTargetCannotBeSelectedElsewhereUntilClosed) {
  Image target = Transparent(2, 2);
  HBITMAP bitmap = GetImageBitmap(target.get());
  HDC dc = CreateCompatibleDC(NULL);

  ASSERT_TRUE(BeginImageDraw(target.get()));
  EXPECT_EQ(SelectObject(dc, bitmap), nullptr);
  EndImageDraw();

  HGDIOBJ previous = SelectObject(dc, bitmap);
  EXPECT_NE(previous, nullptr);
  // And the other way round: a bitmap held by another DC cannot be opened for drawing.
  const GdiCounts held = GdiCounts::Now();
  EXPECT_FALSE(BeginImageDraw(target.get()));
  EXPECT_EQ(GdiCounts::Now(), held) << "the refused drawing left its DC behind";
  SelectObject(dc, previous);
  DeleteDC(dc);
}

}  // namespace
}  // namespace stripband::testing
