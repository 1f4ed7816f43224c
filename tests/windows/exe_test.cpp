// The Windows program as scripts/build-windows builds it, read from the executable itself: a
// 32-bit GUI program for i386 that carries its icon and manifest in US English and imports
// system DLLs only (libpng, zlib and the C++ runtime are inside). Skipped, saying so, when the
// executable has not been built.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "tests/support/file_bytes.h"
#include "tests/windows/pe_image.h"

#ifndef STRIPBAND_WINDOWS_EXE
#error "STRIPBAND_WINDOWS_EXE must name the cross-built stripband.exe"
#endif
#ifndef STRIPBAND_RESOURCES_DIR
#error "STRIPBAND_RESOURCES_DIR must name resources/"
#endif

namespace stripband::testing {
namespace {

constexpr int kRtIcon = 3;
constexpr int kRtGroupIcon = 14;
constexpr int kRtManifest = 24;
constexpr int kUsEnglish = 1033;
constexpr size_t kIconImageSize = 9640;

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

class WindowsExecutable : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(STRIPBAND_WINDOWS_EXE)) {
      GTEST_SKIP() << STRIPBAND_WINDOWS_EXE
                   << " does not exist; scripts/build-windows builds it (scripts/test runs it)";
    }
    static const std::vector<uint8_t> file = ReadFile(STRIPBAND_WINDOWS_EXE);
    static std::string error;
    static const std::optional<PeImage> parsed = ParsePeImage(file, &error);
    ASSERT_TRUE(parsed) << STRIPBAND_WINDOWS_EXE << ": " << error;
    pe_ = &*parsed;
  }

  const std::vector<uint8_t>& Resource(int type, int name) const {
    static const std::vector<uint8_t> none;
    const auto found = pe_->resources.find({type, name, kUsEnglish});
    return found == pe_->resources.end() ? none : found->second;
  }

  const PeImage* pe_ = nullptr;
};

TEST_F(WindowsExecutable, IsA32BitWindowsGuiProgramForI386) {
  constexpr uint16_t kMachineI386 = 0x014C;
  constexpr uint16_t kExecutableImage = 0x0002;
  constexpr uint16_t k32BitMachine = 0x0100;
  constexpr uint16_t kDll = 0x2000;
  constexpr uint16_t kPe32 = 0x010B;
  constexpr uint16_t kWindowsGui = 2;
  EXPECT_EQ(pe_->machine, kMachineI386);
  EXPECT_TRUE(pe_->characteristics & kExecutableImage);
  EXPECT_TRUE(pe_->characteristics & k32BitMachine);
  EXPECT_FALSE(pe_->characteristics & kDll);
  EXPECT_EQ(pe_->optional_magic, kPe32);
  EXPECT_EQ(pe_->subsystem, kWindowsGui);
}

TEST_F(WindowsExecutable, CarriesTheIconGroupTheIconAndTheManifestInUsEnglishOnly) {
  std::set<ResourceKey> keys;
  for (const auto& [key, data] : pe_->resources) keys.insert(key);
  const std::set<ResourceKey> expected = {
      {kRtIcon, 1, kUsEnglish}, {kRtGroupIcon, 1, kUsEnglish}, {kRtManifest, 1, kUsEnglish}};
  EXPECT_EQ(keys, expected);
}

TEST_F(WindowsExecutable, IconGroupOneNamesOne48By48ImageOf32BitsAsIconOne) {
  const std::vector<uint8_t>& group = Resource(kRtGroupIcon, 1);
  ASSERT_EQ(group.size(), 6u + 14u);  // GRPICONDIR and one GRPICONDIRENTRY
  EXPECT_EQ(Le16(group, 0), 0);       // reserved
  EXPECT_EQ(Le16(group, 2), 1);       // icons, not cursors
  EXPECT_EQ(Le16(group, 4), 1);       // one image
  EXPECT_EQ(group[6], 48);            // width
  EXPECT_EQ(group[7], 48);            // height
  EXPECT_EQ(group[8], 0);             // no palette
  EXPECT_EQ(Le16(group, 10), 1);      // planes
  EXPECT_EQ(Le16(group, 12), 32);     // bits per pixel
  EXPECT_EQ(Le32(group, 14), kIconImageSize);
  EXPECT_EQ(Le16(group, 18), 1);  // RT_ICON 1
}

