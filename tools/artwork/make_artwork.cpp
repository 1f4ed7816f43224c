// make_artwork OUTPUT.png
//
// Writes the band's artwork: 1920 x 80 RGBA, Adam7, every scanline Paeth-filtered, one zlib
// stream at the default level split into IDAT chunks of 8192 bytes. The PNG is assembled here with
// zlib directly (not libpng's writer) so that the filter choice and the chunk split are ours.
//
// The row colours are fixed data. The texture columns and the soft left edge are chosen by a
// search driven by a fixed-seed generator, so the output is a pure function of this file (and of
// zlib's deflate): running it twice gives the same bytes.

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 80;
constexpr int kEdgeColumns = 7;  // columns 0..6
constexpr int kShownRows = 50;   // rows 0..49 reach the screen
constexpr int kLineRow = 3;      // the dark line: no edge, no texture
constexpr int kStretch = 192;    // texture density is kept even per stretch of columns
constexpr int kIdatSize = 8192;

struct Rgba {
  int r, g, b, a;
};

struct RowColour {
  Rgba plain;
  Rgba texture_delta;  // texture pixel = plain + delta
};

constexpr Rgba kSame{0, 0, 0, 0};
constexpr Rgba kRA{-1, 0, 0, -1};
constexpr Rgba kRGA{-1, -1, 0, -1};
constexpr Rgba kRGBA{-1, -1, 1, -1};
constexpr Rgba kG{0, -1, 0, 0};
constexpr Rgba kB{0, 0, 1, 0};
constexpr Rgba kRBA{-1, 0, 1, -1};

// PNG sample order R, G, B, A.
constexpr RowColour kRows[kHeight] = {
    {{180, 158, 17, 181}, kSame},  // 0
    {{182, 159, 17, 183}, kRA},    // 1
    {{181, 159, 17, 182}, kRGA},   // 2
    {{33, 28, 0, 255}, kSame},     // 3
    {{180, 158, 17, 181}, kRGA},   // 4
    {{181, 159, 17, 182}, kRGA},   // 5
    {{180, 158, 17, 181}, kRGA},   // 6
    {{181, 159, 17, 182}, kRGA},   // 7
    {{180, 158, 17, 181}, kSame},  // 8
    {{181, 159, 18, 182}, kRGA},   // 9
    {{181, 159, 18, 182}, kRGA},   // 10
    {{180, 158, 18, 181}, kSame},  // 11
    {{180, 158, 18, 181}, kSame},  // 12
    {{181, 159, 18, 182}, kRGA},   // 13
    {{181, 159, 18, 182}, kRGA},   // 14
    {{180, 157, 18, 181}, kSame},  // 15
    {{180, 158, 18, 181}, kRGBA},  // 16
    {{179, 157, 19, 180}, kRGA},   // 17
    {{179, 157, 19, 180}, kG},     // 18
    {{179, 156, 19, 180}, kRGA},   // 19
    {{179, 156, 19, 180}, kRGA},   // 20
    {{178, 155, 19, 179}, kSame},  // 21
    {{180, 157, 19, 181}, kRGA},   // 22
    {{179, 156, 19, 180}, kSame},  // 23
    {{180, 157, 19, 181}, kRGA},   // 24
    {{179, 156, 19, 180}, kSame},  // 25
    {{179, 156, 19, 180}, kSame},  // 26
    {{179, 156, 19, 180}, kRGA},   // 27
    {{178, 155, 19, 179}, kSame},  // 28
    {{179, 156, 19, 180}, kRGA},   // 29
    {{179, 156, 19, 180}, kSame},  // 30
    {{180, 157, 19, 181}, kRGA},   // 31
    {{179, 156, 19, 180}, kSame},  // 32
    {{179, 156, 19, 180}, kSame},  // 33
    {{179, 156, 19, 180}, kRGA},   // 34
    {{179, 156, 19, 180}, kRGBA},  // 35
    {{178, 155, 20, 179}, kSame},  // 36
    {{179, 156, 20, 180}, kRGA},   // 37
    {{178, 155, 20, 179}, kSame},  // 38
    {{178, 155, 20, 179}, kRGA},   // 39
    {{177, 154, 20, 178}, kB},     // 40
    {{177, 154, 20, 178}, kRA},    // 41
    {{176, 154, 20, 177}, kSame},  // 42
    {{176, 154, 20, 177}, kSame},  // 43
    {{176, 154, 20, 177}, kRGA},   // 44
    {{175, 153, 20, 176}, kSame},  // 45
    {{174, 152, 19, 175}, kRGBA},  // 46
    {{173, 151, 19, 174}, kRGBA},  // 47
    {{173, 150, 19, 174}, kRGA},   // 48
    {{172, 150, 19, 173}, kSame},  // 49
    {{171, 149, 19, 172}, kSame},  // 50
    {{170, 148, 19, 171}, kSame},  // 51
    {{170, 148, 19, 171}, kRGA},   // 52
    {{165, 143, 20, 166}, kRGA},   // 53
    {{161, 140, 20, 162}, kRGA},   // 54
    {{155, 134, 20, 156}, kRGBA},  // 55
    {{149, 129, 21, 150}, kSame},  // 56
    {{145, 125, 22, 146}, kRGA},   // 57
    {{141, 121, 22, 142}, kRBA},   // 58
    {{134, 115, 23, 135}, kSame},  // 59
    {{130, 112, 24, 131}, kSame},  // 60
    {{125, 107, 25, 126}, kSame},  // 61
    {{120, 103, 25, 121}, kSame},  // 62
    {{114, 97, 25, 115}, kSame},   // 63
    {{109, 93, 26, 110}, kRGA},    // 64
    {{104, 88, 26, 105}, kSame},   // 65
    {{99, 84, 27, 100}, kSame},    // 66
    {{94, 79, 28, 95}, kSame},     // 67
    {{88, 74, 28, 89}, kSame},     // 68
    {{83, 70, 28, 84}, kSame},     // 69
    {{81, 68, 28, 82}, kSame},     // 70
    {{80, 67, 27, 81}, kSame},     // 71
    {{79, 66, 27, 80}, kSame},     // 72
    {{79, 66, 27, 80}, kSame},     // 73
    {{77, 65, 27, 78}, kSame},     // 74
    {{76, 64, 26, 77}, kSame},     // 75
    {{75, 63, 26, 76}, kSame},     // 76
    {{73, 61, 25, 74}, kSame},     // 77
    {{73, 61, 25, 74}, kSame},     // 78
    {{71, 60, 25, 72}, kSame},     // 79
};

