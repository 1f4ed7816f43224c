// make_icon OUTPUT.ico [PREVIEW.png]
//
// Draws the program's icon and writes it as an .ico file of one 48 x 48, 32-bit image in the
// BITMAPINFOHEADER form (colour rows bottom-up as B, G, R, A with straight alpha, then the AND
// mask): a light-grey tile with rounded corners and a soft shadow under its lower edge, a pale
// bar framed in grey across its middle, and on the bar a dark double-headed arrow, left-right.
//
// Shapes are covered by 16 x 16 samples per pixel and the shadow falls off along a polynomial,
// so the output depends on nothing but this file: running it twice gives the same bytes.
//
// PREVIEW.png, when given, shows the icon enlarged over light and dark backgrounds, and at its
// own size, for a person to look at.

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kSize = 48;
constexpr int kSamples = 16;  // per axis, per pixel

struct Colour {
  double r, g, b;
};

// Premultiplied, 0..1.
struct Pixel {
  double r = 0, g = 0, b = 0, a = 0;
};

using Canvas = std::array<Pixel, kSize * kSize>;

// Lays `colour` at `alpha` over one pixel.
void Over(Pixel& dst, Colour colour, double alpha) {
  const double keep = 1.0 - alpha;
  dst.r = colour.r * alpha + dst.r * keep;
  dst.g = colour.g * alpha + dst.g * keep;
  dst.b = colour.b * alpha + dst.b * keep;
  dst.a = alpha + dst.a * keep;
}

Colour Grey(int level) { return {level / 255.0, level / 255.0, level / 255.0}; }

struct RoundedRect {
  double left, top, right, bottom, radius;

  // Negative inside, positive outside, in pixels.
  double Distance(double x, double y) const {
    const double cx = (left + right) / 2, cy = (top + bottom) / 2;
    const double qx = std::abs(x - cx) - ((right - left) / 2 - radius);
    const double qy = std::abs(y - cy) - ((bottom - top) / 2 - radius);
    const double ox = std::max(qx, 0.0), oy = std::max(qy, 0.0);
    return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0) - radius;
  }
  bool Contains(double x, double y) const { return Distance(x, y) <= 0; }
};

struct Triangle {
  double x0, y0, x1, y1, x2, y2;

  bool Contains(double x, double y) const {
    const double d0 = (x1 - x0) * (y - y0) - (y1 - y0) * (x - x0);
    const double d1 = (x2 - x1) * (y - y1) - (y2 - y1) * (x - x1);
    const double d2 = (x0 - x2) * (y - y2) - (y0 - y2) * (x - x2);
    return (d0 >= 0 && d1 >= 0 && d2 >= 0) || (d0 <= 0 && d1 <= 0 && d2 <= 0);
  }
};

// The share of pixel (px, py) that `inside` covers.
template <typename Inside>
double Coverage(int px, int py, const Inside& inside) {
  int hits = 0;
  for (int sy = 0; sy < kSamples; ++sy) {
    for (int sx = 0; sx < kSamples; ++sx) {
      if (inside(px + (sx + 0.5) / kSamples, py + (sy + 0.5) / kSamples)) ++hits;
    }
  }
  return static_cast<double>(hits) / (kSamples * kSamples);
}

// Paints every pixel the shape touches; `colour_at` may shade by the pixel's row.
template <typename Inside, typename ColourAt>
void Fill(Canvas& canvas, const Inside& inside, const ColourAt& colour_at, double opacity = 1.0) {
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      const double cover = Coverage(x, y, inside);
      if (cover > 0) Over(canvas[y * kSize + x], colour_at(y + 0.5), cover * opacity);
    }
  }
}

double SmoothStep(double edge0, double edge1, double v) {
  const double t = std::clamp((v - edge0) / (edge1 - edge0), 0.0, 1.0);
  return t * t * (3 - 2 * t);
}

// The tile, its bar and the arrow, centred on x = 24.
constexpr RoundedRect kTile{3, 3, 45, 43, 7};
constexpr RoundedRect kTileInside{4, 4, 44, 42, 6};
constexpr RoundedRect kBar{7, 16, 41, 32, 2.5};
constexpr RoundedRect kBarInside{8, 17, 40, 31, 1.5};
constexpr double kArrowY = 24;

