// A small Win32 program of the layer's tests, run by ProgramRun with a custom entry: it
// registers a class, opens one window, and runs the standard message loop until WM_QUIT. The
// test makes it call the functions under test by posting kRunStep, and reads what it saw
// through the message trace and ReportToTest.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <vector>

#include "tests/support/program_run.h"

namespace stripband::testing {

// Posted to the window: runs the program's steps[wParam] inside its window procedure.
constexpr UINT kRunStep = 0x8000;  // WM_APP: the first number free for a program's own use

constexpr char kTestClass[] = "TestWindow";

// The test's say in the window procedure: an answer ends the message's processing, nullopt
// passes it on to DefWindowProcA.
using Hook = std::function<std::optional<LRESULT>(HWND, UINT, WPARAM, LPARAM)>;
using Step = std::function<void(HWND)>;

struct TestProgram {
  UINT class_style = 0;
  DWORD style = WS_POPUP | WS_THICKFRAME;
  RECT rect = {100, 100, 500, 300};  // screen rectangle, border included
  bool show = true;
  std::vector<ACCEL> accelerators;  // offered every message while not empty
  Hook hook;
  std::vector<Step> steps;
};

// The process entry that runs `program`; it returns WM_QUIT's wParam.
std::function<int()> Entry(TestProgram program);

// Test side: asks the program to run one of its steps and returns once it has.
void RunStep(ProgramRun& run, uint64_t hwnd, int step);

// What reached the window procedures after the program began the step it was last asked for.
std::vector<TraceEntry> StepTrace(const std::vector<TraceEntry>& trace);

// The values of the first report named `what`, or nullopt.
std::optional<std::vector<int64_t>> Find(const std::vector<Report>& reports, const char* what);

}  // namespace stripband::testing
