// Counters for what the code under test does, kept by this test executable itself: heap
// allocations made on threads that ask to be counted, and libpng row reads.
#pragma once

#include <cstdint>

namespace stripband::testing {

// Heap allocations (operator new, any form) made by threads that called CountThisThread().
extern uint64_t counted_allocations;
void CountThisThread();

// Calls of png_read_rows and the rows they asked for.
extern uint64_t row_read_calls;
extern uint64_t rows_read;

}  // namespace stripband::testing
