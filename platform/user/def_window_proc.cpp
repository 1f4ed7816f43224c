// The default window procedure: what a window gets for the messages it leaves alone.
#include <windows.h>

#include "user/user_state.h"

using namespace platform::user;
namespace display = platform::display;

namespace {

LRESULT Send(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  return CallProc(hwnd, message, wparam, lparam, true);
}

// A popup with a sizing border: the client area, the border's edges and its corners.
LRESULT HitTest(const Window& window, POINT point) {
  const RECT& rect = window.rect;
  if (point.x < rect.left || point.x >= rect.right || point.y < rect.top ||
      point.y >= rect.bottom) {
    return HTNOWHERE;
  }
  int frame = FrameThickness(window.style);
  bool left = point.x < rect.left + frame;
  bool right = point.x >= rect.right - frame;
  bool top = point.y < rect.top + frame;
  bool bottom = point.y >= rect.bottom - frame;
  if (top) return left ? HTTOPLEFT : right ? HTTOPRIGHT : HTTOP;
  if (bottom) return left ? HTBOTTOMLEFT : right ? HTBOTTOMRIGHT : HTBOTTOM;
  if (left) return HTLEFT;
  if (right) return HTRIGHT;
  return HTCLIENT;
}

display::Cursor CursorFor(LRESULT hit) {
  switch (hit) {
    case HTLEFT:
    case HTRIGHT:
      return display::Cursor::kSizeWestEast;
    case HTTOP:
    case HTBOTTOM:
      return display::Cursor::kSizeNorthSouth;
    case HTTOPLEFT:
    case HTBOTTOMRIGHT:
      return display::Cursor::kSizeNwSe;
    case HTTOPRIGHT:
    case HTBOTTOMLEFT:
      return display::Cursor::kSizeNeSw;
    default:
      return display::Cursor::kArrow;
  }
}

bool IsSizingBorder(WPARAM hit) { return hit >= HTLEFT && hit <= HTBOTTOMRIGHT; }

}  // namespace

LRESULT WINAPI DefWindowProcA(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  Window* window = LookupWindow(hwnd);
  if (!window) return 0;
  switch (message) {
    case WM_NCCREATE:
      return TRUE;
    case WM_NCHITTEST:
      return HitTest(*window,
                     POINT{static_cast<SHORT>(LOWORD(lparam)), static_cast<SHORT>(HIWORD(lparam))});
    case WM_SETCURSOR:
      display::CurrentDisplay().SetCursor(CursorFor(static_cast<SHORT>(LOWORD(lparam))));
      return TRUE;
    case WM_MOUSEACTIVATE:
      return MA_ACTIVATE;
    case WM_NCACTIVATE:
      return TRUE;
    case WM_ACTIVATE:
      if (LOWORD(wparam) != WA_INACTIVE) SetFocusTo(hwnd);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      window->needs_paint = false;
      return 0;
    case WM_WINDOWPOSCHANGED: {
      const auto* pos = reinterpret_cast<const WINDOWPOS*>(lparam);
      RECT client = ClientRectOnScreen(*window);
      if (!(pos->flags & SWP_NOSIZE)) {
        Send(hwnd, WM_SIZE, 0, MAKELPARAM(client.right - client.left, client.bottom - client.top));
      }
      if (!(pos->flags & SWP_NOMOVE)) {
        Send(hwnd, WM_MOVE, 0,
             MAKELPARAM(static_cast<SHORT>(client.left), static_cast<SHORT>(client.top)));
      }
      return 0;
    }
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    case WM_SYSKEYDOWN:
      // Alt+F4 asks the window to close.
      if (wparam == VK_F4 && (lparam & (LPARAM{1} << 29))) {
        PostMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
      }
      return 0;
    case WM_NCLBUTTONDOWN:
      if (IsSizingBorder(wparam)) {
        Send(hwnd, WM_SYSCOMMAND, SC_SIZE + (wparam - HTLEFT + 1), lparam);
      }
      return 0;
    case WM_SYSCOMMAND:
      switch (wparam & 0xFFF0) {
        case SC_CLOSE:
          Send(hwnd, WM_CLOSE, 0, 0);
          break;
        case SC_SIZE:
          if (window->style & WS_THICKFRAME) RunSizeLoop(hwnd, static_cast<int>(wparam & 0xF));
          break;
        default:
          break;
      }
      return 0;
    default:
      return 0;
  }
}