// For each shown row: how many of its 1920 pixels equal the plain pixel, and its lowest alpha.
// Together with the texture these pin down how many edge pixels equal the plain pixel and how
// deep the edge goes in that row.
struct ShownRow {
  int plain_count;
  int alpha_low;
};

constexpr ShownRow kShownRowTargets[kShownRows] = {
    {1914, 179},  // 0
    {1341, 179},  // 1
    {1341, 179},  // 2
    {1920, 255},  // 3
    {1342, 179},  // 4
    {1341, 179},  // 5
    {1342, 179},  // 6
    {1341, 179},  // 7
    {1915, 179},  // 8
    {1341, 178},  // 9
    {1341, 179},  // 10
    {1914, 179},  // 11
    {1914, 179},  // 12
    {1341, 179},  // 13
    {1342, 179},  // 14
    {1915, 178},  // 15
    {1341, 178},  // 16
    {1341, 178},  // 17
    {1342, 178},  // 18
    {1341, 177},  // 19
    {1343, 177},  // 20
    {1915, 177},  // 21
    {1342, 178},  // 22
    {1915, 178},  // 23
    {1341, 178},  // 24
    {1915, 177},  // 25
    {1915, 177},  // 26
    {1342, 177},  // 27
    {1915, 177},  // 28
    {1341, 178},  // 29
    {1915, 178},  // 30
    {1341, 178},  // 31
    {1914, 177},  // 32
    {1915, 177},  // 33
    {1341, 177},  // 34
    {1342, 177},  // 35
    {1914, 176},  // 36
    {1341, 177},  // 37
    {1914, 177},  // 38
    {1341, 176},  // 39
    {1342, 176},  // 40
    {1341, 175},  // 41
    {1915, 175},  // 42
    {1914, 175},  // 43
    {1341, 174},  // 44
    {1913, 172},  // 45
    {1341, 171},  // 46
    {1341, 171},  // 47
    {1341, 171},  // 48
    {1914, 171},  // 49
};

// How far an edge pixel's R and A lie below the plain pixel, per column: the range that must be
// spanned exactly and the mean (in tenths) that the column's drops must round to.
struct EdgeColumn {
  int low, high, mean_tenths;
};

struct EdgeBand {
  int first_row, last_row;  // inclusive; row 3 is skipped
  int max_blue_drop;
  std::array<EdgeColumn, kEdgeColumns> columns;
};

