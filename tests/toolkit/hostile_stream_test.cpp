// Damaged and truncated streams: the decode never crashes, never reads past the length it is
// given, keeps only pixels it really decoded, and leaves no GDI object behind.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "tests/toolkit/toolkit_test_support.h"

namespace stripband::testing {
namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 80;

using HostileStreamTest = ToolkitTest;

uint32_t Be32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

void PutBe32(uint8_t* p, uint32_t value) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

struct ChunkSpan {
  size_t start;  // the length field
  size_t end;    // one past the CRC
};

// The chunks after the signature, up to the first that would run past the end.
std::vector<ChunkSpan> Chunks(const std::vector<uint8_t>& png) {
  std::vector<ChunkSpan> chunks;
  for (size_t at = 8; at + 12 <= png.size(); at += 12 + Be32(&png[at])) {
    if (Be32(&png[at]) > png.size() - at - 12) break;
    chunks.push_back({at, at + 12 + Be32(&png[at])});
  }
  return chunks;
}

void RepairCrcAround(std::vector<uint8_t>& png, size_t position) {
  for (const ChunkSpan& chunk : Chunks(png)) {
    if (position >= chunk.start + 4 && position < chunk.end - 4) {
      uint32_t length = static_cast<uint32_t>(chunk.end - chunk.start - 12);
      PutBe32(&png[chunk.end - 4],
              static_cast<uint32_t>(crc32(0, &png[chunk.start + 4], length + 4)));
    }
  }
}

// Bytes placed so that the last one is the last readable byte before an inaccessible page: any
// read past the end faults at once, with or without a sanitizer.
class GuardedBuffer {
 public:
  explicit GuardedBuffer(size_t capacity) {
    page_ = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    size_ = (capacity + page_ - 1) / page_ * page_ + page_;
    void* map = mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    base_ = map == MAP_FAILED ? nullptr : static_cast<uint8_t*>(map);
    if (base_) mprotect(base_ + size_ - page_, page_, PROT_NONE);
  }
  ~GuardedBuffer() {
    if (base_) munmap(base_, size_);
  }
  GuardedBuffer(const GuardedBuffer&) = delete;
  GuardedBuffer& operator=(const GuardedBuffer&) = delete;

  bool ok() const { return base_ != nullptr; }
  // Copies `length` bytes to end at the guard page and returns where they start.
  const uint8_t* Hold(const uint8_t* bytes, size_t length) {
    uint8_t* start = base_ + size_ - page_ - length;
    std::memcpy(start, bytes, length);
    return start;
  }

