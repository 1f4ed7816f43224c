#include <unistd.h>
#include <windows.h>

#include <climits>
#include <cstdio>

#include "gdi/gdi_objects.h"
#include "tests/fuzz/fuzz_targets.h"
#include "toolkit/image_toolkit.h"

namespace stripband::fuzz {
namespace {

constexpr int kCanvasWidth = 1920;
constexpr int kCanvasHeight = 50;

// Bytes the process holds in memory; 0 when that cannot be read.
size_t ResidentBytes() {
  FILE* statm = std::fopen("/proc/self/statm", "r");
  if (!statm) return 0;
  unsigned long total = 0, resident = 0;
  int read = std::fscanf(statm, "%lu %lu", &total, &resident);
  std::fclose(statm);
  return read == 2 ? resident * static_cast<size_t>(sysconf(_SC_PAGESIZE)) : 0;
}

// What a stream of `size` bytes can make the decode fill: zlib inflates at most about 1032
// times, and a 1-bit sample becomes 4 bytes, 32 times as many bits. Beyond that, and a generous
// allowance for libpng's own buffers, memory was committed for what the header only claims.
size_t MostMemoryFor(size_t size) { return (size_t{64} << 20) + size * 1032 * 32; }

std::string Describe(const char* what, long long value) {
  return std::string(what) + " " + std::to_string(value);
}

}  // namespace

std::string CheckDecode(const uint8_t* data, size_t size) {
  // The band's canvas, made once: the artwork is drawn onto one of these.
  static ToolkitImage* canvas = CreateImage(kCanvasWidth, kCanvasHeight, 32 | TransparentFill);
  if (!canvas) return "no canvas";
  const size_t bitmaps = platform::gdi::LiveBitmaps();
  const size_t dcs = platform::gdi::LiveDeviceContexts();
  const int length = size > INT_MAX ? INT_MAX : static_cast<int>(size);

  const size_t resident_before = ResidentBytes();
  ToolkitImage* image = DecodeImage(data, length);
  const size_t resident_after = ResidentBytes();
  std::string problem;
  if (resident_after > resident_before && resident_after - resident_before > MostMemoryFor(size)) {
    problem = Describe("the decode committed MiB:",
                       static_cast<long long>((resident_after - resident_before) >> 20));
  }
  if (image && problem.empty()) {
    const int width = GetImageWidth(image);
    const int height = GetImageHeight(image);
    DIBSECTION section{};
    if (width < 1 || width > 0x7FFF) {
      problem = Describe("width", width);
    } else if (height < 1 || height > 0x7FFF) {
      problem = Describe("height", height);
    } else if (GetObjectA(GetImageBitmap(image), sizeof(section), &section) !=
                   static_cast<int>(sizeof(section)) ||
               section.dsBm.bmBitsPixel != 32 || section.dsBm.bmBits == nullptr ||
               section.dsBm.bmWidth != width || section.dsBm.bmHeight != height) {
      problem = "the picture's bitmap is not a 32-bit section of its size";
    } else if (!BeginImageDraw(canvas)) {
      problem = "cannot draw onto the canvas";
    } else {
      DrawImageAlpha(GetImageBitmap(image), 0, 0, 255);
      EndImageDraw();
    }
  }
  DeleteImage(image);
  if (problem.empty() &&
      (platform::gdi::LiveBitmaps() != bitmaps || platform::gdi::LiveDeviceContexts() != dcs)) {
    problem = "a bitmap or DC was left behind";
  }
  return problem;
}

}  // namespace stripband::fuzz
