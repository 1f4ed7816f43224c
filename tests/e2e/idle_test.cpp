// The band left alone costs nothing: while it waits it makes no system call and never runs.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "tests/e2e/band_process.h"
#include "tests/e2e/x_desktop.h"

namespace stripband::e2e {
namespace {

using namespace std::chrono_literals;

constexpr auto kIdle = 2s;

// The process's own counters, summed over its threads: nanoseconds on a processor and context
// switches, each of which is a wake-up.
struct Counters {
  uint64_t run_ns = 0;
  long switches = 0;
};

Counters ReadCounters(pid_t pid) {
  Counters counters;
  for (const auto& task :
       std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task")) {
    std::ifstream schedstat(task.path() / "schedstat");
    uint64_t run_ns = 0;
    schedstat >> run_ns;
    counters.run_ns += run_ns;
    std::ifstream status(task.path() / "status");
    std::string key;
    long value = 0;
    while (status >> key) {
      if (key == "voluntary_ctxt_switches:" || key == "nonvoluntary_ctxt_switches:") {
        status >> value;
        counters.switches += value;
      }
    }
  }
  return counters;
}

bool Traced(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string key;
  long tracer = 0;
  while (status >> key) {
    if (key == "TracerPid:") {
      status >> tracer;
      return tracer != 0;
    }
  }
  return false;
}

// The system calls the process completes over `span`, as strace attached to it sees them; `act`
// runs at the start. Attaching interrupts the wait the process is in; that wait shows as a
// restarted call, complete only if something wakes the process.
int SystemCalls(XDesktop& desktop, pid_t pid, std::chrono::milliseconds span,
                const std::function<void()>& act) {
  std::string log = desktop.directory() + "/strace." + std::to_string(pid) + ".log";
  std::filesystem::remove(log);
  Child strace({"strace", "-f", "-qq", "-p", std::to_string(pid), "-o", log}, {});
  EXPECT_TRUE(XDesktop::Eventually([&] { return Traced(pid); })) << "strace did not attach";
  act();
  std::this_thread::sleep_for(span);
  strace.Stop();
  std::ifstream lines(log);
  int calls = 0;
  for (std::string line; std::getline(lines, line);) {
    if (line.find(") = ") != std::string::npos) ++calls;
  }
  return calls;
}

struct IdleCase {
  const char* name;
  bool window_manager;
  int pointer_moves;  // over the band at the start of the watch: the control
};

class BandIdle : public ::testing::TestWithParam<IdleCase> {};

TEST_P(BandIdle, MakesNoSystemCallAndNeverRunsUntilSomethingHappens) {
  const IdleCase& c = GetParam();
  XDesktop desktop;
  ASSERT_EQ(desktop.Start({.window_manager = c.window_manager}), "");
  Band band(desktop);
  auto shown = band.WaitShown();
  ASSERT_TRUE(shown) << band.Stderr();
  // Start-up's last requests answered, the compositor's first paints and the desktop's late
  // notices (focus, stacking) delivered.
  ASSERT_TRUE(desktop.Ping(shown->window));
  std::this_thread::sleep_for(500ms);

  pid_t pid = band.process().pid();
  auto act = [&] {
    for (int i = 0; i < c.pointer_moves; ++i) {
      ASSERT_TRUE(desktop.Xdotool(
          {"mousemove", std::to_string(100 + 40 * i), std::to_string(kBandTop + 10 + i % 2)}));
    }
  };
  Counters before = ReadCounters(pid);
  act();
  std::this_thread::sleep_for(kIdle);
  Counters after = ReadCounters(pid);
  int calls = SystemCalls(desktop, pid, kIdle, act);

  if (c.pointer_moves == 0) {
    EXPECT_EQ(after.run_ns - before.run_ns, 0u) << "nanoseconds on a processor while idle";
    EXPECT_EQ(after.switches - before.switches, 0) << "wake-ups while idle";
    EXPECT_EQ(calls, 0) << "system calls while idle";
  } else {
    // The same watches see the work that pointer moves cause.
    EXPECT_GT(after.run_ns - before.run_ns, 0u);
    EXPECT_GE(after.switches - before.switches, 1);
    EXPECT_GE(calls, c.pointer_moves);
  }
  EXPECT_TRUE(band.process().Running());
}

INSTANTIATE_TEST_SUITE_P(Desktops, BandIdle,
                         ::testing::Values(IdleCase{"Plain", false, 0},
                                           IdleCase{"UnderOpenbox", true, 0},
                                           IdleCase{"PointerMoves", false, 5}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace stripband::e2e