 private:
  uint8_t* base_ = nullptr;
  size_t size_ = 0;
  size_t page_ = 0;
};

// A stream cut short keeps the pixels it decoded; every other pixel keeps the section's initial
// zeros (no artwork pixel is all zero, so the two cannot be confused).
::testing::AssertionResult IsPartOf(const ToolkitImage* image, const std::vector<uint8_t>& whole) {
  DIBSECTION section = SectionOf(GetImageBitmap(image));
  const auto* part = static_cast<const uint8_t*>(section.dsBm.bmBits);
  const size_t stride = kWidth * 4;
  if (section.dsBm.bmWidthBytes * section.dsBm.bmHeight != static_cast<LONG>(whole.size())) {
    return ::testing::AssertionFailure() << "size differs";
  }
  static const std::vector<uint8_t> zeros(stride, 0);
  for (size_t row = 0; row < whole.size(); row += stride) {
    if (std::memcmp(&part[row], &whole[row], stride) == 0) continue;
    if (std::memcmp(&part[row], zeros.data(), stride) == 0) continue;
    for (size_t at = row; at < row + stride; at += 4) {
      uint32_t pixel, decoded;
      std::memcpy(&pixel, &part[at], 4);
      std::memcpy(&decoded, &whole[at], 4);
      if (pixel != 0 && pixel != decoded) {
        return ::testing::AssertionFailure()
               << "pixel " << (at - row) / 4 << " of memory row " << row / stride << " is "
               << std::hex << pixel << ", decoded whole it is " << decoded;
      }
    }
  }
  return ::testing::AssertionSuccess();
}

// The lengths to cut the artwork at: every one up to 2000 bytes, every one near a chunk's
// boundaries (its start, its data, its CRC), and a stride through the rest.
std::vector<size_t> CutLengths(const std::vector<uint8_t>& stream) {
  std::vector<bool> chosen(stream.size() + 1, false);
  for (size_t length = 0; length <= stream.size(); ++length) {
    chosen[length] = length <= 2000 || length % 31 == 0 || length == stream.size();
  }
  for (const ChunkSpan& chunk : Chunks(stream)) {
    for (size_t boundary : {chunk.start, chunk.start + 8, chunk.end - 4, chunk.end}) {
      for (size_t length = boundary > 24 ? boundary - 24 : 0;
           length <= std::min(boundary + 24, stream.size()); ++length) {
        chosen[length] = true;
      }
    }
  }
  std::vector<size_t> lengths;
  for (size_t length = 0; length <= stream.size(); ++length) {
    if (chosen[length]) lengths.push_back(length);
  }
  return lengths;
}

// The picture appears once the header chunks and the first IDAT's header are all there (libpng
// stops reading the header there), and from the end of the last IDAT on it is complete.
TEST_F(HostileStreamTest, TruncatedArtworkIsSafeAndKeepsOnlyDecodedPixels) {
  const std::vector<uint8_t> stream = ArtworkStream();
  const std::vector<ChunkSpan> chunks = Chunks(stream);
  ASSERT_EQ(chunks.size(), 6u) << "IHDR, pHYs, three IDATs, IEND";
  const size_t header_end = chunks[2].start + 8;
  const size_t image_data_end = chunks[4].end;

  Image whole_image = Decode(stream);
  ASSERT_TRUE(whole_image);
  const std::vector<uint8_t> whole = MemoryOf(whole_image.get());
  whole_image.reset();

  GuardedBuffer buffer(stream.size());
  ASSERT_TRUE(buffer.ok());
  const GdiCounts before = GdiCounts::Now();
  StderrCapture quiet;
  int failures = 0;
  for (size_t length : CutLengths(stream)) {
    if (failures == 5) break;
    const uint8_t* data = buffer.Hold(stream.data(), length);
    Image image(DecodeImage(data, static_cast<int>(length)));
    const bool expect_picture = length >= header_end;
    if (static_cast<bool>(image) != expect_picture) {
      ADD_FAILURE() << "length " << length << ": picture " << static_cast<bool>(image);
      ++failures;
      continue;
    }
    if (image) {
      ::testing::AssertionResult part = IsPartOf(image.get(), whole);
      if (!part || (length >= image_data_end && MemoryOf(image.get()) != whole)) {
        ADD_FAILURE() << "length " << length << ": " << (part ? "incomplete" : part.message());
        ++failures;
      }
    }
    image.reset();
    if (GdiCounts::Now() != before) {
      ADD_FAILURE() << "length " << length << " leaked: " << GdiCounts::Now();
      ++failures;
    }
  }
}

// The caller's buffer may go on past the length it gives; those bytes must not be used. The
// same length decodes exactly as a copy that ends there does.
TEST_F(HostileStreamTest, BytesPastTheGivenLengthAreNeverUsed) {
  const std::vector<uint8_t> stream = ArtworkStream();
  GuardedBuffer exact(stream.size());
  ASSERT_TRUE(exact.ok());
  StderrCapture quiet;
  for (size_t length = 0; length < stream.size(); length += length < 100 ? 1 : 397) {
    SCOPED_TRACE("length " + std::to_string(length));
    Image longer(DecodeImage(stream.data(), static_cast<int>(length)));
    Image cut(DecodeImage(exact.Hold(stream.data(), length), static_cast<int>(length)));
    ASSERT_EQ(static_cast<bool>(longer), static_cast<bool>(cut));
    if (cut) {
      ASSERT_TRUE(MemoryOf(longer.get()) == MemoryOf(cut.get()));
    }
  }
}

// Single-bit and whole-byte flips at every position of the header chunks, then through the image
// data; each once as it is (a CRC error) and once with the chunk's CRC repaired, so that the
// damage reaches the header checks, the inflater and the row filters.
TEST_F(HostileStreamTest, FlippedBytesNeverCrashAndAPictureHasItsHeadersSize) {
  const std::vector<uint8_t> stream = ArtworkStream();
  std::vector<size_t> positions;
  for (size_t at = 0; at < 70; ++at) positions.push_back(at);
  for (size_t at = 70; at < stream.size() - 20; at += 307) positions.push_back(at);
  for (size_t at = stream.size() - 20; at < stream.size(); ++at) positions.push_back(at);

  GuardedBuffer buffer(stream.size());
  ASSERT_TRUE(buffer.ok());
  const GdiCounts before = GdiCounts::Now();
  StderrCapture quiet;
  for (size_t position : positions) {
    for (uint8_t mask : {0x01, 0x04, 0x10, 0x80, 0xFF}) {
      for (bool repair : {false, true}) {
        std::vector<uint8_t> damaged = stream;
        damaged[position] ^= mask;
        if (repair) RepairCrcAround(damaged, position);
        Image image(DecodeImage(buffer.Hold(damaged.data(), damaged.size()),
                                static_cast<int>(damaged.size())));
        if (image) {
          EXPECT_EQ(static_cast<uint32_t>(GetImageWidth(image.get())), Be32(&damaged[16]))
              << "position " << position << " mask " << int{mask} << " repaired " << repair;
          EXPECT_EQ(static_cast<uint32_t>(GetImageHeight(image.get())), Be32(&damaged[20]))
              << "position " << position << " mask " << int{mask} << " repaired " << repair;
        }
        image.reset();
        ASSERT_EQ(GdiCounts::Now(), before)
            << "position " << position << " mask " << int{mask} << " repaired " << repair;
      }
    }
  }
}

// The artwork with another width or height in its IHDR (CRC repaired). Sizes are held as
// signed 16-bit numbers, so anything above 32767 must give no picture rather than wrap.
TEST_F(HostileStreamTest, AbsurdSizesGiveNoPictureAndTheLargestAllowedOnesDecode) {
  struct Case {
    uint32_t width, height;
    bool picture;
  };
  const Case cases[] = {
      {0, kHeight, false},
      {kWidth, 0, false},
      {32768, kHeight, false},
      {kWidth, 32768, false},
      {kWidth + 65536, kHeight, false},  // would wrap to 1920
      {kWidth, kHeight + 65536, false},  // would wrap to 80
      {65535, kHeight, false},           // would wrap to -1
      {0x7FFFFFFF, kHeight, false},
      {0x80000000, kHeight, false},
      {kWidth, 0xFFFFFFFF, false},
      {32767, kHeight, true},  // the image data is too short: a partial picture
      {1, 32767, true},
  };
  const std::vector<uint8_t> stream = ArtworkStream();
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
    std::vector<uint8_t> damaged = stream;
    PutBe32(&damaged[16], c.width);
    PutBe32(&damaged[20], c.height);
    RepairCrcAround(damaged, 16);
    StderrCapture quiet;
    Image image = Decode(damaged);
    quiet.Text();  // libpng's lines end here
    ASSERT_EQ(static_cast<bool>(image), c.picture);
    if (image) {
      EXPECT_EQ(GetImageWidth(image.get()), static_cast<int>(c.width));
      EXPECT_EQ(GetImageHeight(image.get()), static_cast<int>(c.height));
    }
    image.reset();
    EXPECT_EQ(GdiCounts::Now(), before_);
  }
}

