// PngSuite through the toolkit's decode: every valid file gives exactly the reference pixels
// (bottom-up rows, B, G, R, A, straight alpha, 16-bit samples cut to their high byte), and every
// corrupt one gives no picture or a partial one. The suite lives in shared/ beside the clone.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/file_bytes.h"
#include "tests/support/sha256.h"
#include "tests/toolkit/toolkit_test_support.h"

#ifndef STRIPBAND_SHARED_DIR
#error "STRIPBAND_SHARED_DIR must name the shared folder beside the clone"
#endif

namespace stripband::testing {
namespace {

namespace fs = std::filesystem;

const fs::path kShared = fs::path(STRIPBAND_SHARED_DIR).lexically_normal();
const fs::path kSuite = kShared / "pngsuite";

struct ManifestRow {
  std::string kind;
  int width = 0, height = 0;  // 0 when the file has no readable IHDR
  std::string digest;         // bgra8_bottomup_sha256_truncated16
};

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  std::stringstream in(line);
  std::string field;
  while (std::getline(in, field, '\t')) fields.push_back(field);
  return fields;
}

// Rows by file name; empty when the manifest cannot be read.
std::map<std::string, ManifestRow> ReadManifest() {
  std::ifstream in(kSuite / "manifest.tsv");
  std::string line;
  if (!std::getline(in, line)) return {};
  const std::vector<std::string> header = SplitTabs(line);
  auto column = [&](const char* name) {
    return std::find(header.begin(), header.end(), name) - header.begin();
  };
  const size_t file = column("file"), kind = column("kind"), width = column("width"),
               height = column("height"), digest = column("bgra8_bottomup_sha256_truncated16");
  std::map<std::string, ManifestRow> rows;
  while (std::getline(in, line)) {
    const std::vector<std::string> fields = SplitTabs(line);
    if (fields.size() != header.size()) continue;
    ManifestRow row;
    row.kind = fields[kind];
    row.width = fields[width] == "-" ? 0 : std::stoi(fields[width]);
    row.height = fields[height] == "-" ? 0 : std::stoi(fields[height]);
    row.digest = fields[digest];
    rows[fields[file]] = row;
  }
  return rows;
}

std::vector<std::string> PngFilesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() == ".png") names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class ConformanceTest : public ToolkitTest {
 protected:
  void SetUp() override {
    ToolkitTest::SetUp();
    if (!fs::is_directory(kShared)) {
      GTEST_SKIP() << "no shared folder at " << kShared.string()
                   << " (expected beside the clone): PngSuite conformance not checked";
    }
    manifest_ = ReadManifest();
    ASSERT_FALSE(manifest_.empty()) << "cannot read " << (kSuite / "manifest.tsv").string();
  }
  std::map<std::string, ManifestRow> manifest_;
};

TEST_F(ConformanceTest, ValidFilesDecodeToTheReferencePixels) {
  std::vector<std::string> files = PngFilesIn(kSuite / "valid");
  // A manifest row whose file went missing would otherwise pass unnoticed.
  for (const auto& [name, row] : manifest_) {
    if (row.kind == "valid" && !std::binary_search(files.begin(), files.end(), name)) {
      ADD_FAILURE() << name << " is in the manifest but not in valid/";
    }
  }
  for (const std::string& name : files) {
    SCOPED_TRACE(name);
    auto row = manifest_.find(name);
    ASSERT_NE(row, manifest_.end()) << "no manifest row";
    StderrCapture captured;
    Image image = Decode(ReadFile(kSuite / "valid" / name));
    const std::string written = captured.Text();
    EXPECT_EQ(written.find("libpng error"), std::string::npos) << written;
    if (!image) {
      ADD_FAILURE() << "no picture";
      continue;
    }
    EXPECT_EQ(GetImageWidth(image.get()), row->second.width);
    EXPECT_EQ(GetImageHeight(image.get()), row->second.height);
    const std::vector<uint8_t> memory = MemoryOf(image.get());
    EXPECT_EQ(Sha256Hex(memory.data(), memory.size()), row->second.digest);
    image.reset();
    EXPECT_EQ(GdiCounts::Now(), before_);
  }
}

enum class Outcome {
  kNotPng,       // the signature check fails: libpng is never set up, nothing is written
  kHeaderError,  // libpng rejects the header: no picture, one error line
  kImageError,   // libpng fails in the image data: a picture of the header's size
};

// What each file's defect must lead to, as the suite's README explains the defects.
const std::map<std::string, Outcome> kCorruptOutcomes = {
    {"xs1n0g01.png", Outcome::kNotPng},      {"xs2n0g01.png", Outcome::kNotPng},
    {"xs4n0g01.png", Outcome::kNotPng},      {"xs7n0g01.png", Outcome::kNotPng},
    {"xcrn0g04.png", Outcome::kNotPng},      {"xlfn0g04.png", Outcome::kNotPng},
    {"xhdn0g08.png", Outcome::kHeaderError}, {"xc1n0g08.png", Outcome::kHeaderError},
    {"xc9n2c08.png", Outcome::kHeaderError}, {"xd0n2c08.png", Outcome::kHeaderError},
    {"xd3n2c08.png", Outcome::kHeaderError}, {"xd9n2c08.png", Outcome::kHeaderError},
    {"xdtn0g01.png", Outcome::kHeaderError}, {"xcsn0g01.png", Outcome::kImageError},
};

int LinesStartingWith(const std::string& text, const std::string& prefix) {
  int count = 0;
  std::stringstream in(text);
  std::string line;
  while (std::getline(in, line)) count += line.rfind(prefix, 0) == 0;
  return count;
}

TEST_F(ConformanceTest, CorruptFilesGiveNoPictureOrAPartialOne) {
  for (const std::string& name : PngFilesIn(kSuite / "corrupt")) {
    SCOPED_TRACE(name);
    StderrCapture captured;
    Image image = Decode(ReadFile(kSuite / "corrupt" / name));
    const std::string written = captured.Text();
    if (image) {
      // Only the image data can have failed: the picture has the header's size.
      auto row = manifest_.find(name);
      ASSERT_NE(row, manifest_.end()) << "no manifest row";
      EXPECT_EQ(GetImageWidth(image.get()), row->second.width);
      EXPECT_EQ(GetImageHeight(image.get()), row->second.height);
    }
    auto outcome = kCorruptOutcomes.find(name);
    if (outcome != kCorruptOutcomes.end()) {
      switch (outcome->second) {
        case Outcome::kNotPng:
          EXPECT_FALSE(image);
          EXPECT_EQ(written, "");
          break;
        case Outcome::kHeaderError:
          EXPECT_FALSE(image);
          EXPECT_EQ(LinesStartingWith(written, "libpng error: "), 1) << written;
          break;
        case Outcome::kImageError:
          EXPECT_TRUE(image);
          EXPECT_EQ(LinesStartingWith(written, "libpng error: "), 1) << written;
          break;
      }
    }
    image.reset();
    EXPECT_EQ(GdiCounts::Now(), before_);
  }
}

// The digests above are only as good as the hash: the published SHA-256 examples, covering one
// block, padding that spills into a second block, and many blocks.
TEST(Sha256Test, MatchesThePublishedExamples) {
  struct Case {
    std::string message;
    const char* digest;
  };
  const Case cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Sha256Hex(c.message.data(), c.message.size()), c.digest)
        << c.message.size() << " bytes";
  }
}

}  // namespace
}  // namespace stripband::testing
