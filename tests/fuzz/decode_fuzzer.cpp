// libFuzzer entry: PNG streams through the toolkit's decode.
//
// libpng rejects a critical chunk whose CRC is wrong before it reads it, so most mutations
// would only ever test the CRC check: three in four mutated streams get their CRCs repaired.
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>

#include "tests/fuzz/fuzz_targets.h"

namespace {

// Standard error as it was before -close_fd_mask=2 quietened libpng's messages.
int report_fd = STDERR_FILENO;

uint32_t Be32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

// Recomputes the CRC of every whole chunk after the signature.
void RepairCrcs(uint8_t* data, size_t size) {
  for (size_t at = 8; at + 12 <= size;) {
    uint32_t length = Be32(data + at);
    if (length > size - at - 12) break;
    uint32_t crc = static_cast<uint32_t>(crc32(0, data + at + 4, length + 4));
    for (int i = 0; i < 4; ++i)
      data[at + 8 + length + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
    at += 12 + length;
  }
}

}  // namespace

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t max_size);

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t max_size,
                                          unsigned int seed) {
  size = LLVMFuzzerMutate(data, size, max_size);
  if (seed % 4 != 0) RepairCrcs(data, size);
  return size;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  report_fd = dup(STDERR_FILENO);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string problem = stripband::fuzz::CheckDecode(data, size);
  if (!problem.empty()) {
    dprintf(report_fd, "decode: %s\n", problem.c_str());
    std::abort();
  }
  return 0;
}
