// A picture of the screen as read back from a desktop.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace stripband::testing {

struct ScreenImage {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;  // 0xRRGGBB, top row first

  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
  static int Red(uint32_t pixel) { return static_cast<int>((pixel >> 16) & 0xFF); }
  static int Green(uint32_t pixel) { return static_cast<int>((pixel >> 8) & 0xFF); }
  static int Blue(uint32_t pixel) { return static_cast<int>(pixel & 0xFF); }

  // Writes an 8-bit RGB PNG; false when the file cannot be written.
  bool SavePng(const std::string& path) const;
};

}  // namespace stripband::testing
