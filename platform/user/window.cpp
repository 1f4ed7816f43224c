// Window classes, window creation and destruction, position, size, stacking and styles.
#include <windows.h>

#include <algorithm>
#include <cctype>

#include "user/resources.h"
#include "user/user_state.h"

namespace platform::user {
namespace {

std::string ClassKey(LPCSTR name) {
  std::string key = name ? name : "";
  for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return key;
}

void PlaceInZOrder(Window& window, HWND insert_after) {
  UserState& state = State();
  if (insert_after == HWND_TOPMOST) {
    window.ex_style |= WS_EX_TOPMOST;
  } else if (insert_after == HWND_NOTOPMOST) {
    window.ex_style &= ~static_cast<DWORD>(WS_EX_TOPMOST);
  } else if (insert_after == HWND_BOTTOM) {
    std::erase(state.z_order, window.handle);
    state.z_order.push_back(window.handle);
    return;
  } else if (insert_after != HWND_TOP && LookupWindow(insert_after)) {
    std::erase(state.z_order, window.handle);
    auto after = std::find(state.z_order.begin(), state.z_order.end(), insert_after);
    state.z_order.insert(after + 1, window.handle);
    return;
  }
  RaiseInBand(window.handle);
}

LRESULT Send(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  return CallProc(hwnd, message, wparam, lparam, true);
}

void Unlink(HWND hwnd) {
  UserState& state = State();
  std::erase(state.z_order, hwnd);
  {
    std::lock_guard lock(state.queues_mutex);
    state.window_threads.erase(hwnd);
  }
  if (auto queue = QueueOf(CurrentThread(), false)) queue->RemoveFor(hwnd);
  state.windows.erase(hwnd);
  display::CurrentDisplay().DestroySurface(reinterpret_cast<display::SurfaceId>(hwnd));
  SyncStacking();
}

}  // namespace

void RaiseInBand(HWND hwnd) {
  UserState& state = State();
  auto topmost = [](HWND h) { return (LookupWindow(h)->ex_style & WS_EX_TOPMOST) != 0; };
  std::erase(state.z_order, hwnd);
  auto position = state.z_order.begin();
  if (!topmost(hwnd)) {
    while (position != state.z_order.end() && topmost(*position)) ++position;
  }
  state.z_order.insert(position, hwnd);
}

}  // namespace platform::user

using namespace platform::user;
namespace display = platform::display;

ATOM WINAPI RegisterClassA(const WNDCLASSA* wc) {
  if (!wc || !wc->lpszClassName || !wc->lpfnWndProc) return 0;
  UserState& state = State();
  std::string key = ClassKey(wc->lpszClassName);
  if (key.empty() || state.classes.contains(key)) return 0;
  auto window_class = std::make_shared<WindowClass>(WindowClass{
      .name = wc->lpszClassName,
      .style = wc->style,
      .proc = wc->lpfnWndProc,
      .instance = wc->hInstance,
      .icon = wc->hIcon,
      .cursor = wc->hCursor,
      .background = wc->hbrBackground,
  });
  state.classes.emplace(key, std::move(window_class));
  return ++state.last_atom;
}

BOOL WINAPI UnregisterClassA(LPCSTR name, HINSTANCE) {
  UserState& state = State();
  auto it = state.classes.find(ClassKey(name));
  if (it == state.classes.end()) return FALSE;
  // A class cannot go while windows of it remain.
  for (const auto& [hwnd, window] : state.windows) {
    if (window->window_class == it->second) return FALSE;
  }
  state.classes.erase(it);
  return TRUE;
}

