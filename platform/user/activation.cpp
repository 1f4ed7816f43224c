// Activation and keyboard focus. Our thread's active window is the foreground one; when the
// desktop gives the foreground to another program, the thread has no active window.
#include <windows.h>

#include "user/user_state.h"

namespace platform::user {
namespace {

LRESULT Send(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  return CallProc(hwnd, message, wparam, lparam, true);
}

void SendActivateApp(BOOL active) {
  std::vector<HWND> windows = State().z_order;
  for (HWND hwnd : windows) Send(hwnd, WM_ACTIVATEAPP, active, 0);
}

}  // namespace

void ActivateWindow(HWND hwnd, WORD how) {
  UserState& state = State();
  Window* window = LookupWindow(hwnd);
  if (!window || !window->visible || state.active == hwnd) return;
  HWND previous = state.active;
  if (previous) {
    Send(previous, WM_NCACTIVATE, FALSE, 0);
    Send(previous, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), reinterpret_cast<LPARAM>(hwnd));
  }
  state.active = hwnd;
  RaiseInBand(hwnd);
  SyncStacking();
  display::CurrentDisplay().Activate(reinterpret_cast<display::SurfaceId>(hwnd));
  if (!previous) SendActivateApp(TRUE);
  if (state.active != hwnd) return;
  Send(hwnd, WM_NCACTIVATE, TRUE, 0);
  Send(hwnd, WM_ACTIVATE, MAKEWPARAM(how, 0), reinterpret_cast<LPARAM>(previous));
}

void DeactivateAll(HWND next) {
  UserState& state = State();
  HWND previous = state.active;
  if (!previous) return;
  state.active = nullptr;
  Send(previous, WM_NCACTIVATE, FALSE, 0);
  Send(previous, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), reinterpret_cast<LPARAM>(next));
  SendActivateApp(FALSE);
  if (HWND focus = state.focus) {
    state.focus = nullptr;
    Send(focus, WM_KILLFOCUS, 0, 0);
  }
}

void SetFocusTo(HWND hwnd) {
  UserState& state = State();
  if (state.focus == hwnd) return;
  HWND previous = state.focus;
  state.focus = hwnd;
  if (previous) Send(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
  if (hwnd) Send(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
}

}  // namespace platform::user
