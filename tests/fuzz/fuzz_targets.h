// What the fuzzers check, as plain functions: the libFuzzer entries call them with generated
// inputs, and the regression test replays the inputs that once failed. Each returns "" when
// every rule held, or what went wrong.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace stripband::fuzz {

// Decodes `data` as the program decodes its artwork and draws the picture, if any, onto a
// canvas of the band's size. Rules: a picture has a size the toolkit can hold and a 32-bit
// section behind it; the decode commits memory in proportion to the stream, not to the size its
// header claims; no bitmap or DC is left behind.
std::string CheckDecode(const uint8_t* data, size_t size);

// Reads `data` as a bounded sequence of raw input (pointer moves, presses, releases, keys,
// close requests, messages other programs post, clock advances) and feeds it to the real
// program on a fresh headless desktop, then closes the band if it is still there. The rules
// are BandRules' (tests/support/band_rules.h), checked after every action.
std::string CheckInputSequence(const uint8_t* data, size_t size);

}  // namespace stripband::fuzz
