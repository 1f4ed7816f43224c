// The modal loop of a resize from the sizing border. It holds the mouse until the button is
// released and takes the pointer and key input itself, so none of it reaches the window
// procedure as mouse or key messages; posted messages are still dispatched meanwhile.
#include <windows.h>

#include <algorithm>

#include "user/user_state.h"

namespace platform::user {
namespace {

using Kind = display::RawInput::Kind;

// Edges as SC_SIZE numbers them: 1 left, 2 right, 3 top, 4 top-left, 5 top-right, 6 bottom,
// 7 bottom-left, 8 bottom-right.
RECT Resized(RECT start, int edge, int dx, int dy, int minimum) {
  RECT rect = start;
  bool left = edge == 1 || edge == 4 || edge == 7;
  bool right = edge == 2 || edge == 5 || edge == 8;
  bool top = edge >= 3 && edge <= 5;
  bool bottom = edge >= 6 && edge <= 8;
  if (left) rect.left = std::min(start.left + dx, start.right - minimum);
  if (right) rect.right = std::max(start.right + dx, start.left + minimum);
  if (top) rect.top = std::min(start.top + dy, start.bottom - minimum);
  if (bottom) rect.bottom = std::max(start.bottom + dy, start.top + minimum);
  return rect;
}

LRESULT Send(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  return CallProc(hwnd, message, wparam, lparam, true);
}

void MoveTo(HWND hwnd, const RECT& rect) {
  SetWindowPos(hwnd, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

void RunSizeLoop(HWND hwnd, int edge) {
  UserState& state = State();
  Window* window = LookupWindow(hwnd);
  if (!window || edge < 1 || edge > 8) return;
  display::Display& screen = display::CurrentDisplay();
  auto queue = QueueOf(CurrentThread(), true);
  const RECT start = window->rect;
  const POINT origin = state.pointer;
  const int minimum = 2 * FrameThickness(window->style);
  state.capture = hwnd;
  Send(hwnd, WM_ENTERSIZEMOVE, 0, 0);

  bool cancelled = false;
  bool close_requested = false;
  for (bool done = false; !done && LookupWindow(hwnd);) {
    MSG msg;
    if (queue->Pop(&msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
      continue;
    }
    auto input = screen.PollInput();
    if (!input) {
      screen.WaitForInput();
      continue;
    }
    switch (input->kind) {
      case Kind::kPointerMove: {
        state.pointer = {input->point.x, input->point.y};
        RECT rect =
            Resized(start, edge, state.pointer.x - origin.x, state.pointer.y - origin.y, minimum);
        Send(hwnd, WM_SIZING, edge, reinterpret_cast<LPARAM>(&rect));
        MoveTo(hwnd, rect);
        break;
      }
      case Kind::kButtonUp:
        state.keys.down[input->button == display::Button::kRight ? VK_RBUTTON : VK_LBUTTON] = false;
        done = input->button == display::Button::kLeft;
        break;
      case Kind::kKeyDown:
        state.keys.down[input->key.vk] = true;
        cancelled = input->key.vk == VK_ESCAPE;
        done = cancelled || input->key.vk == VK_RETURN;
        break;
      case Kind::kKeyUp:
        state.keys.down[input->key.vk] = false;
        break;
      case Kind::kFocusOut:
        DeactivateAll(nullptr);
        done = true;
        break;
      case Kind::kCloseRequest:
        close_requested = true;  // taken up once the loop is over
        break;
      default:
        break;
    }
  }
  if (cancelled && LookupWindow(hwnd)) MoveTo(hwnd, start);
  state.capture = nullptr;
  if (LookupWindow(hwnd)) {
    Send(hwnd, WM_CAPTURECHANGED, 0, 0);
    Send(hwnd, WM_EXITSIZEMOVE, 0, 0);
    if (close_requested) PostMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
  }
}

}  // namespace platform::user
