// stripband-icon-png IN.ico OUT.png
//
// Writes the icon file's image (the program's icon group 1) as an RGBA PNG of the same size, for
// Linux desktops, which look for icons as PNG files. Exits 1 after a one-line error.
#include <cstdio>

#include "tools/png/picture_files.h"

int main(int argc, char** argv) {
  using namespace stripband::pictures;
  if (argc != 3) {
    std::fputs("usage: stripband-icon-png IN.ico OUT.png\n", stderr);
    return 1;
  }
  std::string error;
  auto bytes = ReadFile(argv[1], &error);
  auto image = bytes ? IconImage(*bytes, &error) : std::nullopt;
  if (!image || !WritePng(argv[2], *image, /*with_alpha=*/true, &error)) {
    std::fprintf(stderr, "stripband-icon-png: %s: %s\n", argv[1], error.c_str());
    return 1;
  }
  return 0;
}