constexpr EdgeBand kTopBand{
    0,
    kShownRows - 1,
    2,
    {{{2, 4, 27}, {1, 3, 22}, {1, 3, 16}, {1, 3, 17}, {0, 3, 14}, {0, 1, 5}, {0, 2, 7}}}};
constexpr EdgeBand kBottomBand{
    kShownRows,
    kHeight - 1,
    3,
    {{{2, 6, 39}, {2, 5, 32}, {1, 4, 25}, {0, 3, 19}, {0, 2, 15}, {0, 1, 7}, {0, 2, 5}}}};

// Column 6 is, in a few rows per band, one step bluer than plain.
constexpr int kBluerRowsPerBand = 2;

// Top-left pixel of the band (row 0, column 0).
constexpr Rgba kCorner{178, 156, 16, 179};

// Texture columns: fixed at both ends, run lengths fixed, the rest laid out by the generator.
constexpr int kTextureCount = 572;
constexpr int kTextureHead[] = {11, 16, 19, 21, 25, 28, 31, 35, 36, 37, 40};
constexpr int kTextureTail[] = {1907, 1910, 1911, 1914, 1915, 1919};
constexpr std::array<int, 9> kRunsOfLength = {0, 286, 85, 25, 4, 2, 0, 1, 1};  // index = length
constexpr int kMinGap = 1;
constexpr int kMaxGap = 19;
constexpr int kMinPerStretch = 50;
constexpr int kMaxPerStretch = 67;

// splitmix64: tiny, and the same numbers on every platform, unlike the standard distributions.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  int Below(int n) { return static_cast<int>((Next() >> 11) % static_cast<uint64_t>(n)); }
  template <typename T>
  void Shuffle(std::vector<T>& v) {
    for (size_t i = v.size(); i > 1; --i) std::swap(v[i - 1], v[Below(static_cast<int>(i))]);
  }

 private:
  uint64_t state_;
};

[[noreturn]] void Fail(const std::string& what) { throw std::runtime_error(what); }

// Runs (start, length) of consecutive columns in a sorted list.
std::vector<std::pair<int, int>> Runs(const std::vector<int>& columns) {
  std::vector<std::pair<int, int>> runs;
  for (int c : columns) {
    if (!runs.empty() && runs.back().first + runs.back().second == c) {
      ++runs.back().second;
    } else {
      runs.push_back({c, 1});
    }
  }
  return runs;
}

// Lays the remaining runs between the fixed head and tail in shuffled order, with gaps drawn
// from a geometric-like distribution and then nudged to fill the span exactly. Repeats until the
// layout has a full-length gap and even density per stretch.
std::vector<bool> MakeTextureColumns(Random& rng) {
  const std::vector<int> head(std::begin(kTextureHead), std::end(kTextureHead));
  const std::vector<int> tail(std::begin(kTextureTail), std::end(kTextureTail));
  std::array<int, kRunsOfLength.size()> left = kRunsOfLength;
  for (const auto& fixed : {Runs(head), Runs(tail)}) {
    for (const auto& run : fixed) --left[run.second];
  }
  std::vector<int> middle_runs;
  for (size_t length = 1; length < left.size(); ++length) {
    if (left[length] < 0) Fail("fixed texture runs exceed the run counts");
    middle_runs.insert(middle_runs.end(), left[length], static_cast<int>(length));
  }
  int middle_texture = 0;
  for (int length : middle_runs) middle_texture += length;
  if (middle_texture + static_cast<int>(head.size() + tail.size()) != kTextureCount) {
    Fail("run counts do not add up to the texture column count");
  }
  // Columns strictly between head and tail; the column after the head and the one before the
  // tail stay plain so the listed end columns keep their run lengths.
  const int span = tail.front() - head.back() - 1;
  const int gaps = static_cast<int>(middle_runs.size()) + 1;
  const int gap_total = span - middle_texture;

  for (int attempt = 0; attempt < 100000; ++attempt) {
    rng.Shuffle(middle_runs);
    std::vector<int> gap(gaps);
    int sum = 0;
    for (int& g : gap) {
      g = kMinGap;
      while (g < kMaxGap && rng.Below(100) < 70) ++g;
      sum += g;
    }
    while (sum != gap_total) {
      int& g = gap[rng.Below(gaps)];
      if (sum > gap_total && g > kMinGap) {
        --g;
        --sum;
      } else if (sum < gap_total && g < kMaxGap) {
        ++g;
        ++sum;
      }
    }
    if (*std::max_element(gap.begin(), gap.end()) != kMaxGap) continue;

    std::vector<bool> texture(kWidth, false);
    for (int c : head) texture[c] = true;
    for (int c : tail) texture[c] = true;
    int column = head.back() + 1;
    for (size_t i = 0; i < middle_runs.size(); ++i) {
      column += gap[i];
      for (int k = 0; k < middle_runs[i]; ++k) texture[column++] = true;
    }
    if (column + gap.back() != tail.front()) Fail("texture layout does not fill its span");

    bool even = true;
    for (int s = 0; s < kWidth; s += kStretch) {
      const int n =
          static_cast<int>(std::count(texture.begin() + s, texture.begin() + s + kStretch, true));
      even = even && n >= kMinPerStretch && n <= kMaxPerStretch;
    }
    if (even) return texture;
  }
  Fail("no texture layout found");
}