Canvas Draw() {
  Canvas canvas{};

  // The shadow: the tile's outline lowered a little and blurred, darkest just under its edge.
  const RoundedRect shadow{kTile.left + 2, kTile.top + 4, kTile.right - 2, kTile.bottom + 2,
                           kTile.radius};
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      const double d = shadow.Distance(x + 0.5, y + 0.5);
      const double alpha = 0.45 * (1 - SmoothStep(-1.5, 2.5, d));
      if (alpha > 0) Over(canvas[y * kSize + x], Grey(0), alpha);
    }
  }

  // The tile: a grey rim, then the face, shading from light at the top to a little darker.
  const auto tile = [](double x, double y) { return kTile.Contains(x, y); };
  Fill(canvas, tile, [](double) { return Grey(150); });
  const auto face = [](double x, double y) { return kTileInside.Contains(x, y); };
  Fill(canvas, face, [](double y) {
    const double t = (y - kTileInside.top) / (kTileInside.bottom - kTileInside.top);
    return Grey(static_cast<int>(std::lround(244 - 38 * t)));
  });
  // A faint light line along the face's top edge gives the tile some depth.
  const auto highlight = [&](double x, double y) {
    return face(x, y) && !kTileInside.Contains(x, y - 1.0);
  };
  Fill(
      canvas, highlight, [](double) { return Grey(255); }, 0.8);

  // The bar: a grey frame around a pale face.
  Fill(
      canvas, [](double x, double y) { return kBar.Contains(x, y); },
      [](double) { return Grey(128); });
  Fill(
      canvas, [](double x, double y) { return kBarInside.Contains(x, y); },
      [](double) {
        return Colour{255 / 255.0, 246 / 255.0, 190 / 255.0};
      });

  // The arrow: a shaft between two heads, pointing left and right.
  const Triangle left_head{11, kArrowY, 17.5, kArrowY - 5, 17.5, kArrowY + 5};
  const Triangle right_head{37, kArrowY, 30.5, kArrowY - 5, 30.5, kArrowY + 5};
  const auto arrow = [&](double x, double y) {
    const bool shaft = x >= 16 && x <= 32 && std::abs(y - kArrowY) <= 1.25;
    return shaft || left_head.Contains(x, y) || right_head.Contains(x, y);
  };
  Fill(canvas, arrow, [](double) { return Colour{38 / 255.0, 38 / 255.0, 42 / 255.0}; });
  return canvas;
}

// Straight-alpha bytes, rounded.
struct Rgba {
  uint8_t r, g, b, a;
};

uint8_t Byte(double v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255)); }

std::vector<Rgba> Straight(const Canvas& canvas) {
  std::vector<Rgba> out;
  for (const Pixel& p : canvas) {
    const uint8_t a = Byte(p.a);
    if (a == 0) {
      out.push_back({0, 0, 0, 0});
    } else {
      out.push_back({Byte(p.r / p.a), Byte(p.g / p.a), Byte(p.b / p.a), a});
    }
  }
  return out;
}

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

std::vector<uint8_t> EncodeIco(const std::vector<Rgba>& pixels) {
  constexpr uint32_t kHeaderSize = 40;
  constexpr uint32_t kColourSize = kSize * kSize * 4;
  constexpr uint32_t kMaskStride = (kSize + 31) / 32 * 4;  // 1 bit a pixel, rows of whole DWORDs
  constexpr uint32_t kMaskSize = kMaskStride * kSize;
  constexpr uint32_t kImageSize = kHeaderSize + kColourSize + kMaskSize;
  constexpr uint32_t kImageOffset = 6 + 16;

  std::vector<uint8_t> ico;
  // ICONDIR: reserved, type 1 (icon), one image.
  Put16(ico, 0);
  Put16(ico, 1);
  Put16(ico, 1);
  // ICONDIRENTRY.
  ico.push_back(kSize);
  ico.push_back(kSize);
  ico.push_back(0);  // no palette
  ico.push_back(0);
  Put16(ico, 1);   // planes
  Put16(ico, 32);  // bits per pixel
  Put32(ico, kImageSize);
  Put32(ico, kImageOffset);
  // BITMAPINFOHEADER; the height counts the colour rows and the mask rows.
  Put32(ico, kHeaderSize);
  Put32(ico, kSize);
  Put32(ico, kSize * 2);
  Put16(ico, 1);
  Put16(ico, 32);
  Put32(ico, 0);  // BI_RGB
  Put32(ico, kColourSize + kMaskSize);
  Put32(ico, 0);
  Put32(ico, 0);
  Put32(ico, 0);
  Put32(ico, 0);
  // Colour, bottom row first.
  for (int y = kSize - 1; y >= 0; --y) {
    for (int x = 0; x < kSize; ++x) {
      const Rgba& p = pixels[y * kSize + x];
      ico.insert(ico.end(), {p.b, p.g, p.r, p.a});
    }
  }
  // The AND mask: set where nothing is drawn, for systems that ignore the alpha.
  for (int y = kSize - 1; y >= 0; --y) {
    std::vector<uint8_t> row(kMaskStride, 0);
    for (int x = 0; x < kSize; ++x) {
      if (pixels[y * kSize + x].a == 0) row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
    }
    ico.insert(ico.end(), row.begin(), row.end());
  }
  return ico;
}

