// Helpers for the image toolkit's tests: pixels as bytes, pictures that delete themselves, the
// stored artwork, and a fixture that fails a test which leaves bitmaps or DCs behind.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "gdi/gdi_objects.h"
#include "image/strip_image.h"
#include "toolkit/image_toolkit.h"

namespace stripband::testing {

// One pixel as it lies in memory: B, G, R, A.
struct Bgra {
  int b = 0, g = 0, r = 0, a = 0;
  friend bool operator==(const Bgra&, const Bgra&) = default;
  friend auto operator<=>(const Bgra&, const Bgra&) = default;
  friend std::ostream& operator<<(std::ostream& os, const Bgra& p) {
    return os << "(" << p.b << "," << p.g << "," << p.r << "," << p.a << ")";
  }
};

struct ImageDeleter {
  void operator()(ToolkitImage* image) const { DeleteImage(image); }
};
using Image = std::unique_ptr<ToolkitImage, ImageDeleter>;

inline Image Decode(const std::vector<uint8_t>& stream) {
  return Image(DecodeImage(stream.data(), static_cast<int>(stream.size())));
}

// The stored artwork with the length the program is built with.
inline std::vector<uint8_t> ArtworkStream() {
  return std::vector<uint8_t>(StripArtworkPng, StripArtworkPng + StripArtworkPngSize);
}

// The section behind a picture's bitmap; all zero when there is none.
inline DIBSECTION SectionOf(HBITMAP bitmap) {
  DIBSECTION section{};
  GetObjectA(bitmap, sizeof(section), &section);
  return section;
}

inline uint8_t* MemoryRow(const ToolkitImage* image, int memory_row) {
  DIBSECTION section = SectionOf(GetImageBitmap(image));
  return static_cast<uint8_t*>(section.dsBm.bmBits) +
         static_cast<size_t>(memory_row) * section.dsBm.bmWidthBytes;
}

inline Bgra PixelAt(const ToolkitImage* image, int memory_row, int column) {
  const uint8_t* p = MemoryRow(image, memory_row) + column * 4;
  return {p[0], p[1], p[2], p[3]};
}

// The whole pixel memory, in memory order.
inline std::vector<uint8_t> MemoryOf(const ToolkitImage* image) {
  DIBSECTION section = SectionOf(GetImageBitmap(image));
  const auto* bits = static_cast<const uint8_t*>(section.dsBm.bmBits);
  if (!bits) return {};
  return std::vector<uint8_t>(
      bits, bits + static_cast<size_t>(section.dsBm.bmWidthBytes) * section.dsBm.bmHeight);
}

// Collects what is written to stderr while it lives; libpng's default handlers write there.
class StderrCapture {
 public:
  StderrCapture() { ::testing::internal::CaptureStderr(); }
  ~StderrCapture() { Text(); }
  StderrCapture(const StderrCapture&) = delete;
  StderrCapture& operator=(const StderrCapture&) = delete;
  // Ends the capture; later calls give the same text.
  const std::string& Text() {
    if (capturing_) text_ = ::testing::internal::GetCapturedStderr();
    capturing_ = false;
    return text_;
  }

 private:
  bool capturing_ = true;
  std::string text_;
};

struct GdiCounts {
  size_t bitmaps = 0;
  size_t dcs = 0;
  static GdiCounts Now() {
    return {platform::gdi::LiveBitmaps(), platform::gdi::LiveDeviceContexts()};
  }
  friend bool operator==(const GdiCounts&, const GdiCounts&) = default;
  friend std::ostream& operator<<(std::ostream& os, const GdiCounts& c) {
    return os << c.bitmaps << " bitmaps, " << c.dcs << " DCs";
  }
};

// Every test starts and ends with the same GDI objects alive; loops check each case as well.
class ToolkitTest : public ::testing::Test {
 protected:
  void SetUp() override { before_ = GdiCounts::Now(); }
  void TearDown() override {
    EndImageDraw();  // a failed test may leave drawing open
    platform::gdi::FailNextBitmaps(0);
    EXPECT_EQ(GdiCounts::Now(), before_) << "GDI objects leaked";
  }
  GdiCounts before_;
};

}  // namespace stripband::testing