// True when sum / n rounds to mean_tenths / 10, and not by a half-tenth tie.
bool MeanRoundsTo(int sum, int n, int mean_tenths) {
  return std::abs(20 * sum - 2 * mean_tenths * n) < n;
}

using EdgeRow = std::array<int, kEdgeColumns>;

struct RowRule {
  int max_drop = -1;    // the row's deepest drop, or -1 when free
  int min_zeros = 0;    // columns that must not drop at all
  int fixed_col0 = -1;  // drop of column 0, or -1 when free
};

EdgeRow SampleEdgeRow(Random& rng, const EdgeBand& band, const RowRule& rule) {
  for (int attempt = 0; attempt < 100000; ++attempt) {
    EdgeRow d{};
    for (int c = 0; c < kEdgeColumns; ++c) {
      const int lo = band.columns[c].low;
      const int hi =
          rule.max_drop < 0 ? band.columns[c].high : std::min(band.columns[c].high, rule.max_drop);
      if (hi < lo) Fail("edge column range and row depth cannot both hold");
      d[c] = lo + rng.Below(hi - lo + 1);
    }
    if (rule.fixed_col0 >= 0) d[0] = rule.fixed_col0;
    // Going inward the edge may lighten freely but darken by at most one step, so it reads as a
    // soft gradient rather than noise.
    bool soft = true;
    for (int c = 1; c < kEdgeColumns; ++c) soft = soft && d[c] <= d[c - 1] + 1;
    if (!soft) continue;
    const int deepest = *std::max_element(d.begin(), d.end());
    const int zeros = static_cast<int>(std::count(d.begin(), d.end(), 0));
    if ((rule.max_drop < 0 || deepest == rule.max_drop) && zeros >= rule.min_zeros) return d;
  }
  Fail("no edge row fits its rule");
}

// Distance from meeting every column's range and mean; 0 when all hold.
int EdgePenalty(const EdgeBand& band, const std::vector<EdgeRow>& rows) {
  int penalty = 0;
  const int n = static_cast<int>(rows.size());
  for (int c = 0; c < kEdgeColumns; ++c) {
    const EdgeColumn& col = band.columns[c];
    int sum = 0, lo = 99, hi = -1;
    for (const EdgeRow& d : rows) {
      sum += d[c];
      lo = std::min(lo, d[c]);
      hi = std::max(hi, d[c]);
    }
    if (!MeanRoundsTo(sum, n, col.mean_tenths))
      penalty += 1 + std::abs(10 * sum - col.mean_tenths * n) / n;
    penalty += (lo != col.low) + (hi != col.high);
  }
  return penalty;
}

// Hill climbing over whole rows: every candidate row already satisfies its own rule, so only the
// per-column statistics have to be reached.
std::vector<EdgeRow> SearchEdgeDrops(Random& rng, const EdgeBand& band,
                                     const std::vector<RowRule>& rules) {
  std::vector<EdgeRow> rows;
  for (const RowRule& rule : rules) rows.push_back(SampleEdgeRow(rng, band, rule));
  int penalty = EdgePenalty(band, rows);
  for (int step = 0; penalty > 0 && step < 1000000; ++step) {
    const int i = rng.Below(static_cast<int>(rows.size()));
    const EdgeRow before = rows[i];
    rows[i] = SampleEdgeRow(rng, band, rules[i]);
    const int candidate = EdgePenalty(band, rows);
    if (candidate <= penalty) {
      penalty = candidate;
    } else {
      rows[i] = before;
    }
  }
  if (penalty > 0) Fail("edge search did not converge");
  return rows;
}

struct EdgePixel {
  int drop;        // R and A
  int green_drop;  // drop +-1
  int blue_delta;  // negative: lowered
};

