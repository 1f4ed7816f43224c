#include "toolkit/window_toolkit.h"

#include <mmsystem.h>

#include <deque>
#include <map>

namespace {

struct ToolkitWindow {
  MessageCallback callback = nullptr;
  HACCEL accelerators = nullptr;
};

std::map<HWND, ToolkitWindow> windows;

// Events the window procedure records, oldest first; the event wait drains them.
std::deque<int> recorded_events;

// The message the event wait is dispatching from the queue, so that a posted imitation of a
// system notification is not taken for the real, sent one.
const MSG* dispatching = nullptr;

}  // namespace

LRESULT CALLBACK ToolkitWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto it = windows.find(window);
  if (it != windows.end() && it->second.callback) {
    LRESULT result = it->second.callback(window, message, wParam, lParam);
    if (result != ContinueProcessing) return result;
  }
  switch (message) {
    case WM_CLOSE:
      // The window stays: its owner decides what a close request means.
      recorded_events.push_back(CloseEvent);
      return 0;
    case WM_COMMAND:
      // Focus moves among child controls; toolkit windows have none.
      if (LOWORD(wParam) == NextControlCommand || LOWORD(wParam) == PreviousControlCommand) {
        return 0;
      }
      break;
    case WM_NCDESTROY:
      // Only the one DestroyWindow sends ends the window; a posted one is just a number.
      if (!dispatching || dispatching->message != WM_NCDESTROY) windows.erase(window);
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void SetMessageCallback(HWND window, MessageCallback callback) {
  windows[window].callback = callback;
}

void AttachAccelerators(HWND window, HACCEL accelerators) {
  windows[window].accelerators = accelerators;
}

HACCEL GetAccelerators(HWND window) {
  auto it = windows.find(window);
  return it == windows.end() ? nullptr : it->second.accelerators;
}

void SetTopmost(HWND window) {
  SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

int WaitEvent(HWND window) {
  if (!recorded_events.empty()) {
    int event = recorded_events.front();
    recorded_events.pop_front();
    return event;
  }
  MSG msg;
  GetMessageA(&msg, nullptr, 0, 0);  // WM_QUIT is an event like any other
  HACCEL accelerators = GetAccelerators(window);
  bool translated = GetActiveWindow() == window && accelerators &&
                    TranslateAcceleratorA(window, accelerators, &msg);
  if (!translated) {
    TranslateMessage(&msg);
    dispatching = &msg;
    DispatchMessageA(&msg);
    dispatching = nullptr;
  }
  return static_cast<int>(msg.message);
}

void Pause(DWORD milliseconds) {
  timeBeginPeriod(1);
  Sleep(milliseconds);
  timeEndPeriod(1);
}
