// SHA-256 of a byte buffer, for comparing decoded pixels with published digests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace stripband::testing {

// The digest as 64 lower-case hex digits.
std::string Sha256Hex(const void* data, size_t length);

}  // namespace stripband::testing