using Picture = std::vector<std::array<uint8_t, kWidth * 4>>;

bool SameAsPlain(const EdgePixel& p) {
  return p.drop == 0 && p.green_drop == 0 && p.blue_delta == 0;
}

// Edge pixels of one band, rows in band order (row 3 skipped).
std::vector<std::array<EdgePixel, kEdgeColumns>> MakeEdgeBand(Random& rng, const EdgeBand& band) {
  std::vector<int> band_rows;
  std::vector<RowRule> rules;
  for (int r = band.first_row; r <= band.last_row; ++r) {
    if (r == kLineRow) continue;
    RowRule rule;
    if (r < kShownRows) {
      const bool texture_same = kRows[r].texture_delta.r == 0 && kRows[r].texture_delta.g == 0 &&
                                kRows[r].texture_delta.b == 0 && kRows[r].texture_delta.a == 0;
      const int plain_elsewhere = kWidth - kEdgeColumns - (texture_same ? 0 : kTextureCount);
      rule.min_zeros = kShownRowTargets[r].plain_count - plain_elsewhere;
      rule.max_drop = kRows[r].plain.a - kShownRowTargets[r].alpha_low;
    }
    if (r == 0) rule.fixed_col0 = kRows[0].plain.a - kCorner.a;
    band_rows.push_back(r);
    rules.push_back(rule);
  }
  const std::vector<EdgeRow> drops = SearchEdgeDrops(rng, band, rules);

  for (int attempt = 0; attempt < 100000; ++attempt) {
    std::vector<std::array<EdgePixel, kEdgeColumns>> pixels(drops.size());
    for (size_t i = 0; i < drops.size(); ++i) {
      // Of the columns that do not drop, exactly min_zeros keep the plain pixel; the others
      // differ in G or B so the row's count of plain pixels comes out exact.
      std::vector<int> zero_columns;
      for (int c = 0; c < kEdgeColumns; ++c) {
        if (drops[i][c] == 0) zero_columns.push_back(c);
      }
      rng.Shuffle(zero_columns);
      std::array<bool, kEdgeColumns> keep_plain{};
      for (int k = 0; k < rules[i].min_zeros; ++k) keep_plain[zero_columns[k]] = true;

      for (int c = 0; c < kEdgeColumns; ++c) {
        EdgePixel& p = pixels[i][c];
        p.drop = drops[i][c];
        if (keep_plain[c]) continue;
        const int roll = rng.Below(8);
        p.green_drop = std::max(0, p.drop + (roll == 0 ? -1 : roll == 1 ? 1 : 0));
        p.blue_delta = -rng.Below(std::min(p.drop, band.max_blue_drop) + 1);
        if (SameAsPlain(p)) {
          if (rng.Below(2) == 0) {
            p.green_drop = 1;
          } else {
            p.blue_delta = -1;
          }
        }
      }
    }
    std::vector<size_t> bluer_candidates;
    for (size_t i = 0; i < drops.size(); ++i) {
      if (drops[i][kEdgeColumns - 1] > 0) bluer_candidates.push_back(i);
    }
    rng.Shuffle(bluer_candidates);
    for (int k = 0; k < kBluerRowsPerBand; ++k) {
      pixels[bluer_candidates[k]][kEdgeColumns - 1].blue_delta = 1;
    }
    if (band_rows.front() == 0) {
      pixels[0][0].green_drop = kRows[0].plain.g - kCorner.g;
      pixels[0][0].blue_delta = kCorner.b - kRows[0].plain.b;
    }
    int deepest_blue = 0;
    for (const auto& row : pixels) {
      for (const EdgePixel& p : row) deepest_blue = std::max(deepest_blue, -p.blue_delta);
    }
    if (deepest_blue == band.max_blue_drop) return pixels;
  }
  Fail("no edge colouring reaches the blue depth");
}

void Put(uint8_t* px, const Rgba& c) {
  px[0] = static_cast<uint8_t>(c.r);
  px[1] = static_cast<uint8_t>(c.g);
  px[2] = static_cast<uint8_t>(c.b);
  px[3] = static_cast<uint8_t>(c.a);
}

