// stripband-decode run as a program: what it prints, its exit code, and the file it writes (or
// does not) for good, damaged and unreadable input and for bad arguments.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/toolkit/toolkit_test_support.h"

#ifndef STRIPBAND_DECODE_TOOL
#error "STRIPBAND_DECODE_TOOL must name the built stripband-decode"
#endif

namespace stripband::testing {
namespace {

namespace fs = std::filesystem;

struct Finished {
  int exit_code = -1;  // -1 when the tool did not exit by itself
  std::string out, err;
};

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

Finished RunTool(const std::vector<std::string>& arguments, const fs::path& folder) {
  const fs::path out_path = folder / "stdout", err_path = folder / "stderr";
  std::vector<char*> argv;
  std::string tool = STRIPBAND_DECODE_TOOL;
  argv.push_back(tool.data());
  std::vector<std::string> copies = arguments;
  for (std::string& argument : copies) argv.push_back(argument.data());
  argv.push_back(nullptr);

  pid_t child = fork();
  if (child == 0) {
    int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(out, 1);
    dup2(err, 2);
    execv(argv[0], argv.data());
    _exit(127);
  }
  Finished finished;
  int status = 0;
  if (child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status)) {
    finished.exit_code = WEXITSTATUS(status);
  }
  finished.out = ReadText(out_path);
  finished.err = ReadText(err_path);
  return finished;
}

int Lines(const std::string& text) {
  return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

class DecodeToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("stripband-decode-test-" + std::to_string(getpid()));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }
  fs::path folder_;
};

enum class Input { kArtwork, kDataDamaged, kHeaderDamaged, kSevenBytes, kMissing, kFolder };
enum class Errors { kNone, kOneLine, kLibpngError };

std::vector<uint8_t> InputBytes(Input input) {
  std::vector<uint8_t> stream = ArtworkStream();
  switch (input) {
    case Input::kDataDamaged:
      stream[stream.size() / 2] ^= 0x55;  // inside the second IDAT: its CRC no longer matches
      break;
    case Input::kHeaderDamaged:
      stream[32] ^= 0x01;  // IHDR's CRC
      break;
    case Input::kSevenBytes:
      stream.resize(7);
      break;
    default:
      break;
  }
  return stream;
}

TEST_F(DecodeToolTest, ExitCodesOutputAndMessages) {
  struct Case {
    std::vector<std::string> arguments;  // IN and OUT stand for the case's files
    Input input;
    int exit_code;
    const char* printed;
    Errors errors;
    bool writes;
    const char* what;
  };
  using enum Input;
  using enum Errors;
  const Case cases[] = {
      {{"IN", "OUT"}, kArtwork, 0, "1920x80\n", kNone, true, "the artwork"},
      {{"IN", "OUT"}, kDataDamaged, 0, "1920x80\n", kLibpngError, true, "damaged image data"},
      {{"IN", "OUT"}, kHeaderDamaged, 1, "", kLibpngError, false, "damaged header"},
      {{"IN", "OUT"}, kSevenBytes, 1, "", kNone, false, "not a PNG"},
      {{"IN", "OUT"}, kMissing, 2, "", kOneLine, false, "missing input"},
      {{"IN", "OUT"}, kFolder, 2, "", kOneLine, false, "input is a folder"},
      {{"IN", "missing/OUT"}, kArtwork, 2, "", kOneLine, false, "output in a missing folder"},
      {{}, kArtwork, 2, "", kOneLine, false, "no arguments"},
      {{"IN"}, kArtwork, 2, "", kOneLine, false, "one argument"},
      {{"IN", "OUT", "OUT"}, kArtwork, 2, "", kOneLine, false, "three arguments"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path in = folder_ / "in.png", out = folder_ / "out.raw";
    fs::remove_all(in);
    fs::remove_all(out);
    const std::vector<uint8_t> stream = InputBytes(c.input);
    if (c.input == kFolder) {
      fs::create_directory(in);
    } else if (c.input != kMissing) {
      WriteBytes(in, stream);
    }
    std::vector<std::string> arguments;
    for (const std::string& argument : c.arguments) {
      arguments.push_back(argument == "IN"    ? in.string()
                          : argument == "OUT" ? out.string()
                                              : (folder_ / argument).string());
    }

    const Finished finished = RunTool(arguments, folder_);
    EXPECT_EQ(finished.exit_code, c.exit_code);
    EXPECT_EQ(finished.out, c.printed);
    switch (c.errors) {
      case Errors::kNone:
        EXPECT_EQ(finished.err, "");
        break;
      case Errors::kOneLine:
        EXPECT_EQ(Lines(finished.err), 1) << finished.err;
        EXPECT_TRUE(!finished.err.empty() && finished.err.back() == '\n');
        EXPECT_EQ(finished.err.find("libpng"), std::string::npos) << finished.err;
        break;
      case Errors::kLibpngError:
        EXPECT_EQ(finished.err.rfind("libpng error: ", 0), 0u) << finished.err;
        EXPECT_EQ(Lines(finished.err), 1) << finished.err;
        break;
    }
    EXPECT_EQ(fs::exists(out), c.writes);
    if (!c.writes || !fs::exists(out)) continue;

    // The bitmap's memory as it lies: 80 bottom-up rows of 7680 bytes, B, G, R, A.
    const std::string raw = ReadText(out);
    ASSERT_EQ(raw.size(), 1920u * 4 * 80);
    StderrCapture quiet;
    Image image = Decode(stream);
    quiet.Text();  // libpng's lines end here
    ASSERT_TRUE(image);
    const std::vector<uint8_t> memory = MemoryOf(image.get());
    EXPECT_TRUE(std::equal(memory.begin(), memory.end(), raw.begin(),
                           [](uint8_t m, char r) { return m == static_cast<uint8_t>(r); }));
    const size_t top_row = 79 * 1920 * 4;
    EXPECT_EQ(
        Bgra({static_cast<uint8_t>(raw[top_row]), static_cast<uint8_t>(raw[top_row + 1]),
              static_cast<uint8_t>(raw[top_row + 2]), static_cast<uint8_t>(raw[top_row + 3])}),
        (Bgra{16, 156, 178, 179}))
        << "the top row's left edge, last in the file";
  }
}

}  // namespace
}  // namespace stripband::testing
