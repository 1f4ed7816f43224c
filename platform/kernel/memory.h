// Fresh memory made ready for writing before it is written.
#pragma once

#include <cstddef>

namespace platform::kernel {

// Faults in the whole pages of [start, start + size) for writing, in one call: a page fault
// taken per page costs about twice as much, several milliseconds for the pictures of a start.
// Blocks above 16 MiB are left alone, so that a section sized by an untrusted header costs only
// what is written into it. Best effort: systems without the call fault lazily as before.
void PrefaultForWrite(void* start, size_t size);

}  // namespace platform::kernel
