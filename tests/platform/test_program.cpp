#include "tests/platform/test_program.h"

#include <cstring>

namespace stripband::testing {
namespace {

// The program runs in a process of its own, so plain globals hold it.
TestProgram* program = nullptr;
HACCEL accelerators = nullptr;

LRESULT CALLBACK TestWindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == kRunStep && wparam < program->steps.size()) {
    program->steps[wparam](hwnd);
    return 0;
  }
  if (program->hook) {
    if (std::optional<LRESULT> answer = program->hook(hwnd, message, wparam, lparam)) {
      return *answer;
    }
  }
  return DefWindowProcA(hwnd, message, wparam, lparam);
}

int Run() {
  WNDCLASSA window_class = {};
  window_class.style = program->class_style;
  window_class.lpfnWndProc = TestWindowProc;
  window_class.hInstance = GetModuleHandleA(NULL);
  window_class.lpszClassName = kTestClass;
  RegisterClassA(&window_class);
  const RECT& r = program->rect;
  HWND hwnd = CreateWindowExA(0, kTestClass, "", program->style, r.left, r.top, r.right - r.left,
                              r.bottom - r.top, NULL, NULL, GetModuleHandleA(NULL), NULL);
  if (!hwnd) return 100;
  if (program->show) ShowWindow(hwnd, SW_SHOWNORMAL);
  if (!program->accelerators.empty()) {
    accelerators = CreateAcceleratorTableA(program->accelerators.data(),
                                           static_cast<int>(program->accelerators.size()));
  }
  MSG msg;
  while (GetMessageA(&msg, NULL, 0, 0)) {
    if (accelerators && TranslateAcceleratorA(hwnd, accelerators, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return static_cast<int>(msg.wParam);
}

}  // namespace

std::function<int()> Entry(TestProgram test_program) {
  return [test_program]() mutable {
    program = &test_program;
    return Run();
  };
}

void RunStep(ProgramRun& run, uint64_t hwnd, int step) {
  run.PostToWindow(hwnd, kRunStep, static_cast<WPARAM>(step), 0);
}

std::vector<TraceEntry> StepTrace(const std::vector<TraceEntry>& trace) {
  size_t begin = trace.size();
  for (size_t i = 0; i < trace.size(); ++i) {
    if (trace[i].kind == TraceEntry::Kind::kDelivered && trace[i].message == kRunStep) {
      begin = i + 1;
    }
  }
  std::vector<TraceEntry> delivered;
  for (size_t i = begin; i < trace.size(); ++i) {
    if (trace[i].kind == TraceEntry::Kind::kDelivered) delivered.push_back(trace[i]);
  }
  return delivered;
}

std::optional<std::vector<int64_t>> Find(const std::vector<Report>& reports, const char* what) {
  for (const Report& report : reports) {
    if (report.what == what) return report.values;
  }
  return std::nullopt;
}

}  // namespace stripband::testing
