// Icons and cursors. Icons come from the program's own resources (user/resources.h); the
// arrow cursor is a stand-in, since the layer draws no cursor of its own.
#include "user/resources.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

namespace platform::user {

// NOTE: weak, so that a program built without resources still links; its address is then null.
[[gnu::weak]] extern const ModuleResourceTable kModuleResources;

namespace {

const HCURSOR kArrowCursor = reinterpret_cast<HCURSOR>(0x7F02);

uint16_t Le16(std::span<const uint8_t> bytes, size_t at) {
  return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

uint32_t Le32(std::span<const uint8_t> bytes, size_t at) {
  return static_cast<uint32_t>(Le16(bytes, at)) | static_cast<uint32_t>(Le16(bytes, at + 2)) << 16;
}

constexpr uint32_t kBitmapInfoHeaderSize = 40;
constexpr uint32_t kBiRgb = 0;
constexpr int kMaxIconSide = 256;

// One image of an .ico file: a BITMAPINFOHEADER whose height counts the colour rows and the
// AND mask's rows, the colour rows bottom-up, then the mask.
std::optional<IconImage> DecodeIconBitmap(std::span<const uint8_t> image) {
  if (image.size() < kBitmapInfoHeaderSize) return std::nullopt;
  const uint32_t header = Le32(image, 0);
  const auto width = static_cast<int32_t>(Le32(image, 4));
  const auto double_height = static_cast<int32_t>(Le32(image, 8));
  if (header < kBitmapInfoHeaderSize || header > image.size()) return std::nullopt;
  if (Le16(image, 14) != 32 || Le32(image, 16) != kBiRgb) return std::nullopt;
  if (width <= 0 || width > kMaxIconSide || double_height <= 0 || double_height % 2 != 0 ||
      double_height / 2 > kMaxIconSide) {
    return std::nullopt;
  }
  const int height = double_height / 2;
  const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
  const std::span<const uint8_t> colour = image.subspan(header);
  if (colour.size() < pixels * 4) return std::nullopt;
  const size_t mask_stride = (static_cast<size_t>(width) + 31) / 32 * 4;
  const std::span<const uint8_t> mask = colour.subspan(pixels * 4);
  const bool has_mask = mask.size() >= mask_stride * static_cast<size_t>(height);

  // Icons from before alpha leave every alpha byte 0 and say what shows through the mask.
  bool has_alpha = false;
  for (size_t i = 0; i < pixels && !has_alpha; ++i) has_alpha = colour[i * 4 + 3] != 0;

  IconImage icon{width, height, std::vector<uint32_t>(pixels)};
  for (int y = 0; y < height; ++y) {
    const size_t row = static_cast<size_t>(height - 1 - y);  // bottom-up in the file
    for (int x = 0; x < width; ++x) {
      const uint8_t* bgra = &colour[(row * static_cast<size_t>(width) + x) * 4];
      uint32_t alpha = bgra[3];
      if (!has_alpha) {
        const bool see_through =
            has_mask && (mask[row * mask_stride + x / 8] & (0x80 >> (x % 8))) != 0;
        alpha = see_through ? 0 : 255;
      }
      icon.pixels[static_cast<size_t>(y) * width + x] =
          alpha << 24 | uint32_t{bgra[2]} << 16 | uint32_t{bgra[1]} << 8 | bgra[0];
    }
  }
  return icon;
}

struct IconCache {
  std::mutex mutex;
  // Like Windows' shared icons, loaded once and kept for the life of the process.
  std::map<uint16_t, std::unique_ptr<const IconImage>> by_id;
};

IconCache& Icons() {
  static IconCache cache;
  return cache;
}

}  // namespace

std::span<const uint8_t> FindModuleResource(uint16_t type, uint16_t id) {
  if (&kModuleResources == nullptr) return {};
  for (int i = 0; i < kModuleResources.count; ++i) {
    const ModuleResource& resource = kModuleResources.entries[i];
    if (resource.type == type && resource.id == id) {
      return {resource.data, static_cast<size_t>(*resource.size)};
    }
  }
  return {};
}

std::optional<IconImage> DecodeIconFile(std::span<const uint8_t> file) {
  constexpr size_t kDirectorySize = 6;
  constexpr size_t kEntrySize = 16;
  if (file.size() < kDirectorySize || Le16(file, 0) != 0 || Le16(file, 2) != 1) {
    return std::nullopt;
  }
  const size_t count = Le16(file, 4);
  if (file.size() < kDirectorySize + count * kEntrySize) return std::nullopt;
  std::optional<IconImage> best;
  for (size_t i = 0; i < count; ++i) {
    const size_t entry = kDirectorySize + i * kEntrySize;
    const size_t length = Le32(file, entry + 8);
    const size_t offset = Le32(file, entry + 12);
    if (offset > file.size() || length > file.size() - offset) continue;
    std::optional<IconImage> image = DecodeIconBitmap(file.subspan(offset, length));
    if (image && (!best || image->pixels.size() > best->pixels.size())) best = std::move(image);
  }
  return best;
}

const IconImage* FindIconImage(HICON icon) {
  IconCache& icons = Icons();
  std::lock_guard lock(icons.mutex);
  for (const auto& [id, image] : icons.by_id) {
    if (reinterpret_cast<HICON>(const_cast<IconImage*>(image.get())) == icon) return image.get();
  }
  return nullptr;
}

}  // namespace platform::user

HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name) {
  using namespace platform::user;
  // Only the program's own icons, named by number (MAKEINTRESOURCE).
  const auto number = reinterpret_cast<uintptr_t>(name);
  if (instance == nullptr || instance != GetModuleHandleA(nullptr)) return nullptr;
  if (number == 0 || number > 0xFFFF) return nullptr;
  const auto id = static_cast<uint16_t>(number);

  IconCache& icons = Icons();
  std::lock_guard lock(icons.mutex);
  auto found = icons.by_id.find(id);
  if (found == icons.by_id.end()) {
    std::optional<IconImage> image = DecodeIconFile(FindModuleResource(kIconGroupResource, id));
    if (!image) return nullptr;
    found = icons.by_id.emplace(id, std::make_unique<const IconImage>(std::move(*image))).first;
  }
  return reinterpret_cast<HICON>(const_cast<IconImage*>(found->second.get()));
}

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name) {
  using platform::user::kArrowCursor;
  if (instance == nullptr && name == IDC_ARROW) return kArrowCursor;
  return nullptr;
}
