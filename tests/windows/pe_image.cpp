#include "tests/windows/pe_image.h"

#include <algorithm>
#include <stdexcept>

namespace stripband::testing {
namespace {

constexpr uint32_t kImportDirectory = 1;
constexpr uint32_t kResourceDirectory = 2;
constexpr uint32_t kDelayImportDirectory = 13;
constexpr int kMaxResourceEntries = 4096;

struct Damaged : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class Reader {
 public:
  explicit Reader(const std::vector<uint8_t>& file) : file_(file) {}

  uint8_t U8(uint64_t at) const {
    Need(at, 1);
    return file_[at];
  }
  uint16_t U16(uint64_t at) const { return static_cast<uint16_t>(U8(at) | U8(at + 1) << 8); }
  uint32_t U32(uint64_t at) const {
    return static_cast<uint32_t>(U16(at)) | static_cast<uint32_t>(U16(at + 2)) << 16;
  }
  std::vector<uint8_t> Bytes(uint64_t at, uint64_t size) const {
    Need(at, size);
    return {file_.begin() + static_cast<ptrdiff_t>(at),
            file_.begin() + static_cast<ptrdiff_t>(at + size)};
  }
  // A NUL-terminated string at `at`.
  std::string String(uint64_t at) const {
    std::string s;
    for (uint8_t c; (c = U8(at + s.size())) != 0;) s.push_back(static_cast<char>(c));
    return s;
  }

 private:
  void Need(uint64_t at, uint64_t size) const {
    if (at > file_.size() || size > file_.size() - at) throw Damaged("read past the end");
  }
  const std::vector<uint8_t>& file_;
};

class Image {
 public:
  Image(const Reader& reader, const std::vector<PeSection>& sections)
      : reader_(reader), sections_(sections) {}

  // The file offset of a relative virtual address.
  uint64_t Offset(uint32_t rva) const {
    for (const PeSection& s : sections_) {
      const uint32_t extent = std::max(s.virtual_size, s.raw_size);
      if (rva >= s.virtual_address && rva - s.virtual_address < extent) {
        const uint32_t within = rva - s.virtual_address;
        if (within >= s.raw_size) throw Damaged("address in a section's uninitialised part");
        return uint64_t{s.raw_offset} + within;
      }
    }
    throw Damaged("address outside every section");
  }
  const Reader& reader() const { return reader_; }

 private:
  const Reader& reader_;
  const std::vector<PeSection>& sections_;
};

// Walks the three levels of the resource tree (type, name, language) below `root`.
void ReadResources(const Image& image, uint32_t root_rva, PeImage* pe) {
  const Reader& r = image.reader();
  const uint64_t root = image.Offset(root_rva);
  int seen = 0;
  const auto entries = [&](uint64_t directory, auto&& visit) {
    const int count = r.U16(directory + 12) + r.U16(directory + 14);
    for (int i = 0; i < count; ++i) {
      if (++seen > kMaxResourceEntries) throw Damaged("resource tree too large");
      const uint64_t entry = directory + 16 + 8 * static_cast<uint64_t>(i);
      const uint32_t name = r.U32(entry);
      const uint32_t target = r.U32(entry + 4);
      const int id = (name & 0x80000000u) ? -1 : static_cast<int>(name & 0xFFFF);
      visit(id, (target & 0x80000000u) != 0, root + (target & 0x7FFFFFFFu));
    }
  };
  entries(root, [&](int type, bool type_dir, uint64_t names) {
    if (!type_dir) throw Damaged("resource type without a directory");
    entries(names, [&](int name, bool name_dir, uint64_t languages) {
      if (!name_dir) throw Damaged("resource name without a directory");
      entries(languages, [&](int language, bool language_dir, uint64_t leaf) {
        if (language_dir) throw Damaged("resource language with a directory");
        const uint32_t data_rva = r.U32(leaf);
        const uint32_t size = r.U32(leaf + 4);
        pe->resources[{type, name, language}] = r.Bytes(image.Offset(data_rva), size);
      });
    });
  });
}

void ReadImports(const Image& image, uint32_t rva, PeImage* pe) {
  const Reader& r = image.reader();
  for (uint64_t descriptor = image.Offset(rva);; descriptor += 20) {
    const uint32_t lookup = r.U32(descriptor);
    const uint32_t name = r.U32(descriptor + 12);
    const uint32_t address = r.U32(descriptor + 16);
    if (lookup == 0 && name == 0 && address == 0) break;
    if (pe->imports.size() > 256) throw Damaged("import directory without an end");
    PeImport dll{r.String(image.Offset(name)), {}};
    for (uint64_t thunk = image.Offset(lookup ? lookup : address);; thunk += 4) {
      const uint32_t value = r.U32(thunk);
      if (value == 0) break;
      if (dll.functions.size() > 65536) throw Damaged("import table without an end");
      if (value & 0x80000000u) {
        dll.functions.push_back("#" + std::to_string(value & 0xFFFF));
      } else {
        dll.functions.push_back(r.String(image.Offset(value) + 2));  // after the hint
      }
    }
    pe->imports.push_back(std::move(dll));
  }
}

}  // namespace

std::optional<PeImage> ParsePeImage(const std::vector<uint8_t>& file, std::string* error) {
  try {
    const Reader r(file);
    if (r.U16(0) != 0x5A4D) throw Damaged("no MZ header");
    const uint64_t pe_at = r.U32(0x3C);
    if (r.U32(pe_at) != 0x00004550) throw Damaged("no PE signature");
    PeImage pe;
    const uint64_t coff = pe_at + 4;
    pe.machine = r.U16(coff);
    const int section_count = r.U16(coff + 2);
    const uint16_t optional_size = r.U16(coff + 16);
    pe.characteristics = r.U16(coff + 18);

    const uint64_t optional = coff + 20;
    pe.optional_magic = r.U16(optional);
    if (pe.optional_magic != 0x10B) throw Damaged("not a PE32 optional header");
    pe.subsystem = r.U16(optional + 68);
    const uint32_t directory_count = r.U32(optional + 92);
    const auto directory = [&](uint32_t index) -> std::pair<uint32_t, uint32_t> {
      if (index >= directory_count) return {0, 0};
      const uint64_t at = optional + 96 + 8 * uint64_t{index};
      return {r.U32(at), r.U32(at + 4)};
    };

    const uint64_t table = optional + optional_size;
    for (int i = 0; i < section_count; ++i) {
      const uint64_t at = table + 40 * static_cast<uint64_t>(i);
      const std::vector<uint8_t> name = r.Bytes(at, 8);
      PeSection section;
      for (uint8_t c : name) {
        if (c == 0) break;
        section.name.push_back(static_cast<char>(c));
      }
      section.virtual_size = r.U32(at + 8);
      section.virtual_address = r.U32(at + 12);
      section.raw_size = r.U32(at + 16);
      section.raw_offset = r.U32(at + 20);
      pe.sections.push_back(section);
    }
    const Image image(r, pe.sections);

    if (const auto [rva, size] = directory(kResourceDirectory); size != 0) {
      ReadResources(image, rva, &pe);
    }
    if (const auto [rva, size] = directory(kImportDirectory); size != 0) {
      ReadImports(image, rva, &pe);
    }
    pe.delay_import_size = directory(kDelayImportDirectory).second;
    return pe;
  } catch (const Damaged& damaged) {
    if (error) *error = damaged.what();
    return std::nullopt;
  }
}

}  // namespace stripband::testing
