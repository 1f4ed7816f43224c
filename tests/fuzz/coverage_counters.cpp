// The linker's bounds of the inline 8-bit coverage counters libFuzzer reads. NOTE: this file is
// built without coverage: in a file with it, the compiler names its own references to these
// symbols apart from a declaration of another type, and the counters go unregistered.
#include <cstddef>
#include <cstdint>
#include <span>

extern "C" {
extern uint8_t __start___sancov_cntrs[] __attribute__((weak, visibility("hidden")));
extern uint8_t __stop___sancov_cntrs[] __attribute__((weak, visibility("hidden")));
}

namespace stripband::fuzz {

std::span<uint8_t> CoverageCounters() {
  if (!__start___sancov_cntrs || !__stop___sancov_cntrs) return {};
  return {__start___sancov_cntrs,
          static_cast<size_t>(__stop___sancov_cntrs - __start___sancov_cntrs)};
}

}  // namespace stripband::fuzz
