// stripband-screenshot OUT.png: the band as a user sees it, over a sample page of text, on
// the virtual desktop. Used for the picture in the README.
#include <cstdio>

#include "tests/support/program_run.h"

namespace {

using stripband::testing::DesktopSettings;

// A light page with lines of "text": dark strokes of varying length on a soft gradient.
std::vector<uint32_t> SamplePage(int width, int height) {
  std::vector<uint32_t> page(static_cast<size_t>(width) * height);
  unsigned seed = 12345;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7FFF; };
  for (int y = 0; y < height; ++y) {
    uint32_t shade = 0xF4 - static_cast<uint32_t>(y * 0x18 / height);
    for (int x = 0; x < width; ++x) {
      page[static_cast<size_t>(y) * width + x] = (shade << 16) | (shade << 8) | (shade + 8);
    }
  }
  for (int line = 60; line + 14 < height; line += 34) {
    for (int x = 160; x < width - 160;) {
      int word = 20 + static_cast<int>(next() % 90);
      for (int y = line; y < line + 14; ++y) {
        for (int dx = 0; dx < word && x + dx < width - 160; ++dx) {
          page[static_cast<size_t>(y) * width + x + dx] = 0x303848;
        }
      }
      x += word + 12;
    }
  }
  return page;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: stripband-screenshot OUT.png\n");
    return 2;
  }
  DesktopSettings settings;
  settings.desktop_image = SamplePage(settings.width, settings.height);
  stripband::testing::ProgramRun run(settings);
  if (!run.Screen().SavePng(argv[1])) {
    std::fprintf(stderr, "stripband-screenshot: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