HWND WINAPI CreateWindowExA(DWORD ex_style, LPCSTR class_name, LPCSTR title, DWORD style, int x,
                            int y, int width, int height, HWND parent, HMENU menu,
                            HINSTANCE instance, LPVOID param) {
  UserState& state = State();
  auto class_it = state.classes.find(ClassKey(class_name));
  if (class_it == state.classes.end()) return nullptr;

  auto owned = std::make_unique<Window>();
  Window& window = *owned;
  window.handle = NewHandle<HWND>();
  window.window_class = class_it->second;
  window.title = title ? title : "";
  window.style = style & ~static_cast<DWORD>(WS_VISIBLE);
  window.ex_style = ex_style;
  window.rect = {x, y, x + width, y + height};
  window.thread = CurrentThread();
  HWND hwnd = window.handle;

  display::SurfaceState surface{.rect = {x, y, x + width, y + height},
                                .topmost = (ex_style & WS_EX_TOPMOST) != 0};
  if (!display::CurrentDisplay().CreateSurface(reinterpret_cast<display::SurfaceId>(hwnd),
                                               surface)) {
    return nullptr;
  }
  if (const IconImage* icon = FindIconImage(window.window_class->icon)) {
    auto picture = std::make_shared<display::Picture>();
    picture->width = icon->width;
    picture->height = icon->height;
    picture->pixels = icon->pixels;
    display::CurrentDisplay().SetIcon(reinterpret_cast<display::SurfaceId>(hwnd),
                                      std::move(picture));
  }
  QueueOf(window.thread, true);
  {
    std::lock_guard lock(state.queues_mutex);
    state.window_threads[hwnd] = window.thread;
  }
  state.windows.emplace(hwnd, std::move(owned));
  RaiseInBand(hwnd);
  SyncStacking();
  // `window` may be destroyed by its own procedure from here on: look it up after each send.

  CREATESTRUCTA create{.lpCreateParams = param,
                       .hInstance = instance,
                       .hMenu = menu,
                       .hwndParent = parent,
                       .cy = height,
                       .cx = width,
                       .y = y,
                       .x = x,
                       .style = static_cast<LONG>(style),
                       .lpszName = title,
                       .lpszClass = class_name,
                       .dwExStyle = ex_style};
  if (!Send(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&create))) {
    if (LookupWindow(hwnd)) {
      Send(hwnd, WM_NCDESTROY, 0, 0);
      Unlink(hwnd);
    }
    return nullptr;
  }
  Window* live = LookupWindow(hwnd);
  if (!live) return nullptr;
  RECT rect = live->rect;
  Send(hwnd, WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&rect));
  if (Send(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
    DestroyWindow(hwnd);
    return nullptr;
  }
  Window* created = LookupWindow(hwnd);
  if (!created) return nullptr;
  RECT client = ClientRectOnScreen(*created);
  Send(hwnd, WM_SIZE, 0, MAKELPARAM(client.right - client.left, client.bottom - client.top));
  Send(hwnd, WM_MOVE, 0, MAKELPARAM(client.left, client.top));
  if (style & WS_VISIBLE) ShowWindow(hwnd, SW_SHOW);
  return LookupWindow(hwnd) ? hwnd : nullptr;
}

BOOL WINAPI DestroyWindow(HWND hwnd) {
  Window* window = LookupWindow(hwnd);
  if (!window || window->destroying) return FALSE;
  window->destroying = true;
  UserState& state = State();
  if (window->visible) {
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                 SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (state.active == hwnd) DeactivateAll(nullptr);
  if (state.focus == hwnd) state.focus = nullptr;
  if (state.capture == hwnd) state.capture = nullptr;
  Send(hwnd, WM_DESTROY, 0, 0);
  Send(hwnd, WM_NCDESTROY, 0, 0);
  Unlink(hwnd);
  return TRUE;
}

BOOL WINAPI ShowWindow(HWND hwnd, int command) {
  Window* window = LookupWindow(hwnd);
  if (!window) return FALSE;
  bool was_visible = window->visible;
  if (command == SW_HIDE) {
    if (!was_visible) return FALSE;
    Send(hwnd, WM_SHOWWINDOW, FALSE, 0);
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                 SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (State().active == hwnd) DeactivateAll(nullptr);
    return TRUE;
  }
  // SW_SHOWNORMAL, SW_SHOW and SW_SHOWDEFAULT all show and activate.
  UINT flags = SWP_NOMOVE | SWP_NOSIZE;
  if (!was_visible) {
    Send(hwnd, WM_SHOWWINDOW, TRUE, 0);
    flags |= SWP_SHOWWINDOW;
  }
  SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, flags);
  return was_visible ? TRUE : FALSE;
}

BOOL WINAPI SetWindowPos(HWND hwnd, HWND insert_after, int x, int y, int cx, int cy, UINT flags) {
  Window* window = LookupWindow(hwnd);
  if (!window) return FALSE;
  WINDOWPOS pos{hwnd, insert_after, x, y, cx, cy, flags};
  if (flags & SWP_NOMOVE) {
    pos.x = window->rect.left;
    pos.y = window->rect.top;
  }
  if (flags & SWP_NOSIZE) {
    pos.cx = window->rect.right - window->rect.left;
    pos.cy = window->rect.bottom - window->rect.top;
  }
  Send(hwnd, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos));
  window = LookupWindow(hwnd);
  if (!window) return FALSE;

  RECT old = window->rect;
  // What the window procedure left in the WINDOWPOS, flags included, is what happens.
  if (pos.flags & SWP_NOMOVE) {
    pos.x = old.left;
    pos.y = old.top;
  }
  if (pos.flags & SWP_NOSIZE) {
    pos.cx = old.right - old.left;
    pos.cy = old.bottom - old.top;
  }
  window->rect = {pos.x, pos.y, pos.x + std::max(pos.cx, 0), pos.y + std::max(pos.cy, 0)};
  if (!(pos.flags & SWP_NOZORDER)) PlaceInZOrder(*window, pos.hwndInsertAfter);
  if (pos.flags & SWP_SHOWWINDOW) window->visible = true;
  if (pos.flags & SWP_HIDEWINDOW) window->visible = false;
  bool resized = old.right - old.left != window->rect.right - window->rect.left ||
                 old.bottom - old.top != window->rect.bottom - window->rect.top;
  bool moved = old.left != window->rect.left || old.top != window->rect.top;
  if (moved || resized || (pos.flags & (SWP_SHOWWINDOW | SWP_HIDEWINDOW))) {
    State().pointer_moved_under = true;
  }
  if (window->visible && (resized || (pos.flags & SWP_SHOWWINDOW))) window->needs_paint = true;
  SyncSurface(*window);
  SyncStacking();

  // NOTE: Win32 ignores a change to SWP_NOACTIVATE made during WM_WINDOWPOSCHANGING.
  if (!(flags & SWP_NOACTIVATE) && window->visible) ActivateWindow(hwnd, WA_ACTIVE);
  if (!LookupWindow(hwnd)) return FALSE;
  if (old.left == pos.x && old.top == pos.y) pos.flags |= SWP_NOMOVE;
  if (!resized) pos.flags |= SWP_NOSIZE;
  Send(hwnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
  return TRUE;
}

