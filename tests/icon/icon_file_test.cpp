// The program's icon, resources/strip.ico, read from the file: one 48 x 48, 32-bit image in
// the BITMAPINFOHEADER form with its AND mask, and a picture that looks as an application icon
// should: a tile with soft rounded corners and a shadow beneath, opaque in the middle, a pale
// bar with a dark double-headed arrow. The generator makes the very same bytes every time.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#ifndef STRIP_ICO_PATH
#error "STRIP_ICO_PATH must name resources/strip.ico"
#endif
#ifndef MAKE_ICON_PATH
#error "MAKE_ICON_PATH must name the built generator"
#endif

#include "tests/support/file_bytes.h"

namespace stripband::testing {
namespace {

constexpr int kSide = 48;
constexpr size_t kDirectorySize = 6 + 16;
constexpr size_t kImageSize = 9640;
constexpr size_t kColourSize = 9216;
constexpr size_t kMaskStride = 8;

struct Rgba {
  int r, g, b, a;
  int Luma() const { return (299 * r + 587 * g + 114 * b) / 1000; }
};

class IconFile : public ::testing::Test {
 protected:
  void SetUp() override {
    ico_ = ReadFile(STRIP_ICO_PATH);
    ASSERT_EQ(ico_.size(), kDirectorySize + kImageSize) << STRIP_ICO_PATH;
  }

  // Picture row 0 is the top; the file stores the bottom row first.
  Rgba At(int x, int y) const {
    const size_t at = kDirectorySize + 40 + (static_cast<size_t>(kSide - 1 - y) * kSide + x) * 4;
    return {ico_.at(at + 2), ico_.at(at + 1), ico_.at(at), ico_.at(at + 3)};
  }
  bool MaskBit(int x, int y) const {
    const size_t row = kDirectorySize + 40 + kColourSize + (kSide - 1 - y) * kMaskStride;
    return (ico_.at(row + x / 8) & (0x80 >> (x % 8))) != 0;
  }

  std::vector<uint8_t> ico_;
};

TEST_F(IconFile, IsOneImageInBitmapInfoHeaderForm) {
  EXPECT_EQ(Le16(ico_, 0), 0);  // reserved
  EXPECT_EQ(Le16(ico_, 2), 1);  // an icon
  EXPECT_EQ(Le16(ico_, 4), 1);  // one image
  EXPECT_EQ(ico_[6], kSide);
  EXPECT_EQ(ico_[7], kSide);
  EXPECT_EQ(ico_[8], 0);         // no palette
  EXPECT_EQ(Le16(ico_, 10), 1);  // planes
  EXPECT_EQ(Le16(ico_, 12), 32);
  EXPECT_EQ(Le32(ico_, 14), kImageSize);
  EXPECT_EQ(Le32(ico_, 18), kDirectorySize);

  const size_t header = kDirectorySize;
  EXPECT_EQ(Le32(ico_, header), 40u);
  EXPECT_EQ(Le32(ico_, header + 4), static_cast<uint32_t>(kSide));
  EXPECT_EQ(Le32(ico_, header + 8), static_cast<uint32_t>(2 * kSide));  // colour and mask
  EXPECT_EQ(Le16(ico_, header + 12), 1);
  EXPECT_EQ(Le16(ico_, header + 14), 32);
  EXPECT_EQ(Le32(ico_, header + 16), 0u);  // BI_RGB
}

TEST_F(IconFile, MaskMarksExactlyThePixelsWithNothingDrawn) {
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      EXPECT_EQ(MaskBit(x, y), At(x, y).a == 0) << x << "," << y;
    }
  }
}

TEST_F(IconFile, CornersAreRoundedWithPartialAlpha) {
  // Along each diagonal from a corner of the icon toward its centre, the alpha rises from
  // nothing to opaque through values in between: a smooth, rounded edge.
  const struct {
    int x, y, dx, dy;
  } kCorners[] = {
      {0, 0, 1, 1}, {kSide - 1, 0, -1, 1}, {0, kSide - 1, 1, -1}, {kSide - 1, kSide - 1, -1, -1}};
  for (const auto& corner : kCorners) {
    SCOPED_TRACE(::testing::Message() << "corner " << corner.x << "," << corner.y);
    EXPECT_EQ(At(corner.x, corner.y).a, 0);
    int partial = 0;
    bool opaque = false;
    for (int step = 0; step < kSide / 2 && !opaque; ++step) {
      const int a = At(corner.x + step * corner.dx, corner.y + step * corner.dy).a;
      if (a > 0 && a < 255) ++partial;
      opaque = a == 255;
    }
    EXPECT_TRUE(opaque);
    EXPECT_GE(partial, 1);
  }
}

