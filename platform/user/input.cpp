// Raw input from the display turned into messages, as the thread takes them from its queue:
// the window under the pointer answers WM_NCHITTEST, a press on an inactive window asks
// WM_MOUSEACTIVATE, a second press soon after the first becomes a double-click, and keys go
// to the focus window with the key state of the moment.
#include <windows.h>

#include <cstdlib>

#include "user/user_state.h"

namespace platform::user {
namespace {

using Kind = display::RawInput::Kind;

LRESULT Send(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  return CallProc(hwnd, message, wparam, lparam, true);
}

bool Contains(const RECT& rect, POINT point) {
  return point.x >= rect.left && point.x < rect.right && point.y >= rect.top &&
         point.y < rect.bottom;
}

HWND WindowUnder(POINT point) {
  for (HWND hwnd : State().z_order) {
    Window* window = LookupWindow(hwnd);
    if (!window->visible || !Contains(window->rect, point)) continue;
    if ((window->ex_style & WS_EX_LAYERED) && !PictureTakesInput(*window, point)) continue;
    return hwnd;
  }
  return nullptr;
}

WPARAM MouseKeyFlags() {
  const KeyState& keys = State().keys;
  WPARAM flags = 0;
  if (keys.down[VK_LBUTTON]) flags |= MK_LBUTTON;
  if (keys.down[VK_RBUTTON]) flags |= MK_RBUTTON;
  if (keys.down[VK_SHIFT]) flags |= MK_SHIFT;
  if (keys.down[VK_CONTROL]) flags |= MK_CONTROL;
  return flags;
}

// Mouse messages carry client coordinates in the client area and screen coordinates elsewhere.
LPARAM PointParam(HWND hwnd, POINT point, bool client) {
  if (client) {
    RECT area = ClientRectOnScreen(*LookupWindow(hwnd));
    point.x -= area.left;
    point.y -= area.top;
  }
  return MAKELPARAM(static_cast<SHORT>(point.x), static_cast<SHORT>(point.y));
}

struct ButtonMessages {
  UINT down, up, double_click;
};

ButtonMessages ClientMessages(display::Button button) {
  if (button == display::Button::kRight) {
    return {WM_RBUTTONDOWN, WM_RBUTTONUP, WM_RBUTTONDBLCLK};
  }
  return {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK};
}

// The non-client messages sit at a fixed distance below the client ones.
constexpr UINT kNonClientOffset = WM_LBUTTONDOWN - WM_NCLBUTTONDOWN;

bool IsDoubleClick(HWND hwnd, UINT down_message, const display::RawInput& input) {
  ClickRecord& last = State().last_click;
  display::Metrics metrics = display::CurrentDisplay().GetMetrics();
  POINT point{input.point.x, input.point.y};
  bool is_double = last.hwnd == hwnd && last.message == down_message &&
                   input.time - last.time <= metrics.double_click_time &&
                   std::abs(point.x - last.point.x) <= metrics.double_click_width / 2 &&
                   std::abs(point.y - last.point.y) <= metrics.double_click_height / 2;
  // After a double-click the next press starts a new pair.
  last = is_double ? ClickRecord{} : ClickRecord{hwnd, down_message, input.time, point};
  return is_double;
}

bool PointerMessage(const display::RawInput& input, MSG* msg) {
  UserState& state = State();
  POINT point{input.point.x, input.point.y};
  state.pointer = point;
  state.pointer_seen = true;
  bool down = input.kind == Kind::kButtonDown;
  if (input.kind != Kind::kPointerMove) {
    state.keys.down[input.button == display::Button::kRight ? VK_RBUTTON : VK_LBUTTON] = down;
  }
  HWND hwnd = state.capture ? state.capture : WindowUnder(point);
  if (!hwnd) {
    display::CurrentDisplay().PassThrough(input);
    return false;
  }
  LRESULT hit = Send(hwnd, WM_NCHITTEST, 0, MAKELPARAM(point.x, point.y));
  if (!LookupWindow(hwnd)) return false;
  bool client = hit == HTCLIENT;
  ButtonMessages messages = ClientMessages(input.button);
  UINT message = WM_MOUSEMOVE;
  if (input.kind != Kind::kPointerMove) message = down ? messages.down : messages.up;

  if (down && state.active != hwnd) {
    UINT nc_message = client ? message : message - kNonClientOffset;
    LRESULT answer =
        Send(hwnd, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(hit, nc_message));
    if (answer == MA_ACTIVATE || answer == MA_ACTIVATEANDEAT) ActivateWindow(hwnd, WA_CLICKACTIVE);
    if (answer == MA_ACTIVATEANDEAT || answer == MA_NOACTIVATEANDEAT) return false;
    if (!LookupWindow(hwnd)) return false;
  }
  Send(hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(hit, message));
  if (!LookupWindow(hwnd)) return false;

  if (down && IsDoubleClick(hwnd, client ? message : message - kNonClientOffset, input)) {
    // Only classes that ask for double-clicks get them in the client area.
    if (!client || (LookupWindow(hwnd)->window_class->style & CS_DBLCLKS)) {
      message = messages.double_click;
    }
  }
  WPARAM wparam = MouseKeyFlags();
  if (!client) {
    message = message == WM_MOUSEMOVE ? WM_NCMOUSEMOVE : message - kNonClientOffset;
    wparam = static_cast<WPARAM>(hit);
  }
  *msg = MSG{hwnd, message, wparam, PointParam(hwnd, point, client), input.time, point};
  return true;
}

bool KeyMessage(const display::RawInput& input, MSG* msg) {
  UserState& state = State();
  KeyState& keys = state.keys;
  uint8_t vk = input.key.vk;
  bool down = input.kind == Kind::kKeyDown;
  bool was_down = keys.down[vk];
  keys.down[vk] = down;
  if (down && !was_down) keys.toggled[vk] = !keys.toggled[vk];
  if (down) keys.last_press[vk] = input.key;
  if (!state.focus) return false;

  bool alt = keys.down[VK_MENU] || (!down && vk == VK_MENU);
  // Alt alone (not with Ctrl, which is AltGr) makes system keys, and so does F10.
  bool system = (alt && !keys.down[VK_CONTROL]) || vk == VK_F10;
  UINT message = down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
  LPARAM lparam = 1 | (static_cast<LPARAM>(input.key.scan & 0xFF) << 16);
  if (input.key.extended) lparam |= LPARAM{1} << 24;
  if (alt) lparam |= LPARAM{1} << 29;
  if (was_down) lparam |= LPARAM{1} << 30;
  if (!down) lparam |= LPARAM{1} << 31;
  *msg = MSG{state.focus, message, vk, lparam, input.time, state.pointer};
  return true;
}

}  // namespace

bool MessageFromInput(const display::RawInput& input, MSG* msg) {
  UserState& state = State();
  switch (input.kind) {
    case Kind::kPointerMove:
    case Kind::kButtonDown:
    case Kind::kButtonUp:
      return PointerMessage(input, msg);
    case Kind::kKeyDown:
    case Kind::kKeyUp:
      return KeyMessage(input, msg);
    case Kind::kCloseRequest: {
      HWND hwnd = reinterpret_cast<HWND>(input.surface);
      if (!LookupWindow(hwnd)) return false;
      *msg = MSG{hwnd, WM_SYSCOMMAND, SC_CLOSE, 0, input.time, state.pointer};
      return true;
    }
    case Kind::kFocusIn:
      ActivateWindow(reinterpret_cast<HWND>(input.surface), WA_ACTIVE);
      return false;
    case Kind::kFocusOut:
      DeactivateAll(nullptr);
      return false;
  }
  return false;
}

}  // namespace platform::user