TEST_F(WindowsExecutable, IconOneIsTheCheckedInImageWithAlphaAndMask) {
  const std::vector<uint8_t>& icon = Resource(kRtIcon, 1);
  ASSERT_EQ(icon.size(), kIconImageSize);
  EXPECT_EQ(Le32(icon, 0), 40u);  // BITMAPINFOHEADER
  EXPECT_EQ(Le32(icon, 4), 48u);
  EXPECT_EQ(Le32(icon, 8), 96u);  // colour rows and mask rows
  EXPECT_EQ(Le16(icon, 14), 32);
  EXPECT_EQ(Le32(icon, 16), 0u);  // BI_RGB

  // The image exactly as the .ico file holds it, after its 22-byte directory.
  const std::vector<uint8_t> ico = ReadFile(STRIPBAND_RESOURCES_DIR "/strip.ico");
  ASSERT_GE(ico.size(), 22 + kIconImageSize);
  EXPECT_TRUE(std::equal(icon.begin(), icon.end(), ico.begin() + 22));
}

TEST_F(WindowsExecutable, ManifestIsTheCheckedInManifest) {
  const std::vector<uint8_t>& manifest = Resource(kRtManifest, 1);
  const std::vector<uint8_t> file = ReadFile(STRIPBAND_RESOURCES_DIR "/stripband.manifest");
  ASSERT_FALSE(file.empty());
  EXPECT_EQ(std::string(manifest.begin(), manifest.end()), std::string(file.begin(), file.end()));
}

TEST_F(WindowsExecutable, ImportsOnlySystemDllsAndTheCRuntime) {
  const std::set<std::string> allowed = {"kernel32.dll", "user32.dll",   "gdi32.dll",
                                         "winmm.dll",    "comctl32.dll", "msvcrt.dll"};
  for (const PeImport& dll : pe_->imports) {
    const std::string name = Lower(dll.dll);
    EXPECT_TRUE(allowed.count(name) || name.starts_with("api-ms-win-crt-"))
        << "imports " << dll.dll;
    EXPECT_EQ(name.find("png"), std::string::npos) << "depends on a libpng DLL: " << dll.dll;
    EXPECT_EQ(name.find("zlib"), std::string::npos) << "depends on a zlib DLL: " << dll.dll;
  }
  EXPECT_EQ(pe_->delay_import_size, 0u) << "no DLL may be loaded behind the import table";
}

TEST_F(WindowsExecutable, ImportsTheAnsiCallsTheProgramMakes) {
  const struct {
    const char* dll;
    const char* function;
  } kCalls[] = {
      {"kernel32.dll", "GetModuleHandleA"},
      {"kernel32.dll", "ExitProcess"},
      {"user32.dll", "RegisterClassA"},
      {"user32.dll", "CreateWindowExA"},
      {"user32.dll", "LoadIconA"},
      {"user32.dll", "GetMessageA"},
      {"user32.dll", "DispatchMessageA"},
      {"user32.dll", "UpdateLayeredWindow"},
      {"gdi32.dll", "CreateDIBSection"},
      {"winmm.dll", "timeBeginPeriod"},
      {"comctl32.dll", "InitCommonControlsEx"},
  };
  for (const auto& call : kCalls) {
    const auto dll = std::find_if(pe_->imports.begin(), pe_->imports.end(),
                                  [&](const PeImport& i) { return Lower(i.dll) == call.dll; });
    ASSERT_TRUE(dll != pe_->imports.end()) << "no import from " << call.dll;
    EXPECT_NE(std::find(dll->functions.begin(), dll->functions.end(), call.function),
              dll->functions.end())
        << call.dll << " lacks " << call.function;
  }
}

}  // namespace
}  // namespace stripband::testing
