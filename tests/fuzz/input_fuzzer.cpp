// libFuzzer entry: raw input sequences through the real program on a headless desktop.
//
// Each input runs in a process of its own (ProgramRun forks), whose coverage counters libFuzzer
// never sees. The program's process copies them into shared memory as it ends, and they are
// merged into this process's before libFuzzer reads them.
#include <gtest/gtest.h>
#include <sys/mman.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>

#include "tests/fuzz/fuzz_targets.h"
#include "tests/support/program_run.h"

namespace stripband::fuzz {
std::span<uint8_t> CoverageCounters();  // coverage_counters.cpp
}

namespace {

std::span<uint8_t> counters;
uint8_t* program_counters = nullptr;  // shared with the program's process

void CopyCountersOut() { std::memcpy(program_counters, counters.data(), counters.size()); }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char*** argv) {
  // A failure that ProgramRun reports through gtest is printed, then becomes a crash that
  // libFuzzer keeps the input of.
  int gtest_argc = 1;
  char* gtest_argv[] = {(*argv)[0], nullptr};
  ::testing::InitGoogleTest(&gtest_argc, gtest_argv);
  GTEST_FLAG_SET(break_on_failure, true);
  counters = stripband::fuzz::CoverageCounters();
  if (!counters.empty()) {
    void* shared =
        mmap(nullptr, counters.size(), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (shared != MAP_FAILED) {
      program_counters = static_cast<uint8_t*>(shared);
      stripband::testing::SetProgramEndHook(CopyCountersOut);
    }
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (program_counters) std::memset(program_counters, 0, counters.size());
  std::string problem = stripband::fuzz::CheckInputSequence(data, size);
  if (program_counters) {
    // The program's process began as a copy of this one: the larger count is the newer.
    for (size_t i = 0; i < counters.size(); ++i) {
      counters[i] = std::max(counters[i], program_counters[i]);
    }
  }
  if (!problem.empty()) {
    std::fprintf(stderr, "input sequence: %s\n", problem.c_str());
    std::abort();
  }
  return 0;
}
