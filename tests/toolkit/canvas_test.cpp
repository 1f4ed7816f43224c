// The band's canvas composed from the decoded artwork: it is the artwork's top 50 rows, byte for
// byte, with each row's colours and alpha spread as the band is meant to look.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <vector>

#include "tests/toolkit/toolkit_test_support.h"

namespace stripband::testing {
namespace {

constexpr int kWidth = 1920;
constexpr int kCanvasHeight = 50;
constexpr int kArtworkHeight = 80;
constexpr size_t kStride = kWidth * 4;

using CanvasTest = ToolkitTest;

struct ComposedRow {
  int row;  // picture row, 0 the top edge of the band
  Bgra most_frequent;
  int count;
  int lowest_alpha, highest_alpha;
};

// Each canvas row's most frequent pixel, how many of the 1920 pixels hold it, and its alpha
// range.
const ComposedRow kComposedRows[] = {
    {0, {17, 158, 180, 181}, 1914, 179, 181},  {1, {17, 159, 182, 183}, 1341, 179, 183},
    {2, {17, 159, 181, 182}, 1341, 179, 182},  {3, {0, 28, 33, 255}, 1920, 255, 255},
    {4, {17, 158, 180, 181}, 1342, 179, 181},  {5, {17, 159, 181, 182}, 1341, 179, 182},
    {6, {17, 158, 180, 181}, 1342, 179, 181},  {7, {17, 159, 181, 182}, 1341, 179, 182},
    {8, {17, 158, 180, 181}, 1915, 179, 181},  {9, {18, 159, 181, 182}, 1341, 178, 182},
    {10, {18, 159, 181, 182}, 1341, 179, 182}, {11, {18, 158, 180, 181}, 1914, 179, 181},
    {12, {18, 158, 180, 181}, 1914, 179, 181}, {13, {18, 159, 181, 182}, 1341, 179, 182},
    {14, {18, 159, 181, 182}, 1342, 179, 182}, {15, {18, 157, 180, 181}, 1915, 178, 181},
    {16, {18, 158, 180, 181}, 1341, 178, 181}, {17, {19, 157, 179, 180}, 1341, 178, 180},
    {18, {19, 157, 179, 180}, 1342, 178, 180}, {19, {19, 156, 179, 180}, 1341, 177, 180},
    {20, {19, 156, 179, 180}, 1343, 177, 180}, {21, {19, 155, 178, 179}, 1915, 177, 179},
    {22, {19, 157, 180, 181}, 1342, 178, 181}, {23, {19, 156, 179, 180}, 1915, 178, 180},
    {24, {19, 157, 180, 181}, 1341, 178, 181}, {25, {19, 156, 179, 180}, 1915, 177, 180},
    {26, {19, 156, 179, 180}, 1915, 177, 180}, {27, {19, 156, 179, 180}, 1342, 177, 180},
    {28, {19, 155, 178, 179}, 1915, 177, 179}, {29, {19, 156, 179, 180}, 1341, 178, 180},
    {30, {19, 156, 179, 180}, 1915, 178, 180}, {31, {19, 157, 180, 181}, 1341, 178, 181},
    {32, {19, 156, 179, 180}, 1914, 177, 180}, {33, {19, 156, 179, 180}, 1915, 177, 180},
    {34, {19, 156, 179, 180}, 1341, 177, 180}, {35, {19, 156, 179, 180}, 1342, 177, 180},
    {36, {20, 155, 178, 179}, 1914, 176, 179}, {37, {20, 156, 179, 180}, 1341, 177, 180},
    {38, {20, 155, 178, 179}, 1914, 177, 179}, {39, {20, 155, 178, 179}, 1341, 176, 179},
    {40, {20, 154, 177, 178}, 1342, 176, 178}, {41, {20, 154, 177, 178}, 1341, 175, 178},
    {42, {20, 154, 176, 177}, 1915, 175, 177}, {43, {20, 154, 176, 177}, 1914, 175, 177},
    {44, {20, 154, 176, 177}, 1341, 174, 177}, {45, {20, 153, 175, 176}, 1913, 172, 176},
    {46, {19, 152, 174, 175}, 1341, 171, 175}, {47, {19, 151, 173, 174}, 1341, 171, 174},
    {48, {19, 150, 173, 174}, 1341, 171, 174}, {49, {19, 150, 172, 173}, 1914, 171, 173},
};

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
    EXPECT_EQ(most->first, expected.most_frequent);
    EXPECT_EQ(most->second, expected.count);
    EXPECT_EQ(lowest, expected.lowest_alpha);
    EXPECT_EQ(highest, expected.highest_alpha);
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