// The preview: the icon 8 times enlarged over white, over a checkerboard and over dark grey,
// then at its own size over the same three.
std::vector<uint8_t> EncodePreview(const std::vector<Rgba>& pixels) {
  constexpr int kZoom = 8;
  constexpr int kGap = 16;
  constexpr int kCell = kSize * kZoom;
  constexpr int kWidth = 3 * kCell + 4 * kGap;
  constexpr int kHeight = kCell + kSize + 3 * kGap;
  const auto background = [](int panel, int x, int y) -> int {
    if (panel == 0) return 255;
    if (panel == 2) return 60;
    return ((x / 8 + y / 8) % 2) ? 204 : 153;
  };
  std::vector<uint8_t> raw;
  for (int y = 0; y < kHeight; ++y) {
    raw.push_back(0);  // filter: none
    for (int x = 0; x < kWidth; ++x) {
      int grey = 230;
      const Rgba* p = nullptr;
      for (int panel = 0; panel < 3; ++panel) {
        const int left = kGap + panel * (kCell + kGap);
        if (x >= left && x < left + kCell && y >= kGap && y < kGap + kCell) {
          grey = background(panel, x - left, y - kGap);
          p = &pixels[(y - kGap) / kZoom * kSize + (x - left) / kZoom];
        }
        const int small_top = 2 * kGap + kCell;
        if (x >= left && x < left + kSize && y >= small_top && y < small_top + kSize) {
          grey = background(panel, x - left, y - small_top);
          p = &pixels[(y - small_top) * kSize + (x - left)];
        }
      }
      uint8_t rgb[3] = {static_cast<uint8_t>(grey), static_cast<uint8_t>(grey),
                        static_cast<uint8_t>(grey)};
      if (p) {
        const uint8_t src[3] = {p->r, p->g, p->b};
        for (int c = 0; c < 3; ++c)
          rgb[c] = static_cast<uint8_t>((src[c] * p->a + grey * (255 - p->a) + 127) / 255);
      }
      raw.insert(raw.end(), rgb, rgb + 3);
    }
  }
  uLongf zsize = compressBound(static_cast<uLong>(raw.size()));
  std::vector<uint8_t> z(zsize);
  compress2(z.data(), &zsize, raw.data(), static_cast<uLong>(raw.size()), 9);
  z.resize(zsize);

  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  const auto chunk = [&png](const char* type, const std::vector<uint8_t>& data) {
    const uint32_t n = static_cast<uint32_t>(data.size());
    png.insert(png.end(), {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)});
    const size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    const uint32_t crc =
        static_cast<uint32_t>(crc32(0, png.data() + start, static_cast<uInt>(png.size() - start)));
    png.insert(png.end(),
               {uint8_t(crc >> 24), uint8_t(crc >> 16), uint8_t(crc >> 8), uint8_t(crc)});
  };
  const std::vector<uint8_t> ihdr = {0,
                                     0,
                                     uint8_t(kWidth >> 8),
                                     uint8_t(kWidth),
                                     0,
                                     0,
                                     uint8_t(kHeight >> 8),
                                     uint8_t(kHeight),
                                     8,
                                     2,
                                     0,
                                     0,
                                     0};
  chunk("IHDR", ihdr);
  chunk("IDAT", z);
  chunk("IEND", {});
  return png;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) std::fprintf(stderr, "make_icon: cannot write %s\n", path.c_str());
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: make_icon OUTPUT.ico [PREVIEW.png]\n");
    return 2;
  }
  const std::vector<Rgba> pixels = Straight(Draw());
  if (!WriteFile(argv[1], EncodeIco(pixels))) return 1;
  if (argc == 3 && !WriteFile(argv[2], EncodePreview(pixels))) return 1;
  return 0;
}
