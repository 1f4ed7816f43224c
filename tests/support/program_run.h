// Runs a program on a virtual desktop and acts on it as a user would.
//
// Each ProgramRun forks a fresh process whose display is a headless desktop: the program's
// globals start at their initial values and its ending (ExitProcess, or a crash) cannot take
// the test down. The test side talks to a small server in that process: every action injects
// raw input and returns once the program is idle again (blocked in its wait with nothing left
// to take) or has ended. Time on the desktop is virtual and moves only with Wait() and the
// program's own sleeps.
#pragma once

#include <windows.h>
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/screen_image.h"

namespace stripband::testing {

struct DesktopSettings {
  int width = 1920;
  int height = 1080;
  int frame = 4;  // sizing border thickness
  uint32_t double_click_time = 500;
  int double_click_width = 4;
  int double_click_height = 4;
  bool refuse_windows = false;          // the desktop cannot create windows
  std::vector<RECT> other_windows;      // other programs' windows, below ours
  int foreground_other = -1;            // which of them is active at start
  uint32_t start_time = 10000;          // the desktop clock when the program starts
  uint32_t desktop_colour = 0xFFFFFF;   // the desktop picture beneath everything, 0xRRGGBB
  std::vector<uint32_t> desktop_image;  // or a whole picture of the screen's size
  int failing_bitmaps = 0;
  bool trace = true;  // record the messages (TakeTrace); off, the program runs as it would  // the process's first bitmap creations fail, as without memory
};

struct WindowState {
  uint64_t hwnd = 0;
  std::string class_name;
  UINT class_style = 0;
  std::string title;
  DWORD style = 0;
  DWORD ex_style = 0;
  RECT rect{};
  RECT client{};  // screen coordinates
  bool visible = false;
  bool active = false;
  bool focus = false;
};

struct TraceEntry {
  enum class Kind : uint32_t { kDelivered, kRetrieved };
  Kind kind;
  bool sent;  // kDelivered: sent inside another call, not dispatched from the queue
  uint64_t hwnd;
  UINT message;
  uint64_t wparam;
  int64_t lparam;
  DWORD time;
  // Window procedure calls under way when this one began: 0 when the program's own code made
  // the call outside any window procedure (its loop, its start-up or its shutdown).
  uint32_t depth;
};

// Values a program started with a custom entry hands to the test (ReportToTest).
struct Report {
  std::string what;
  std::vector<int64_t> values;
};

struct Ending {
  bool called_exit = false;  // ended through ExitProcess, not by a crash
  int exit_code = -1;
  int signal = 0;
  uint32_t time = 0;  // desktop clock when the process ended
  // What was still alive when ExitProcess ran.
  int windows = 0;
  int classes = 0;
  int accelerator_tables = 0;
  int timer_periods = 0;
  int bitmaps = 0;
  int device_contexts = 0;
  int surfaces = 0;  // what the display still shows for the layer
  DWORD common_controls = 0;
  // In a build with LeakSanitizer: memory nothing points to any more when ExitProcess ran. The
  // report is on the program's standard error, and the run fails with it.
  bool leaked = false;
  std::vector<TraceEntry> trace;  // what the process recorded and nobody took yet
  std::vector<Report> reports;    // what the entry reported and nobody took yet
};

enum class Mouse { kLeft, kRight };

class ProgramRun {
 public:
  // Starts stripband's own entry, or `entry`, as the process's main routine.
  explicit ProgramRun(const DesktopSettings& settings = {}, std::function<int()> entry = {});
  ~ProgramRun();
  ProgramRun(const ProgramRun&) = delete;
  ProgramRun& operator=(const ProgramRun&) = delete;

  // What a user does. Each returns once the program is idle again or has ended.
  void MovePointer(int x, int y);
  void Press(Mouse button);
  void Release(Mouse button);
  void Click(Mouse button, int x, int y);  // move there, press, release
  void KeyDown(BYTE vk);
  void KeyUp(BYTE vk);
  // Presses the keys in order and releases them in reverse: Chord({VK_MENU, VK_F4}).
  void Chord(std::initializer_list<BYTE> keys);
  void CloseFromTaskbar();  // the close command of the taskbar button
  void ActivateOtherWindow(int index);
  void Wait(uint32_t milliseconds);

  // What another program does: post from a thread that is not the program's.
  void PostToWindow(uint64_t hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  void PostToProgramThread(UINT message, WPARAM wparam, LPARAM lparam);

  // What can be seen.
  bool Running();
  std::vector<WindowState> Windows();  // top to bottom
  WindowState OnlyWindow();            // fails the test unless there is exactly one
  std::vector<TraceEntry> TakeTrace();
  std::vector<Report> TakeReports();  // in the order the entry made them
  // The value of one of the program's variables, read while the program waits: pass the
  // variable's address in the test process, which is the program's address too.
  template <typename T>
  T Peek(const T* variable) {
    T value{};
    PeekBytes(variable, &value, sizeof(T));
    return value;
  }
  ScreenImage Screen();  // what the screen shows
  uint32_t Now();
  std::string Stderr();  // what the process wrote to standard error so far
  // Waits for the process to end (it is killed after a few seconds of real time).
  const Ending& WaitForEnd();

 private:
  struct Frame;
  bool PeekBytes(const void* address, void* out, size_t size);
  bool Request(uint32_t op, std::vector<uint8_t> args, std::vector<uint8_t>* reply);
  void ReadEnding(const std::vector<uint8_t>& payload);
  void Reap(bool kill);

  DesktopSettings settings_;
  pid_t pid_ = -1;
  int channel_ = -1;
  int stderr_fd_ = -1;
  bool running_ = false;
  Ending ending_;
};

// True in a build with LeakSanitizer, where every ending is checked for leaks (Ending::leaked).
bool LeaksCheckedAtEndings();

// Runs inside the program's process just before it ends through ExitProcess, after the ending
// was taken stock of: for instruments that collect what the process did. Set it before a run.
void SetProgramEndHook(void (*hook)());

// For a custom entry, inside the program's process: hands values to the test, which reads them
// with TakeReports() or, once the process has ended, in Ending::reports.
void ReportToTest(std::string what, std::vector<int64_t> values);

// Numbers of the messages the program took from its queue, in order.
std::vector<UINT> Retrieved(const std::vector<TraceEntry>& trace);
// Numbers of the messages that reached a window procedure, in order.
std::vector<UINT> Delivered(const std::vector<TraceEntry>& trace);

}  // namespace stripband::testing
