// The program's resources as the layer finds them, and the icons LoadIconA makes of them.
//
// On Windows, resources live in the executable's resource section. Here the program's build
// lays them into the program with add_win32_resources() (platform/win32_resources.cmake),
// which defines kModuleResources; a program built without any has none, and LoadIconA then
// finds nothing, as Windows would.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace platform::user {

// Resource types, numbered as Windows numbers them. An icon group is kept as the .ico file it
// was made from, which holds both the group's directory and its images.
constexpr uint16_t kIconGroupResource = 14;  // RT_GROUP_ICON

struct ModuleResource {
  uint16_t type;
  uint16_t id;
  const unsigned char* data;
  const int* size;  // a pointer, so that the table needs no dynamic initialisation
};

struct ModuleResourceTable {
  const ModuleResource* entries;
  int count;
};

// Defined by the table add_win32_resources() generates.
extern const ModuleResourceTable kModuleResources;

// The bytes of the program's resource `id` of `type`; empty when there is none.
std::span<const uint8_t> FindModuleResource(uint16_t type, uint16_t id);

// An icon's picture: 0xAARRGGBB words with straight alpha, top row first, as a desktop's
// window icon property (_NET_WM_ICON) takes it.
struct IconImage {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
};

// The picture of an icon LoadIconA returned; null for any other handle.
const IconImage* FindIconImage(HICON icon);

// The largest 32-bit BI_RGB image of an .ico file. Nothing when the file is damaged or holds
// no such image (PNG-compressed and palette images are not read).
std::optional<IconImage> DecodeIconFile(std::span<const uint8_t> file);

}  // namespace platform::user
