// What user32 keeps: window classes, windows, the thread's message queue, activation, focus
// and the input state. Only the thread that owns the windows changes it; other threads post
// messages (the queue has its own lock) and the test driver reads it while that thread waits.
#pragma once

#include <windows.h>

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "display/display.h"

namespace platform::user {

struct WindowClass {
  std::string name;
  UINT style = 0;
  WNDPROC proc = nullptr;
  HINSTANCE instance = nullptr;
  HICON icon = nullptr;
  HCURSOR cursor = nullptr;
  HBRUSH background = nullptr;
};

struct Window {
  HWND handle = nullptr;
  std::shared_ptr<const WindowClass> window_class;
  std::string title;
  DWORD style = 0;
  DWORD ex_style = 0;
  RECT rect{};  // screen coordinates, frame included
  bool visible = false;
  bool needs_paint = false;
  bool destroying = false;
  DWORD thread = 0;
  // A layered window's picture, as the last UpdateLayeredWindow gave it; until then it shows
  // nothing and takes no input.
  std::shared_ptr<const display::Picture> picture;
};

// One record per message that reached a window procedure or left GetMessageA.
struct TraceRecord {
  enum class Kind : uint32_t { kDelivered, kRetrieved };
  Kind kind;
  bool sent;  // kDelivered: sent (inside another call) rather than dispatched from the queue
  HWND hwnd;
  UINT message;
  WPARAM wparam;
  LPARAM lparam;
  DWORD time;
  // Window procedure calls under way when this one began: 0 for a call made straight from the
  // thread's own code (its loop, or a function it called outside any window procedure).
  uint32_t depth;
};

class MessageQueue {
 public:
  void Post(const MSG& msg);
  bool Pop(MSG* msg);
  void RemoveFor(HWND hwnd);

 private:
  std::mutex mutex_;
  std::deque<MSG> messages_;
};

struct KeyState {
  bool down[256] = {};
  bool toggled[256] = {};
  // The character the layout gave with the last press of each key, for TranslateMessage.
  display::KeyInput last_press[256] = {};
};

struct ClickRecord {
  HWND hwnd = nullptr;
  UINT message = 0;  // the button-down message of the previous press
  DWORD time = 0;
  POINT point{};
};

struct UserState {
  std::map<std::string, std::shared_ptr<const WindowClass>> classes;  // by lower-case name
  std::map<HWND, std::unique_ptr<Window>> windows;
  std::vector<HWND> z_order;  // top to bottom
  std::map<HACCEL, std::vector<ACCEL>> accelerators;
  // Guarded by queues_mutex, since any thread may post.
  std::map<DWORD, std::shared_ptr<MessageQueue>> queues;
  std::map<HWND, DWORD> window_threads;
  std::mutex queues_mutex;
  HWND active = nullptr;
  HWND focus = nullptr;
  HWND capture = nullptr;
  POINT pointer{};
  bool pointer_seen = false;  // the display has reported the pointer at least once
  // A window moved, resized, appeared or went away: the window under a still pointer gets a
  // mouse move for the pointer's unchanged place, as if the pointer had moved.
  bool pointer_moved_under = false;
  KeyState keys;
  ClickRecord last_click;
  // Off unless a test driver asks for it: a real program has no use for the record.
  bool tracing = false;
  std::vector<TraceRecord> trace;
  size_t trace_limit = 200000;
  // The stacking the display was last told, and room to tell it again without allocating.
  std::vector<HWND> shown_stack;
  std::vector<display::SurfaceId> stack_ids;
  uint32_t proc_depth = 0;  // window procedure calls under way on the owning thread
  uintptr_t next_handle = 0x10010;
  ATOM last_atom = 0xC000;  // class atoms are never reused while the process lives
};

UserState& State();

// The live window behind a handle, or null.
Window* LookupWindow(HWND hwnd);
std::shared_ptr<MessageQueue> QueueOf(DWORD thread, bool create);
// The queue of the thread that owns a window, from any thread; null for no window.
std::shared_ptr<MessageQueue> QueueOfWindow(HWND hwnd);
DWORD CurrentThread();

template <typename Handle>
Handle NewHandle() {
  UserState& state = State();
  state.next_handle += 0x10;
  return reinterpret_cast<Handle>(state.next_handle);
}

// Calls a window procedure, recording the call in the trace.
LRESULT CallProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, bool sent);
void Record(TraceRecord::Kind kind, bool sent, HWND hwnd, UINT message, WPARAM wparam,
            LPARAM lparam, DWORD time);

// Geometry shared by the window functions, hit testing and the resize loop.
int FrameThickness(DWORD style);
RECT ClientRectOnScreen(const Window& window);
void SyncSurface(const Window& window);
void SyncStacking();
// Puts a window at the top of its band: topmost windows stay above all others.
void RaiseInBand(HWND hwnd);

// Activation and focus (activation.cpp).
void ActivateWindow(HWND hwnd, WORD how);
void DeactivateAll(HWND next);
void SetFocusTo(HWND hwnd);

// Whether a layered window's picture takes input at a screen point (layered.cpp).
bool PictureTakesInput(const Window& window, POINT point);

// Raw input to messages (input.cpp). False when the input makes no message.
bool MessageFromInput(const display::RawInput& input, MSG* msg);
// The resize loop of SC_SIZE (size_loop.cpp).
void RunSizeLoop(HWND hwnd, int edge);

}  // namespace platform::user