Picture MakePicture() {
  Random rng(0x5374726970ull);  // "Strip"
  const std::vector<bool> texture = MakeTextureColumns(rng);
  Picture picture(kHeight);
  for (int r = 0; r < kHeight; ++r) {
    const Rgba& plain = kRows[r].plain;
    const Rgba& d = kRows[r].texture_delta;
    const Rgba tex{plain.r + d.r, plain.g + d.g, plain.b + d.b, plain.a + d.a};
    for (int c = 0; c < kWidth; ++c) Put(&picture[r][c * 4], texture[c] ? tex : plain);
  }
  for (const EdgeBand* band : {&kTopBand, &kBottomBand}) {
    const auto edge = MakeEdgeBand(rng, *band);
    size_t i = 0;
    for (int r = band->first_row; r <= band->last_row; ++r) {
      if (r == kLineRow) {
        for (int c = 0; c < kEdgeColumns; ++c) Put(&picture[r][c * 4], kRows[r].plain);
        continue;
      }
      const Rgba& plain = kRows[r].plain;
      for (int c = 0; c < kEdgeColumns; ++c) {
        const EdgePixel& p = edge[i][c];
        Put(&picture[r][c * 4],
            {plain.r - p.drop, plain.g - p.green_drop, plain.b + p.blue_delta, plain.a - p.drop});
      }
      ++i;
    }
  }
  return picture;
}

int Paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return a;
  return pb <= pc ? b : c;
}

// The seven Adam7 passes, each scanline filtered with Paeth against the previous scanline of
// the same pass (zeros before the first).
std::vector<uint8_t> FilteredScanlines(const Picture& picture) {
  struct Pass {
    int x0, y0, dx, dy;
  };
  constexpr Pass kPasses[7] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                               {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
  std::vector<uint8_t> out;
  for (const Pass& pass : kPasses) {
    const int w = (kWidth - pass.x0 + pass.dx - 1) / pass.dx;
    std::vector<uint8_t> prev(w * 4, 0), cur(w * 4);
    for (int y = pass.y0; y < kHeight; y += pass.dy) {
      for (int i = 0; i < w; ++i) {
        std::copy_n(&picture[y][(pass.x0 + i * pass.dx) * 4], 4, &cur[i * 4]);
      }
      out.push_back(4);
      for (int i = 0; i < w * 4; ++i) {
        const int a = i >= 4 ? cur[i - 4] : 0;
        const int c = i >= 4 ? prev[i - 4] : 0;
        out.push_back(static_cast<uint8_t>(cur[i] - Paeth(a, prev[i], c)));
      }
      prev.swap(cur);
    }
  }
  return out;
}

std::vector<uint8_t> Deflate(const std::vector<uint8_t>& data) {
  z_stream z{};
  if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    Fail("deflateInit2 failed");
  }
  std::vector<uint8_t> out(deflateBound(&z, data.size()));
  z.next_in = const_cast<Bytef*>(data.data());
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  const int rc = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  if (rc != Z_STREAM_END) Fail("deflate did not finish");
  return out;
}

void PutBe32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

void PutChunk(std::vector<uint8_t>& png, const char type[4], const uint8_t* data, size_t size) {
  PutBe32(png, static_cast<uint32_t>(size));
  const size_t start = png.size();
  png.insert(png.end(), type, type + 4);
  png.insert(png.end(), data, data + size);
  PutBe32(png, static_cast<uint32_t>(crc32(0, png.data() + start, static_cast<uInt>(size + 4))));
}

std::vector<uint8_t> EncodePng(const Picture& picture) {
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> ihdr;
  PutBe32(ihdr, kWidth);
  PutBe32(ihdr, kHeight);
  ihdr.insert(ihdr.end(), {8, 6, 0, 0, 1});  // depth, RGBA, deflate, adaptive filters, Adam7
  PutChunk(png, "IHDR", ihdr.data(), ihdr.size());
  std::vector<uint8_t> phys;
  PutBe32(phys, 11811);  // 300 dpi
  PutBe32(phys, 11811);
  phys.push_back(1);  // per metre
  PutChunk(png, "pHYs", phys.data(), phys.size());
  const std::vector<uint8_t> z = Deflate(FilteredScanlines(picture));
  for (size_t at = 0; at < z.size(); at += kIdatSize) {
    PutChunk(png, "IDAT", z.data() + at, std::min<size_t>(kIdatSize, z.size() - at));
  }
  PutChunk(png, "IEND", nullptr, 0);
  return png;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_artwork OUTPUT.png\n");
    return 2;
  }
  try {
    const std::vector<uint8_t> png = EncodePng(MakePicture());
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    out.close();
    if (!out) {
      std::fprintf(stderr, "make_artwork: cannot write %s\n", argv[1]);
      return 1;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make_artwork: %s\n", e.what());
    return 1;
  }
  return 0;
}
