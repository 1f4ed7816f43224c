// stripband-decode IN.png OUT.raw
//
// Decodes IN.png with the image toolkit and writes the picture's pixel memory as it lies in the
// bitmap: bottom-up rows of B, G, R, A, width × 4 bytes each. Prints WIDTHxHEIGHT and exits 0;
// exits 1, writing nothing, when the toolkit gives no picture; exits 2 after a one-line error
// for bad arguments or a file that cannot be read or written. libpng's own lines go to stderr
// as libpng writes them.
#include <windows.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <vector>

#include "toolkit/image_toolkit.h"

namespace {

const char Usage[] = "usage: stripband-decode IN.png OUT.raw\n";

bool ReadWholeFile(const char* path, std::vector<BYTE>* bytes) {
  FILE* file = std::fopen(path, "rb");
  if (!file) return false;
  BYTE buffer[65536];
  size_t count;
  while ((count = std::fread(buffer, 1, sizeof(buffer), file)) > 0) {
    bytes->insert(bytes->end(), buffer, buffer + count);
  }
  bool failed = std::ferror(file) != 0;
  int saved = errno;
  std::fclose(file);
  errno = failed && saved == 0 ? EIO : saved;
  return !failed;
}

// Writes the file completely or not at all.
bool WriteWholeFile(const char* path, const BYTE* bytes, size_t length) {
  FILE* file = std::fopen(path, "wb");
  if (!file) return false;
  bool written = std::fwrite(bytes, 1, length, file) == length;
  int saved = errno;
  if (std::fclose(file) != 0) {
    written = false;
    saved = errno;
  }
  if (!written) {
    std::remove(path);
    errno = saved ? saved : EIO;
  }
  return written;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs(Usage, stderr);
    return 2;
  }
  const char* input = argv[1];
  const char* output = argv[2];

  std::vector<BYTE> stream;
  errno = 0;
  if (!ReadWholeFile(input, &stream)) {
    std::fprintf(stderr, "stripband-decode: cannot read %s: %s\n", input, std::strerror(errno));
    return 2;
  }
  // The decode takes a signed 32-bit length.
  if (stream.size() > INT_MAX) {
    std::fprintf(stderr, "stripband-decode: %s is too large to decode\n", input);
    return 2;
  }

  ToolkitImage* image = DecodeImage(stream.data(), (int)stream.size());
  if (!image) return 1;

  int width = GetImageWidth(image);
  int height = GetImageHeight(image);
  BITMAP bitmap;
  GetObjectA(GetImageBitmap(image), sizeof(bitmap), &bitmap);
  size_t length = (size_t)bitmap.bmWidthBytes * bitmap.bmHeight;
  errno = 0;
  bool written = WriteWholeFile(output, (const BYTE*)bitmap.bmBits, length);
  DeleteImage(image);
  if (!written) {
    std::fprintf(stderr, "stripband-decode: cannot write %s: %s\n", output, std::strerror(errno));
    return 2;
  }
  std::printf("%dx%d\n", width, height);
  return 0;
}