TEST_F(IconFile, MiddleIsOpaque) {
  for (int y = 14; y < 34; ++y) {
    for (int x = 10; x < 38; ++x) EXPECT_EQ(At(x, y).a, 255) << x << "," << y;
  }
}

TEST_F(IconFile, TileIsLightGreyAndDarkerTowardTheBottom) {
  // A column of the tile's face beside the bar.
  const int x = 5;
  long upper = 0, lower = 0;
  int upper_count = 0, lower_count = 0;
  for (int y = 0; y < kSide; ++y) {
    const Rgba p = At(x, y);
    if (p.a != 255) continue;
    EXPECT_LE(std::abs(p.r - p.g) + std::abs(p.g - p.b), 6) << "grey at y " << y;
    if (y < 16) upper += p.Luma(), ++upper_count;
    if (y > 32) lower += p.Luma(), ++lower_count;
  }
  ASSERT_GT(upper_count, 0);
  ASSERT_GT(lower_count, 0);
  EXPECT_GE(upper / upper_count, 200);
  EXPECT_GT(upper / upper_count, lower / lower_count + 10);
}

TEST_F(IconFile, ShadowLiesUnderTheLowerEdgeOnly) {
  const int x = kSide / 2;
  int top = 0, bottom = kSide - 1;
  while (top < kSide && At(x, top).a != 255) ++top;
  while (bottom >= 0 && At(x, bottom).a != 255) --bottom;
  ASSERT_LT(top, bottom);
  for (int y = 0; y < top; ++y) EXPECT_EQ(At(x, y).a, 0) << "above the tile at y " << y;
  // Just under the tile: dark and partly transparent, fading out downward.
  const Rgba under = At(x, bottom + 1);
  EXPECT_GT(under.a, 0);
  EXPECT_LT(under.a, 255);
  EXPECT_LT(under.Luma(), 80);
  EXPECT_LT(At(x, bottom + 3).a, under.a);
}

TEST_F(IconFile, DarkArrowOnAPaleBarFramedInGrey) {
  const int x = kSide / 2, centre = kSide / 2;
  const Rgba arrow = At(x, centre);
  EXPECT_LT(arrow.Luma(), 70);
  // Upward from the arrow: the pale bar, then its grey frame, then the tile.
  int y = centre;
  while (y > 0 && At(x, y).Luma() < 128) --y;
  const Rgba bar = At(x, y - 1);
  EXPECT_GE(bar.Luma(), 200);
  EXPECT_GT(bar.Luma() - arrow.Luma(), 150);
  --y;
  while (y > 0 && At(x, y).Luma() >= bar.Luma() - 20) --y;
  const Rgba frame = At(x, y);
  const Rgba tile = At(x, y - 3);
  EXPECT_LT(frame.Luma(), bar.Luma() - 60);
  EXPECT_LT(frame.Luma(), tile.Luma() - 60);
  EXPECT_LE(std::abs(frame.r - frame.g) + std::abs(frame.g - frame.b), 6);
}

TEST_F(IconFile, ArrowHasAHeadAtEachEnd) {
  // Dark pixels per column: the shaft is thin, each head taller than it.
  const auto dark = [&](int x) {
    int n = 0;
    for (int y = 0; y < kSide; ++y) n += At(x, y).a == 255 && At(x, y).Luma() < 100;
    return n;
  };
  const int shaft = dark(kSide / 2);
  EXPECT_GE(shaft, 1);
  int left = 0, right = 0;
  for (int x = 0; x < kSide / 2 - 4; ++x) left = std::max(left, dark(x));
  for (int x = kSide / 2 + 4; x < kSide; ++x) right = std::max(right, dark(x));
  EXPECT_GE(left, shaft + 4);
  EXPECT_GE(right, shaft + 4);
  EXPECT_EQ(left, right);  // pointing both ways alike
}

TEST(IconGenerator, WritesTheCheckedInBytesEveryTime) {
  const std::vector<uint8_t> stored = ReadFile(STRIP_ICO_PATH);
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("stripband-icon-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  for (int run = 0; run < 2; ++run) {
    const std::filesystem::path out = dir / ("strip" + std::to_string(run) + ".ico");
    const std::string command = std::string("'") + MAKE_ICON_PATH + "' '" + out.string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    EXPECT_TRUE(ReadFile(out.string()) == stored) << "run " << run;
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace stripband::testing
