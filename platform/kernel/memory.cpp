#include "kernel/memory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace platform::kernel {

void PrefaultForWrite(void* start, size_t size) {
#ifdef MADV_POPULATE_WRITE
  constexpr size_t kLimit = size_t{16} << 20;
  if (size > kLimit) return;
  const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  const uintptr_t first = (reinterpret_cast<uintptr_t>(start) + page - 1) & ~(page - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(start) + size) & ~(page - 1);
  // Rounded inward: the call takes whole pages, and stays inside the block.
  if (end > first) madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE);
#else
  (void)start;
  (void)size;
#endif
}

}  // namespace platform::kernel
