#include "display/x11/x11_picture.h"

#include <algorithm>

namespace platform::display::x11 {
namespace {

uint32_t Scale(uint32_t sample, uint32_t constant_alpha) {
  return (sample * constant_alpha + 127) / 255;
}

// The runs of one row whose alpha is above 0, as [left, right) pairs.
std::vector<std::pair<int, int>> Runs(const Picture& picture, int row, int width) {
  std::vector<std::pair<int, int>> runs;
  const uint32_t* pixels = picture.pixels.data() + static_cast<size_t>(row) * picture.width;
  int end = std::min(width, picture.width);
  for (int x = 0; x < end;) {
    while (x < end && (pixels[x] >> 24) == 0) ++x;
    int left = x;
    while (x < end && (pixels[x] >> 24) != 0) ++x;
    if (x > left) runs.emplace_back(left, x);
  }
  return runs;
}

bool Complete(const Picture& picture) {
  return picture.width > 0 && picture.height > 0 &&
         picture.pixels.size() >= static_cast<size_t>(picture.width) * picture.height;
}

}  // namespace

void WindowRows(const Picture& picture, int width, int first_row, std::span<uint32_t> out) {
  if (width <= 0) return;
  const size_t row_count = out.size() / width;
  const bool complete = Complete(picture);
  const uint32_t ca = picture.constant_alpha;
  const int columns = complete ? std::min(width, picture.width) : 0;
  for (size_t i = 0; i < row_count; ++i) {
    const int y = first_row + static_cast<int>(i);
    uint32_t* to = out.data() + i * width;
    int x = 0;
    if (y >= 0 && y < picture.height) {
      const uint32_t* from = picture.pixels.data() + static_cast<size_t>(y) * picture.width;
      for (; x < columns; ++x) {
        uint32_t p = from[x];
        to[x] = Scale(p >> 24, ca) << 24 | Scale((p >> 16) & 0xFF, ca) << 16 |
                Scale((p >> 8) & 0xFF, ca) << 8 | Scale(p & 0xFF, ca);
      }
    }
    std::fill(to + x, to + width, 0u);
  }
}

std::vector<Rect> InputArea(const Picture& picture, int width, int height) {
  std::vector<Rect> area;
  if (!Complete(picture)) return area;
  int rows = std::min(height, picture.height);
  std::vector<std::pair<int, int>> band;
  size_t band_start = 0;  // index in `area` of the current band's first rectangle
  for (int y = 0; y < rows; ++y) {
    std::vector<std::pair<int, int>> runs = Runs(picture, y, width);
    if (y > 0 && runs == band) {
      // The same runs as the row above: the band grows by a row.
      for (size_t i = band_start; i < area.size(); ++i) area[i].bottom = y + 1;
      continue;
    }
    band = std::move(runs);
    band_start = area.size();
    for (auto [left, right] : band) area.push_back({left, y, right, y + 1});
  }
  return area;
}

}  // namespace platform::display::x11
