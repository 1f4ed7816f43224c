// What the band looks like on an X desktop: its canvas's rows, and the colour Win32 shows for
// each over a desktop of one colour.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "tests/e2e/band_process.h"
#include "tests/e2e/x_desktop.h"

namespace stripband::e2e {

// The canvas's rows as stored (B, G, R, A, premultiplied), grouped where their most frequent
// pixel is the same.
struct CanvasRows {
  std::vector<int> rows;
  int b, g, r, a;
};

inline const CanvasRows kCanvas[] = {
    {{0, 4, 6, 8}, 17, 158, 180, 181},
    {{1}, 17, 159, 182, 183},
    {{2, 5, 7}, 17, 159, 181, 182},
    {{3}, 0, 28, 33, 255},
    {{9, 10, 13, 14}, 18, 159, 181, 182},
    {{11, 12, 16}, 18, 158, 180, 181},
    {{15}, 18, 157, 180, 181},
    {{17, 18}, 19, 157, 179, 180},
    {{19, 20, 23, 25, 26, 27, 29, 30, 32, 33, 34, 35}, 19, 156, 179, 180},
    {{21, 28}, 19, 155, 178, 179},
    {{22, 24, 31}, 19, 157, 180, 181},
    {{36, 38, 39}, 20, 155, 178, 179},
    {{37}, 20, 156, 179, 180},
    {{40, 41}, 20, 154, 177, 178},
    {{42, 43, 44}, 20, 154, 176, 177},
    {{45}, 20, 153, 175, 176},
    {{46}, 19, 152, 174, 175},
    {{47}, 19, 151, 173, 174},
    {{48}, 19, 150, 173, 174},
    {{49}, 19, 150, 172, 173},
};

// What Win32 shows for a premultiplied sample with the band's constant alpha of 120.
inline double Shown(int p, int a, int beneath) {
  return p * 120.0 / 255.0 + beneath * (1.0 - a * 120.0 / 65025.0);
}

inline Rgb ShownOver(const CanvasRows& rows, Rgb q) {
  return Rgb{static_cast<int>(std::lround(Shown(rows.r, rows.a, q.r))),
             static_cast<int>(std::lround(Shown(rows.g, rows.a, q.g))),
             static_cast<int>(std::lround(Shown(rows.b, rows.a, q.b)))};
}

// The most frequent colour along one screen row of the band.
inline Rgb MostFrequent(const Screen& screen, int y) {
  std::map<uint32_t, int> counts;
  for (int x = 0; x < kBandWidth; ++x) ++counts[screen.At(x, y)];
  auto best = std::max_element(counts.begin(), counts.end(),
                               [](const auto& a, const auto& b) { return a.second < b.second; });
  return Rgb::Of(best->first);
}

// Whether every row of the band shows its canvas row over a desktop of colour `q`, within 1,
// and the rows right above and below show the desktop itself; the first row that does not.
inline std::optional<int> RowNotShownOver(const Screen& screen, Rgb q) {
  if (screen.width < kBandWidth) return kBandTop;
  for (const CanvasRows& group : kCanvas) {
    for (int row : group.rows) {
      if (!Near(MostFrequent(screen, kBandTop + row), ShownOver(group, q), 1)) return row;
    }
  }
  if (MostFrequent(screen, kBandTop - 1) != q) return -1;
  if (MostFrequent(screen, kBandTop + kBandHeight) != q) return kBandHeight;
  return std::nullopt;
}

}  // namespace stripband::e2e
