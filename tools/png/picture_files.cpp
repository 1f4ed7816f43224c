#include "tools/png/picture_files.h"

#include <png.h>

#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace stripband::pictures {
namespace {

uint32_t Little16(std::span<const uint8_t> bytes, size_t at) {
  return uint32_t{bytes[at]} | uint32_t{bytes[at + 1]} << 8;
}
uint32_t Little32(std::span<const uint8_t> bytes, size_t at) {
  return Little16(bytes, at) | Little16(bytes, at + 2) << 16;
}
uint32_t Big32(std::span<const uint8_t> bytes, size_t at) {
  return uint32_t{bytes[at]} << 24 | uint32_t{bytes[at + 1]} << 16 | uint32_t{bytes[at + 2]} << 8 |
         bytes[at + 3];
}

std::nullopt_t Fail(std::string* error, const std::string& why) {
  if (error) *error = why;
  return std::nullopt;
}

}  // namespace

std::optional<RgbaImage> IconImage(std::span<const uint8_t> ico, std::string* error) {
  // ICONDIR: reserved 0, type 1 (an icon, not a cursor), the number of images; then one
  // 16-byte ICONDIRENTRY per image.
  if (ico.size() < 6 + 16 || Little16(ico, 0) != 0 || Little16(ico, 2) != 1) {
    return Fail(error, "not an icon file");
  }
  if (Little16(ico, 4) == 0) return Fail(error, "the icon file holds no image");
  const size_t entry = 6;
  // A size byte of 0 stands for 256.
  const int entry_width = ico[entry] ? ico[entry] : 256;
  const int entry_height = ico[entry + 1] ? ico[entry + 1] : 256;
  const uint64_t length = Little32(ico, entry + 8);
  const uint64_t offset = Little32(ico, entry + 12);
  if (offset + length > ico.size()) return Fail(error, "the image lies past the end of the file");
  std::span<const uint8_t> image = ico.subspan(offset, length);

  if (image.size() < 40 || Little32(image, 0) != 40) {
    return Fail(error, "the image is not a BITMAPINFOHEADER bitmap");
  }
  const int32_t width = static_cast<int32_t>(Little32(image, 4));
  const int32_t height_field = static_cast<int32_t>(Little32(image, 8));
  if (Little16(image, 12) != 1 || Little16(image, 14) != 32) {
    return Fail(error, "the image is not 32 bits per pixel");
  }
  if (Little32(image, 16) != 0) return Fail(error, "the image is compressed (not BI_RGB)");
  // The height field counts the colour rows and the mask's.
  if (width != entry_width || height_field != 2 * entry_height) {
    return Fail(error, "the image's size disagrees with its directory entry");
  }
  const int height = entry_height;
  const uint64_t colour_bytes = uint64_t{4} * width * height;
  const uint64_t mask_bytes = uint64_t{(static_cast<uint32_t>(width) + 31) / 32 * 4} * height;
  if (image.size() < 40 + colour_bytes + mask_bytes) return Fail(error, "the image is truncated");

  RgbaImage result{.width = width, .height = height};
  result.rgba.resize(colour_bytes);
  for (int y = 0; y < height; ++y) {
    // Bottom-up rows of B, G, R, A.
    const uint8_t* row = &image[40 + uint64_t{4} * width * (height - 1 - y)];
    uint8_t* out = &result.rgba[uint64_t{4} * width * y];
    for (int x = 0; x < width; ++x, row += 4, out += 4) {
      out[0] = row[2];
      out[1] = row[1];
      out[2] = row[0];
      out[3] = row[3];
    }
  }
  return result;
}

