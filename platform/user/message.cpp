// The thread's message queue: posting, sending, retrieval and dispatch.
//
// GetMessageA takes, in order: a posted message, then a message made from the display's raw
// input, then a WM_PAINT for a window that needs painting; with none of these it blocks in the
// display's wait, which posting from another thread ends.
#include <windows.h>

#include "user/user_state.h"

using namespace platform::user;
namespace display = platform::display;

namespace {

HWND WindowNeedingPaint() {
  for (HWND hwnd : State().z_order) {
    Window* window = LookupWindow(hwnd);
    if (window->needs_paint && window->visible && !(window->ex_style & WS_EX_LAYERED) &&
        window->thread == CurrentThread()) {
      return hwnd;
    }
  }
  return nullptr;
}

// System messages whose lParam points into the sender's memory. Win32 refuses to post them: the
// sender could free that memory before the receiver reads it, and another process's pointer
// means nothing in the receiver's.
bool CarriesPointer(UINT message) {
  switch (message) {
    case WM_CREATE:
    case WM_NCCREATE:
    case WM_NCCALCSIZE:
    case WM_GETMINMAXINFO:
    case WM_WINDOWPOSCHANGING:
    case WM_WINDOWPOSCHANGED:
    case WM_SIZING:
    case WM_MOVING:
      return true;
    default:
      return false;
  }
}

bool Post(const std::shared_ptr<MessageQueue>& queue, HWND hwnd, UINT message, WPARAM wparam,
          LPARAM lparam) {
  if (!queue || CarriesPointer(message)) return false;
  display::Display& screen = display::CurrentDisplay();
  queue->Post(MSG{hwnd, message, wparam, lparam, screen.Now(), {}});
  return true;
}

}  // namespace

BOOL WINAPI GetMessageA(LPMSG msg, HWND, UINT, UINT) {
  display::Display& screen = display::CurrentDisplay();
  auto queue = QueueOf(CurrentThread(), true);
  for (;;) {
    if (queue->Pop(msg)) break;
    if (auto input = screen.PollInput()) {
      if (MessageFromInput(*input, msg)) break;
      continue;
    }
    if (State().pointer_moved_under) {
      State().pointer_moved_under = false;
      if (State().pointer_seen) {
        display::RawInput still{.kind = display::RawInput::Kind::kPointerMove,
                                .time = screen.Now(),
                                .point = {State().pointer.x, State().pointer.y}};
        if (MessageFromInput(still, msg)) break;
      }
      continue;
    }
    if (HWND hwnd = WindowNeedingPaint()) {
      *msg = MSG{hwnd, WM_PAINT, 0, 0, screen.Now(), State().pointer};
      break;
    }
    screen.WaitForInput();
  }
  Record(TraceRecord::Kind::kRetrieved, false, msg->hwnd, msg->message, msg->wParam, msg->lParam,
         msg->time);
  return msg->message != WM_QUIT;
}

BOOL WINAPI TranslateMessage(const MSG* msg) {
  if (!msg) return FALSE;
  UINT message = msg->message;
  if (message == WM_KEYUP || message == WM_SYSKEYUP) return TRUE;
  if (message != WM_KEYDOWN && message != WM_SYSKEYDOWN) return FALSE;
  const display::KeyInput& key = State().keys.last_press[msg->wParam & 0xFF];
  if (key.character != 0) {
    bool system = message == WM_SYSKEYDOWN;
    UINT char_message =
        key.dead ? (system ? WM_SYSDEADCHAR : WM_DEADCHAR) : (system ? WM_SYSCHAR : WM_CHAR);
    Post(QueueOf(CurrentThread(), true), msg->hwnd, char_message, key.character, msg->lParam);
  }
  return TRUE;
}

LRESULT WINAPI DispatchMessageA(const MSG* msg) {
  if (!msg || !msg->hwnd) return 0;
  return CallProc(msg->hwnd, msg->message, msg->wParam, msg->lParam, false);
}

BOOL WINAPI PostMessageA(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (!hwnd) return Post(QueueOf(CurrentThread(), true), nullptr, message, wparam, lparam);
  return Post(QueueOfWindow(hwnd), hwnd, message, wparam, lparam);
}

BOOL WINAPI PostThreadMessageA(DWORD thread, UINT message, WPARAM wparam, LPARAM lparam) {
  return Post(QueueOf(thread, false), nullptr, message, wparam, lparam);
}

LRESULT WINAPI SendMessageA(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  Window* window = LookupWindow(hwnd);
  // Sending across threads is outside this subset.
  if (!window || window->thread != CurrentThread()) return 0;
  return CallProc(hwnd, message, wparam, lparam, true);
}
