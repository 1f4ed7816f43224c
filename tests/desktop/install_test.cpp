// `cmake --install` into a fresh prefix: the program, its desktop entry and its icon land where a
// Linux desktop looks for them, and say what a desktop needs.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <png.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#ifndef STRIPBAND_BUILD_DIR
#error "STRIPBAND_BUILD_DIR must name the build tree to install from"
#endif

namespace stripband::testing {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class Installed : public ::testing::Test {
 public:
  static void SetUpTestSuite() {
    char pattern[] = "/tmp/stripband-install-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    prefix_ = pattern;
    const fs::path log = prefix_ / "install.log";
    std::vector<std::string> args{STRIPBAND_CMAKE_COMMAND, "--install", STRIPBAND_BUILD_DIR,
                                  "--prefix", (prefix_ / "usr").string()};
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t child = fork();
    if (child == 0) {
      int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      dup2(out, 1);
      dup2(out, 2);
      execv(argv[0], argv.data());
      _exit(127);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ReadText(log);
  }
  static void TearDownTestSuite() {
    std::error_code ignored;
    fs::remove_all(prefix_, ignored);
  }

 protected:
  static fs::path Usr() { return prefix_ / "usr"; }

 private:
  static inline fs::path prefix_;
};

TEST_F(Installed, TheProgramIsAnExecutableInBin) {
  const fs::path program = Usr() / "bin/stripband";
  ASSERT_TRUE(fs::is_regular_file(program));
  EXPECT_EQ(access(program.c_str(), X_OK), 0);
  EXPECT_EQ(fs::file_size(program), fs::file_size(STRIPBAND_PROGRAM));
}

// The keys of the [Desktop Entry] group, and the names of the groups in order.
struct DesktopEntry {
  std::vector<std::string> groups;
  std::map<std::string, std::string> keys;
};

DesktopEntry ParseDesktopEntry(const std::string& text) {
  DesktopEntry entry;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.empty() || line[0] == '#') continue;
    if (line.front() == '[' && line.back() == ']') {
      entry.groups.push_back(line.substr(1, line.size() - 2));
    } else if (size_t equals = line.find('=');
               equals != std::string::npos && entry.groups.size() == 1) {
      entry.keys[line.substr(0, equals)] = line.substr(equals + 1);
    }
  }
  return entry;
}

TEST_F(Installed, TheDesktopEntryStartsTheProgramByNameWithItsIcon) {
  const fs::path path = Usr() / "share/applications/stripband.desktop";
  ASSERT_TRUE(fs::is_regular_file(path));
  DesktopEntry entry = ParseDesktopEntry(ReadText(path));
  ASSERT_FALSE(entry.groups.empty());
  EXPECT_EQ(entry.groups[0], "Desktop Entry");
  const std::pair<const char*, const char*> expected[] = {
      {"Type", "Application"}, {"Name", "stripband"},      {"Exec", "stripband"},
      {"Icon", "stripband"},   {"Categories", "Utility;"},
  };
  for (auto [key, value] : expected) EXPECT_EQ(entry.keys[key], value) << key;
  // The band has its own window; no terminal is opened for it.
  EXPECT_TRUE(!entry.keys.contains("Terminal") || entry.keys["Terminal"] == "false");
}

// The icon file's one image as its bytes give it: bottom-up B, G, R, A rows after a 40-byte
// header, found through the directory entry.
uint32_t IcoPixel(const std::string& ico, int x, int y, int size) {
  auto byte = [&](size_t at) { return static_cast<uint8_t>(ico.at(at)); };
  const size_t offset =
      byte(18) | byte(19) << 8 | static_cast<size_t>(byte(20)) << 16 | size_t{byte(21)} << 24;
  const size_t at = offset + 40 + (static_cast<size_t>(size - 1 - y) * size + x) * 4;
  return uint32_t{byte(at + 2)} << 24 | uint32_t{byte(at + 1)} << 16 | uint32_t{byte(at)} << 8 |
         byte(at + 3);
}

TEST_F(Installed, TheIconIsIconGroupOnesImageAsA48By48PngWithAlpha) {
  const fs::path path = Usr() / "share/icons/hicolor/48x48/apps/stripband.png";
  ASSERT_TRUE(fs::is_regular_file(path));
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_file(&png, path.c_str())) << png.message;
  EXPECT_EQ(png.width, 48u);
  EXPECT_EQ(png.height, 48u);
  EXPECT_EQ(png.format, static_cast<png_uint_32>(PNG_FORMAT_RGBA));
  png.format = PNG_FORMAT_RGBA;
  std::vector<uint8_t> rgba(PNG_IMAGE_SIZE(png));
  ASSERT_TRUE(png_image_finish_read(&png, nullptr, rgba.data(), 0, nullptr)) << png.message;
  ASSERT_EQ(png.width, 48u);

  const std::string ico = ReadText(STRIPBAND_ICON_ICO);
  int transparent = 0, opaque = 0, mismatched = 0;
  for (int y = 0; y < 48; ++y) {
    for (int x = 0; x < 48; ++x) {
      const uint8_t* p = &rgba[(static_cast<size_t>(y) * 48 + x) * 4];
      const uint32_t shown =
          uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
      mismatched += shown != IcoPixel(ico, x, y, 48);
      transparent += p[3] == 0;
      opaque += p[3] == 255;
    }
  }
  EXPECT_EQ(mismatched, 0) << "pixels that differ from the icon's";
  // A tile with rounded corners on a transparent ground.
  EXPECT_GT(transparent, 0);
  EXPECT_GT(opaque, 0);
}

}  // namespace
}  // namespace stripband::testing
