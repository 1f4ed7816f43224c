// The band's canvas composed from the decoded artwork: it is the artwork's top 50 rows, byte for
// byte, with each row's colours and alpha spread as the band is meant to look.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <vector>

#include "tests/support/composed_rows.h"
#include "tests/toolkit/toolkit_test_support.h"

namespace stripband::testing {
namespace {

constexpr int kWidth = 1920;
constexpr int kCanvasHeight = 50;
constexpr int kArtworkHeight = 80;
constexpr size_t kStride = kWidth * 4;

using CanvasTest = ToolkitTest;

// The canvas as the program makes it: transparent, then the artwork drawn at (0, 0).
Image ComposedCanvas(ToolkitImage* artwork) {
  Image canvas(CreateStripCanvas());
  if (canvas) ComposeStripCanvas(canvas.get(), artwork);
  return canvas;
}

TEST_F(CanvasTest, IsCreatedTransparentAtTheBandsSize) {
  Image canvas(CreateStripCanvas());
  ASSERT_TRUE(canvas);
  EXPECT_EQ(GetImageWidth(canvas.get()), kWidth);
  EXPECT_EQ(GetImageHeight(canvas.get()), kCanvasHeight);
  DIBSECTION section = SectionOf(GetImageBitmap(canvas.get()));
  EXPECT_EQ(section.dsBmih.biHeight, kCanvasHeight) << "bottom-up";
  const std::vector<uint8_t> memory = MemoryOf(canvas.get());
  ASSERT_EQ(memory.size(), kStride * kCanvasHeight);
  EXPECT_TRUE(std::all_of(memory.begin(), memory.end(), [](uint8_t b) { return b == 0; }));
}

TEST_F(CanvasTest, EachRowHasItsMostFrequentPixelCountAndAlphaRange) {
  Image artwork = Decode(ArtworkStream());
  ASSERT_TRUE(artwork);
  Image canvas = ComposedCanvas(artwork.get());
  ASSERT_TRUE(canvas);
  for (const ComposedRow& expected : kComposedRows) {
    SCOPED_TRACE("picture row " + std::to_string(expected.row));
    const int memory_row = kCanvasHeight - 1 - expected.row;
    std::map<Bgra, int> counts;
    int lowest = 255, highest = 0;
    for (int column = 0; column < kWidth; ++column) {
      Bgra p = PixelAt(canvas.get(), memory_row, column);
      ++counts[p];
      lowest = std::min(lowest, p.a);
      highest = std::max(highest, p.a);
    }
    auto most = std::max_element(counts.begin(), counts.end(),
                                 [](const auto& l, const auto& r) { return l.second < r.second; });
    const auto& [b, g, r, a] = expected.bgra;
    EXPECT_EQ(most->first, (Bgra{b, g, r, a}));
    EXPECT_EQ(most->second, expected.count);
    EXPECT_EQ(lowest, expected.alpha_low);
    EXPECT_EQ(highest, expected.alpha_high);
  }
}

TEST_F(CanvasTest, TheDarkLineIsRowThreeAcrossTheWholeWidth) {
  Image artwork = Decode(ArtworkStream());
  Image canvas = ComposedCanvas(artwork.get());
  ASSERT_TRUE(canvas);
  for (int column = 0; column < kWidth; ++column) {
    ASSERT_EQ(PixelAt(canvas.get(), kCanvasHeight - 1 - 3, column), (Bgra{0, 28, 33, 255}))
        << "column " << column;
  }
}

// Both pictures are bottom-up, so the artwork's rows 50 to 79 are the first 30 in its memory and
// are the ones clipped away; canvas memory row 0 is the artwork's picture row 49.
TEST_F(CanvasTest, IsTheArtworksTopFiftyRowsByteForByte) {
  Image artwork = Decode(ArtworkStream());
  ASSERT_TRUE(artwork);
  Image canvas = ComposedCanvas(artwork.get());
  ASSERT_TRUE(canvas);
  const int artwork_row_49 = kArtworkHeight - 1 - 49;
  EXPECT_EQ(
      std::memcmp(MemoryRow(canvas.get(), 0), MemoryRow(artwork.get(), artwork_row_49), kStride), 0)
      << "canvas memory row 0 is not the artwork's picture row 49";
  EXPECT_EQ(std::memcmp(MemoryRow(canvas.get(), 0), MemoryRow(artwork.get(), artwork_row_49),
                        kStride * kCanvasHeight),
            0);
}

TEST_F(CanvasTest, StaysAllZeroWithoutArtwork) {
  Image canvas = ComposedCanvas(nullptr);
  ASSERT_TRUE(canvas);
  const std::vector<uint8_t> memory = MemoryOf(canvas.get());
  EXPECT_TRUE(std::all_of(memory.begin(), memory.end(), [](uint8_t b) { return b == 0; }));
}

// When the canvas cannot be made there is nothing to draw on; composing must not fail for it.
TEST_F(CanvasTest, NoCanvasWhenItsBitmapCannotBeMade) {
  Image artwork = Decode(ArtworkStream());
  platform::gdi::FailNextBitmaps(1);
  Image canvas = ComposedCanvas(artwork.get());
  EXPECT_FALSE(canvas);
  ComposeStripCanvas(nullptr, artwork.get());
  EXPECT_EQ(GetImageBitmap(canvas.get()), nullptr);
  EXPECT_EQ(GetImageWidth(canvas.get()), 0);
  EXPECT_EQ(GetImageHeight(canvas.get()), 0);
}

}  // namespace
}  // namespace stripband::testing
