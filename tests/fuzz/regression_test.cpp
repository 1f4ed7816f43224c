// Every input a fuzzer once failed on, replayed through the same checks in every build. An
// input kept here is named after what it showed; the fuzzers also start from these.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/file_bytes.h"
#include "tests/fuzz/fuzz_targets.h"

namespace stripband::fuzz {
namespace {

using stripband::testing::ReadFile;

namespace fs = std::filesystem;

const fs::path kRegressions = STRIPBAND_FUZZ_REGRESSIONS;

std::vector<fs::path> FilesIn(const fs::path& folder) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

struct Target {
  const char* folder;
  std::string (*check)(const uint8_t*, size_t);
};

void PrintTo(const Target& target, std::ostream* os) { *os << target.folder; }

class Regressions : public ::testing::TestWithParam<Target> {};

TEST_P(Regressions, KeepEveryRule) {
  const fs::path folder = kRegressions / GetParam().folder;
  ASSERT_TRUE(fs::is_directory(folder)) << folder;
  for (const fs::path& file : FilesIn(folder)) {
    SCOPED_TRACE(file.filename().string());
    const std::vector<uint8_t> input = ReadFile(file);
    EXPECT_EQ(GetParam().check(input.data(), input.size()), "");
  }
}

INSTANTIATE_TEST_SUITE_P(Fuzzers, Regressions,
                         ::testing::Values(Target{"decode", CheckDecode},
                                           Target{"input", CheckInputSequence}),
                         [](const auto& info) { return std::string(info.param.folder); });

}  // namespace
}  // namespace stripband::fuzz