// Without a PNG signature libpng is never set up, so nothing is written to stderr; a bare
// signature reaches libpng, which reports the missing header.
TEST_F(HostileStreamTest, StreamsWithoutAPngHeaderGiveNoPicture) {
  const std::vector<uint8_t> stream = ArtworkStream();
  std::vector<uint8_t> wrong_signature = stream;
  wrong_signature[1] = 'Q';
  struct Case {
    const char* what;
    const uint8_t* data;
    int length;
    bool reaches_libpng;
  };
  const Case cases[] = {
      {"no data", nullptr, 0, false},
      {"null data with a length", nullptr, 100, false},
      {"empty", stream.data(), 0, false},
      {"negative length", stream.data(), -1, false},
      {"seven bytes of the artwork", stream.data(), 7, false},
      {"wrong signature", wrong_signature.data(), static_cast<int>(wrong_signature.size()), false},
      {"signature only", stream.data(), 8, true},
      {"signature and half the IHDR", stream.data(), 20, true},
  };
  for (const Case& c : cases) {
    StderrCapture captured;
    Image image(DecodeImage(c.data, c.length));
    const std::string written = captured.Text();
    EXPECT_FALSE(image) << c.what;
    if (c.reaches_libpng) {
      EXPECT_EQ(written.rfind("libpng error: ", 0), 0u) << c.what << ": " << written;
    } else {
      EXPECT_EQ(written, "") << c.what;
    }
  }
}

}  // namespace
}  // namespace stripband::testing
