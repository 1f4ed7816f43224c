// A reader for the parts of a 32-bit Windows executable (PE32) that the executable checks look
// at: the headers, the section table, the resource tree and the import directory. Every read
// is bounds-checked; a damaged file gives an error message, never a crash.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace stripband::testing {

struct PeSection {
  std::string name;
  uint32_t virtual_address = 0;
  uint32_t virtual_size = 0;
  uint32_t raw_offset = 0;
  uint32_t raw_size = 0;
};

struct PeImport {
  std::string dll;
  std::vector<std::string> functions;  // by name; ordinals as "#N"
};

// A resource's place in the tree: type, name and language, each a number (named entries are
// kept as -1, which no check expects).
using ResourceKey = std::tuple<int, int, int>;

struct PeImage {
  uint16_t machine = 0;
  uint16_t characteristics = 0;
  uint16_t optional_magic = 0;
  uint16_t subsystem = 0;
  std::vector<PeSection> sections;
  std::map<ResourceKey, std::vector<uint8_t>> resources;
  std::vector<PeImport> imports;
  uint32_t delay_import_size = 0;
};

// Parses `file`; on failure returns nothing and says why in `error`.
std::optional<PeImage> ParsePeImage(const std::vector<uint8_t>& file, std::string* error);

}  // namespace stripband::testing