LONG WINAPI GetWindowLongA(HWND hwnd, int index) {
  Window* window = LookupWindow(hwnd);
  if (!window) return 0;
  if (index == GWL_STYLE)
    return static_cast<LONG>(window->style | (window->visible ? WS_VISIBLE : 0));
  if (index == GWL_EXSTYLE) return static_cast<LONG>(window->ex_style);
  return 0;
}

LONG WINAPI SetWindowLongA(HWND hwnd, int index, LONG value) {
  Window* window = LookupWindow(hwnd);
  if (!window) return 0;
  LONG previous = GetWindowLongA(hwnd, index);
  if (index == GWL_STYLE) {
    window->style = static_cast<DWORD>(value) & ~static_cast<DWORD>(WS_VISIBLE);
  } else if (index == GWL_EXSTYLE) {
    // The topmost state belongs to the z-order; only SetWindowPos changes it.
    DWORD topmost = window->ex_style & WS_EX_TOPMOST;
    window->ex_style = (static_cast<DWORD>(value) & ~static_cast<DWORD>(WS_EX_TOPMOST)) | topmost;
    // A window that becomes layered, or stops being so, shows no picture until it is given one.
    if ((window->ex_style ^ static_cast<DWORD>(previous)) & WS_EX_LAYERED) {
      window->picture.reset();
      display::CurrentDisplay().SetPicture(reinterpret_cast<display::SurfaceId>(hwnd), nullptr);
    }
  } else {
    return 0;
  }
  SyncSurface(*window);
  return previous;
}

BOOL WINAPI GetWindowRect(HWND hwnd, LPRECT rect) {
  Window* window = LookupWindow(hwnd);
  if (!window || !rect) return FALSE;
  *rect = window->rect;
  return TRUE;
}

BOOL WINAPI GetClientRect(HWND hwnd, LPRECT rect) {
  Window* window = LookupWindow(hwnd);
  if (!window || !rect) return FALSE;
  RECT client = ClientRectOnScreen(*window);
  *rect = {0, 0, client.right - client.left, client.bottom - client.top};
  return TRUE;
}

int WINAPI MapWindowPoints(HWND from, HWND to, LPPOINT points, UINT count) {
  auto origin = [](HWND hwnd, POINT* result) {
    if (!hwnd) {
      *result = {0, 0};  // the desktop: screen coordinates
      return true;
    }
    Window* window = LookupWindow(hwnd);
    if (!window) return false;
    RECT client = ClientRectOnScreen(*window);
    *result = {client.left, client.top};
    return true;
  };
  POINT from_origin, to_origin;
  if (!origin(from, &from_origin) || !origin(to, &to_origin)) return 0;
  LONG dx = from_origin.x - to_origin.x;
  LONG dy = from_origin.y - to_origin.y;
  for (UINT i = 0; points && i < count; ++i) {
    points[i].x += dx;
    points[i].y += dy;
  }
  return MAKELONG(dx, dy);
}

BOOL WINAPI AdjustWindowRectEx(LPRECT rect, DWORD style, BOOL, DWORD) {
  if (!rect) return FALSE;
  int frame = FrameThickness(style);
  rect->left -= frame;
  rect->top -= frame;
  rect->right += frame;
  rect->bottom += frame;
  return TRUE;
}

int WINAPI GetSystemMetrics(int index) {
  display::Metrics metrics = display::CurrentDisplay().GetMetrics();
  switch (index) {
    case SM_CXSCREEN:
      return metrics.screen_width;
    case SM_CYSCREEN:
      return metrics.screen_height;
    case SM_CXFRAME:
    case SM_CYFRAME:
      return metrics.frame;
    case SM_CXDOUBLECLK:
      return metrics.double_click_width;
    case SM_CYDOUBLECLK:
      return metrics.double_click_height;
    default:
      return 0;
  }
}

HWND WINAPI GetActiveWindow(void) { return State().active; }
