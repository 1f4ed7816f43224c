#include "tests/measured/counting.h"

#include <png.h>

#include <cstdlib>
#include <new>

namespace stripband::testing {

uint64_t counted_allocations = 0;
uint64_t row_read_calls = 0;
uint64_t rows_read = 0;

namespace {
thread_local bool counting = false;
}  // namespace

void CountThisThread() { counting = true; }

void* Allocate(std::size_t size) {
  if (counting) ++counted_allocations;
  if (void* memory = std::malloc(size ? size : 1)) return memory;
  throw std::bad_alloc();
}

}  // namespace stripband::testing

// Every allocation of this executable goes through here; the replacements are the standard's.
void* operator new(std::size_t size) { return stripband::testing::Allocate(size); }
void* operator new[](std::size_t size) { return stripband::testing::Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return stripband::testing::Allocate(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
  return operator new(size, tag);
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }

// The linker sends the toolkit's calls here (-Wl,--wrap=png_read_rows).
extern "C" void __real_png_read_rows(png_structp png, png_bytepp rows, png_bytepp display,
                                     png_uint_32 count);
extern "C" void __wrap_png_read_rows(png_structp png, png_bytepp rows, png_bytepp display,
                                     png_uint_32 count) {
  ++stripband::testing::row_read_calls;
  stripband::testing::rows_read += count;
  __real_png_read_rows(png, rows, display, count);
}
