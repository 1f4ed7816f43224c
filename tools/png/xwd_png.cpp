// stripband-xwd-png IN.xwd OUT.png
//
// Writes an X screen dump, such as the screen file of Xvfb -fbdir (what a compositor made of the
// screen), as an RGB PNG. Exits 1 after a one-line error.
#include <cstdio>

#include "tools/png/picture_files.h"

int main(int argc, char** argv) {
  using namespace stripband::pictures;
  if (argc != 3) {
    std::fputs("usage: stripband-xwd-png IN.xwd OUT.png\n", stderr);
    return 1;
  }
  std::string error;
  auto bytes = ReadFile(argv[1], &error);
  auto image = bytes ? XwdImage(*bytes, &error) : std::nullopt;
  if (!image || !WritePng(argv[2], *image, /*with_alpha=*/false, &error)) {
    std::fprintf(stderr, "stripband-xwd-png: %s: %s\n", argv[1], error.c_str());
    return 1;
  }
  return 0;
}
