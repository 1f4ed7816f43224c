// Classes and windows coming and going, and the thread's queue: registration rules,
// DestroyWindow's messages, WM_QUIT ending GetMessageA, and where messages can be posted.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tests/platform/test_program.h"
#include "tests/support/program_run.h"

namespace stripband::testing {
namespace {

LRESULT CALLBACK PlainProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  return DefWindowProcA(hwnd, message, wparam, lparam);
}

ATOM Register(const char* name) {
  WNDCLASSA window_class = {};
  window_class.lpfnWndProc = PlainProc;
  window_class.hInstance = GetModuleHandleA(NULL);
  window_class.lpszClassName = name;
  return RegisterClassA(&window_class);
}

HWND Create(const char* class_name) {
  return CreateWindowExA(0, class_name, "", WS_POPUP, 0, 0, 100, 100, NULL, NULL,
                         GetModuleHandleA(NULL), NULL);
}

// The window the class calls below create and destroy, in the program's process.
HWND alpha_window = nullptr;

// Each call in order, as the program made it, with what it returned.
struct ClassCall {
  std::string what;
  std::function<int64_t()> call;
  bool succeeds;
};

TEST(WindowClasses, RegisterOnceAndUnregisterOnlyWithoutWindows) {
  const std::vector<ClassCall> calls = {
      {"register Alpha", [] { return Register("Alpha"); }, true},
      {"register ALPHA again", [] { return Register("ALPHA"); }, false},
      {"register Beta", [] { return Register("Beta"); }, true},
      {"create an Alpha window", [] { return (alpha_window = Create("alpha")) != nullptr; }, true},
      {"unregister alpha with its window alive",
       [] { return UnregisterClassA("alpha", GetModuleHandleA(NULL)); }, false},
      {"create a window of no class", [] { return Create("Gamma") != nullptr; }, false},
      {"destroy the Alpha window", [] { return DestroyWindow(alpha_window); }, true},
      {"unregister Alpha", [] { return UnregisterClassA("Alpha", GetModuleHandleA(NULL)); }, true},
      {"unregister Alpha again", [] { return UnregisterClassA("Alpha", GetModuleHandleA(NULL)); },
       false},
      {"create an Alpha window after", [] { return Create("Alpha") != nullptr; }, false},
      {"register Gamma", [] { return Register("Gamma"); }, true},
      {"register Alpha anew", [] { return Register("Alpha"); }, true},
  };
  ProgramRun run({}, [&calls] {
    for (const ClassCall& call : calls) ReportToTest(call.what, {call.call()});
    return 0;
  });
  const Ending& ending = run.WaitForEnd();
  ASSERT_EQ(ending.reports.size(), calls.size());
  std::vector<int64_t> atoms;
  for (size_t i = 0; i < calls.size(); ++i) {
    SCOPED_TRACE(calls[i].what);
    EXPECT_EQ(ending.reports[i].what, calls[i].what);
    EXPECT_EQ(ending.reports[i].values[0] != 0, calls[i].succeeds);
    if (calls[i].what.starts_with("register") && calls[i].succeeds) {
      atoms.push_back(ending.reports[i].values[0]);
    }
  }
  // Beta, Gamma and the new Alpha live side by side: each has its own atom.
  ASSERT_EQ(atoms.size(), 4u);
  EXPECT_NE(atoms[1], atoms[2]);
  EXPECT_NE(atoms[1], atoms[3]);
  EXPECT_NE(atoms[2], atoms[3]);
  EXPECT_EQ(ending.classes, 3);
}

// DestroyWindow: the window is hidden and gives up activation and focus, then hears
// WM_DESTROY and WM_NCDESTROY last; what was posted to it is never delivered.

TEST(DestroyWindow, HidesDeactivatesThenDestroysAndDropsItsQueuedMessages) {
  constexpr UINT kPending = WM_USER + 5;
  TestProgram program{.steps = {[](HWND hwnd) {
                        PostMessageA(hwnd, kPending, 0, 0);
                        ReportToTest("destroy", {DestroyWindow(hwnd)});
                        RECT rect;
                        ReportToTest("after", {DestroyWindow(hwnd), GetWindowRect(hwnd, &rect),
                                               PostMessageA(hwnd, kPending, 0, 0),
                                               GetActiveWindow() == nullptr});
                      }}};
  ProgramRun run({}, Entry(program));
  uint64_t hwnd = run.OnlyWindow().hwnd;
  RunStep(run, hwnd, 0);
  std::vector<TraceEntry> all = run.TakeTrace();
  std::vector<TraceEntry> trace = StepTrace(all);

  std::vector<UINT> seen;
  for (const TraceEntry& entry : trace) {
    EXPECT_EQ(entry.hwnd, hwnd);
    seen.push_back(entry.message);
  }
  ASSERT_GE(seen.size(), 2u);
  EXPECT_EQ(seen[seen.size() - 2], static_cast<UINT>(WM_DESTROY));
  EXPECT_EQ(seen.back(), static_cast<UINT>(WM_NCDESTROY));
  size_t destroy = seen.size() - 2;
  for (UINT before : {WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED, WM_NCACTIVATE, WM_ACTIVATE,
                      WM_ACTIVATEAPP, WM_KILLFOCUS}) {
    auto at = std::find(seen.begin(), seen.end(), before);
    EXPECT_LT(static_cast<size_t>(at - seen.begin()), destroy) << "message " << before;
  }
  for (const TraceEntry& entry : trace) {
    if (entry.message == WM_ACTIVATE) {
      EXPECT_EQ(LOWORD(entry.wparam), WA_INACTIVE);
    }
    if (entry.message == WM_NCACTIVATE || entry.message == WM_ACTIVATEAPP) {
      EXPECT_EQ(entry.wparam, static_cast<uint64_t>(FALSE));
    }
  }
  for (UINT retrieved : Retrieved(all)) EXPECT_NE(retrieved, kPending);

  std::vector<Report> reports = run.TakeReports();
  EXPECT_EQ(*Find(reports, "destroy"), std::vector<int64_t>{TRUE});
  EXPECT_EQ(*Find(reports, "after"), (std::vector<int64_t>{FALSE, FALSE, FALSE, TRUE}));
  EXPECT_TRUE(run.Windows().empty());
}

// GetMessageA returns FALSE for WM_QUIT, wherever it was posted, after what came before it.

struct QuitCase {
  std::string name;
  bool to_window;
};
void PrintTo(const QuitCase& c, std::ostream* os) { *os << c.name; }

class QuitMessage : public ::testing::TestWithParam<QuitCase> {};

TEST_P(QuitMessage, EndsTheStandardLoopWithItsCode) {
  ProgramRun run({}, Entry({}));
  uint64_t hwnd = run.OnlyWindow().hwnd;
  run.TakeTrace();
  if (GetParam().to_window) {
    run.PostToWindow(hwnd, WM_QUIT, 42, 0);
  } else {
    run.PostToProgramThread(WM_QUIT, 42, 0);
  }
  const Ending& ending = run.WaitForEnd();
  EXPECT_TRUE(ending.called_exit);
  EXPECT_EQ(ending.exit_code, 42);
  EXPECT_EQ(Retrieved(ending.trace), std::vector<UINT>{WM_QUIT});
  EXPECT_TRUE(Delivered(ending.trace).empty()) << "WM_QUIT was dispatched";
}

INSTANTIATE_TEST_SUITE_P(Targets, QuitMessage,
                         ::testing::Values(QuitCase{"ToThread", false}, QuitCase{"ToWindow", true}),
                         [](const auto& info) { return info.param.name; });

TEST(QuitMessage, ComesAfterWhatWasPostedBeforeIt) {
  TestProgram program{.steps = {[](HWND hwnd) {
                        PostMessageA(hwnd, WM_USER + 1, 0, 0);
                        PostMessageA(NULL, WM_QUIT, 7, 0);
                        PostMessageA(hwnd, WM_USER + 2, 0, 0);
                      }}};
  ProgramRun run({}, Entry(program));
  run.TakeTrace();
  RunStep(run, run.OnlyWindow().hwnd, 0);
  const Ending& ending = run.WaitForEnd();
  EXPECT_EQ(ending.exit_code, 7);
  std::vector<UINT> retrieved = Retrieved(ending.trace);
  EXPECT_EQ(retrieved, (std::vector<UINT>{kRunStep, WM_USER + 1, WM_QUIT}));
}

// Posting: to a thread without a queue, to a window that does not exist, to no window.

TEST(Posting, FailsWithoutARecipientAndPostsToTheThreadWithoutAWindow) {
  TestProgram program{.steps = {[](HWND hwnd) {
                        ReportToTest("to an unknown thread",
                                     {PostThreadMessageA(0x7FFFFFF0, WM_USER, 0, 0)});
                        ReportToTest("to a window that never was",
                                     {PostMessageA(reinterpret_cast<HWND>(0x7777), WM_USER, 0, 0)});
                        ReportToTest("to no window", {PostMessageA(NULL, WM_USER + 3, 0, 0)});
                        ReportToTest("to the window", {PostMessageA(hwnd, WM_USER + 4, 0, 0)});
                      }}};
  ProgramRun run({}, Entry(program));
  uint64_t hwnd = run.OnlyWindow().hwnd;
  run.TakeTrace();
  RunStep(run, hwnd, 0);
  std::vector<Report> reports = run.TakeReports();
  EXPECT_EQ(*Find(reports, "to an unknown thread"), std::vector<int64_t>{FALSE});
  EXPECT_EQ(*Find(reports, "to a window that never was"), std::vector<int64_t>{FALSE});
  EXPECT_EQ(*Find(reports, "to no window"), std::vector<int64_t>{TRUE});
  EXPECT_EQ(*Find(reports, "to the window"), std::vector<int64_t>{TRUE});

  std::vector<TraceEntry> trace = run.TakeTrace();
  std::vector<TraceEntry> posted;
  for (const TraceEntry& entry : trace) {
    if (entry.message == WM_USER + 3 || entry.message == WM_USER + 4) posted.push_back(entry);
  }
  // The thread message is taken but reaches no window procedure; the window's is dispatched.
  ASSERT_EQ(posted.size(), 3u);
  EXPECT_EQ(posted[0].kind, TraceEntry::Kind::kRetrieved);
  EXPECT_EQ(posted[0].hwnd, 0u);
  EXPECT_EQ(posted[1].kind, TraceEntry::Kind::kRetrieved);
  EXPECT_EQ(posted[1].hwnd, hwnd);
  EXPECT_EQ(posted[2].kind, TraceEntry::Kind::kDelivered);
  EXPECT_FALSE(posted[2].sent);
}

// Messages whose lParam points into the sender's memory cannot be posted, to a window or to the
// thread: the receiver would read whatever lies at that address by then. Their neighbours can.

struct PostedMessage {
  const char* name;
  UINT message;
  bool posts;
};

const PostedMessage kPostedMessages[] = {
    {"WM_CREATE", WM_CREATE, false},
    {"WM_NCCREATE", WM_NCCREATE, false},
    {"WM_NCCALCSIZE", WM_NCCALCSIZE, false},
    {"WM_GETMINMAXINFO", WM_GETMINMAXINFO, false},
    {"WM_WINDOWPOSCHANGING", WM_WINDOWPOSCHANGING, false},
    {"WM_WINDOWPOSCHANGED", WM_WINDOWPOSCHANGED, false},
    {"WM_SIZING", WM_SIZING, false},
    {"WM_MOVING", WM_MOVING, false},
    {"WM_MOVE", WM_MOVE, true},
    {"WM_SIZE", WM_SIZE, true},
    {"WM_NCHITTEST", WM_NCHITTEST, true},
    {"WM_USER", WM_USER, true},
};

TEST(Posting, RefusesMessagesThatCarryAPointer) {
  TestProgram program{.steps = {[](HWND hwnd) {
                        for (const PostedMessage& posted : kPostedMessages) {
                          ReportToTest(posted.name,
                                       {PostMessageA(hwnd, posted.message, 0, 0x1234),
                                        PostMessageA(NULL, posted.message, 0, 0x1234)});
                        }
                      }}};
  ProgramRun run({}, Entry(program));
  uint64_t hwnd = run.OnlyWindow().hwnd;
  run.TakeTrace();
  RunStep(run, hwnd, 0);
  std::vector<Report> reports = run.TakeReports();
  std::vector<UINT> retrieved = Retrieved(run.TakeTrace());
  for (const PostedMessage& posted : kPostedMessages) {
    SCOPED_TRACE(posted.name);
    std::vector<int64_t> expected(2, posted.posts ? TRUE : FALSE);
    EXPECT_EQ(*Find(reports, posted.name), expected);
    EXPECT_EQ(std::count(retrieved.begin(), retrieved.end(), posted.message), posted.posts ? 2 : 0);
  }
  ASSERT_TRUE(run.Running());
}

// Memory the program lost by the time it ended fails the run, with LeakSanitizer's report:
// the process ends with _exit, which would skip the sanitizer's own check at exit.

void* volatile held_block = nullptr;

// Several blocks, so that a copy of the last pointer left in a register or on the stack cannot
// hide them all.
void LoseBlocks() {
  for (int i = 0; i < 16; ++i) held_block = std::malloc(64);
  held_block = nullptr;
}

void FreeABlock() {
  held_block = std::malloc(64);
  std::free(held_block);
  held_block = nullptr;
}

void HoldABlock() { held_block = std::malloc(64); }

struct ExitMemory {
  std::string name;
  void (*before_exit)();
  bool leaks;
};
void PrintTo(const ExitMemory& c, std::ostream* os) { *os << c.name; }

class EndingLeaks : public ::testing::TestWithParam<ExitMemory> {};

TEST_P(EndingLeaks, FailTheRunOnlyWhenMemoryIsLost) {
  if (!LeaksCheckedAtEndings()) GTEST_SKIP() << "a build without LeakSanitizer";
  const ExitMemory& memory = GetParam();
  std::optional<ProgramRun> run;
  ::testing::TestPartResultArray failures;
  {
    ::testing::ScopedFakeTestPartResultReporter intercept(
        ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &failures);
    run.emplace(DesktopSettings{}, [&memory] {
      memory.before_exit();
      return 0;
    });
    run->WaitForEnd();
  }
  const Ending& ending = run->WaitForEnd();
  EXPECT_TRUE(ending.called_exit);
  EXPECT_EQ(ending.leaked, memory.leaks);
  ASSERT_EQ(failures.size(), memory.leaks ? 1 : 0);
  if (memory.leaks) {
    EXPECT_NE(std::string(failures.GetTestPartResult(0).message()).find("LeakSanitizer"),
              std::string::npos)
        << "the failure does not carry the report";
  }
}

INSTANTIATE_TEST_SUITE_P(Memory, EndingLeaks,
                         ::testing::Values(ExitMemory{"Lost", LoseBlocks, true},
                                           ExitMemory{"Freed", FreeABlock, false},
                                           ExitMemory{"HeldByAGlobal", HoldABlock, false}),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace stripband::testing
