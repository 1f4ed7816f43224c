// Picture files the build and the scripts turn into PNG: the program's icon, for Linux desktops,
// and an X server's screen dump (Xvfb -fbdir), for screenshots.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace stripband::pictures {

// Top-down rows of R, G, B, A with straight alpha.
struct RgbaImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgba;
};

// The first image of an .ico file, which must be a 32-bit BITMAPINFOHEADER image (BI_RGB,
// height field twice the image's height, colour rows bottom-up as B, G, R, A, then the AND
// mask). Nothing, with `error` saying why, for anything else.
std::optional<RgbaImage> IconImage(std::span<const uint8_t> ico, std::string* error);

// The pixels of an XWD file in ZPixmap form, 32 bits per pixel, TrueColor or DirectColor with
// 8-bit channel masks; alpha 255.
std::optional<RgbaImage> XwdImage(std::span<const uint8_t> xwd, std::string* error);

std::optional<std::vector<uint8_t>> ReadFile(const std::string& path, std::string* error);
// An 8-bit PNG, with its alpha channel or without.
bool WritePng(const std::string& path, const RgbaImage& image, bool with_alpha, std::string* error);

}  // namespace stripband::pictures