std::optional<RgbaImage> XwdImage(std::span<const uint8_t> xwd, std::string* error) {
  // XWDFileHeader: 25 big-endian 32-bit fields, the window's name, the colour map (12 bytes
  // an entry), then the pixels.
  constexpr size_t kFields = 25;
  if (xwd.size() < kFields * 4) return Fail(error, "not an XWD file");
  auto field = [&](size_t index) { return Big32(xwd, index * 4); };
  const uint32_t header_size = field(0), version = field(1), format = field(2);
  const uint32_t width = field(4), height = field(5), byte_order = field(7);
  const uint32_t bits_per_pixel = field(11), bytes_per_line = field(12), visual_class = field(13);
  const uint32_t masks[3] = {field(14), field(15), field(16)};
  const uint32_t colours = field(19);
  constexpr uint32_t kZPixmap = 2, kTrueColor = 4, kDirectColor = 5;
  if (header_size < kFields * 4 || version != 7) return Fail(error, "not an XWD file");
  if (format != kZPixmap || bits_per_pixel != 32 ||
      (visual_class != kTrueColor && visual_class != kDirectColor)) {
    return Fail(error, "only 32-bit ZPixmap TrueColor dumps are supported");
  }
  int shifts[3];
  for (int c = 0; c < 3; ++c) {
    shifts[c] = std::countr_zero(masks[c]);
    if (masks[c] == 0 || masks[c] >> shifts[c] != 0xFF) {
      return Fail(error, "only 8-bit colour channels are supported");
    }
  }
  if (width == 0 || height == 0 || width > 1u << 15 || height > 1u << 15 ||
      bytes_per_line < width * 4) {
    return Fail(error, "the dump's size is not plausible");
  }
  const uint64_t start = uint64_t{header_size} + uint64_t{colours} * 12;
  if (start + uint64_t{bytes_per_line} * height > xwd.size()) {
    return Fail(error, "the dump is truncated");
  }

  RgbaImage result{.width = static_cast<int>(width), .height = static_cast<int>(height)};
  result.rgba.resize(uint64_t{4} * width * height);
  uint8_t* out = result.rgba.data();
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* p = &xwd[start + uint64_t{bytes_per_line} * y];
    for (uint32_t x = 0; x < width; ++x, p += 4, out += 4) {
      const uint32_t value =
          byte_order == 0  // LSBFirst
              ? uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24
              : uint32_t{p[3]} | uint32_t{p[2]} << 8 | uint32_t{p[1]} << 16 | uint32_t{p[0]} << 24;
      for (int c = 0; c < 3; ++c) out[c] = static_cast<uint8_t>(value >> shifts[c]);
      out[3] = 0xFF;
    }
  }
  return result;
}

std::optional<std::vector<uint8_t>> ReadFile(const std::string& path, std::string* error) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return Fail(error, "cannot read " + path + ": " + std::strerror(errno));
  std::vector<uint8_t> bytes;
  uint8_t buffer[65536];
  size_t count;
  while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    bytes.insert(bytes.end(), buffer, buffer + count);
  }
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) return Fail(error, "cannot read " + path);
  return bytes;
}

bool WritePng(const std::string& path, const RgbaImage& image, bool with_alpha,
              std::string* error) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    Fail(error, "cannot write " + path + ": " + std::strerror(errno));
    return false;
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  const int channels = with_alpha ? 4 : 3;
  std::vector<png_byte> row(static_cast<size_t>(image.width) * channels);
  bool ok = png && info;
  if (ok && setjmp(png_jmpbuf(png))) {
    ok = false;
  } else if (ok) {
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width),
                 static_cast<png_uint_32>(image.height), 8,
                 with_alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < image.height; ++y) {
      const uint8_t* in = &image.rgba[static_cast<size_t>(y) * image.width * 4];
      for (int x = 0; x < image.width; ++x) {
        std::memcpy(&row[static_cast<size_t>(x) * channels], in + static_cast<size_t>(x) * 4,
                    static_cast<size_t>(channels));
      }
      png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
  }
  png_destroy_write_struct(&png, &info);
  ok = std::fclose(file) == 0 && ok;
  if (!ok) {
    std::remove(path.c_str());
    Fail(error, "cannot write " + path);
  }
  return ok;
}

}  // namespace stripband::pictures
