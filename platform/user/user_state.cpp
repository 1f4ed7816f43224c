#include "user/user_state.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>

namespace platform::user {

UserState& State() {
  static UserState state;
  return state;
}

Window* LookupWindow(HWND hwnd) {
  auto& windows = State().windows;
  auto it = windows.find(hwnd);
  return it == windows.end() ? nullptr : it->second.get();
}

DWORD CurrentThread() { return static_cast<DWORD>(syscall(SYS_gettid)); }

std::shared_ptr<MessageQueue> QueueOf(DWORD thread, bool create) {
  UserState& state = State();
  std::lock_guard lock(state.queues_mutex);
  auto it = state.queues.find(thread);
  if (it != state.queues.end()) return it->second;
  if (!create) return nullptr;
  auto queue = std::make_shared<MessageQueue>();
  state.queues.emplace(thread, queue);
  return queue;
}

std::shared_ptr<MessageQueue> QueueOfWindow(HWND hwnd) {
  UserState& state = State();
  std::lock_guard lock(state.queues_mutex);
  auto owner = state.window_threads.find(hwnd);
  if (owner == state.window_threads.end()) return nullptr;
  auto it = state.queues.find(owner->second);
  return it == state.queues.end() ? nullptr : it->second;
}

void MessageQueue::Post(const MSG& msg) {
  {
    std::lock_guard lock(mutex_);
    messages_.push_back(msg);
  }
  display::CurrentDisplay().Wake();
}

bool MessageQueue::Pop(MSG* msg) {
  std::lock_guard lock(mutex_);
  if (messages_.empty()) return false;
  *msg = messages_.front();
  messages_.pop_front();
  return true;
}

void MessageQueue::RemoveFor(HWND hwnd) {
  std::lock_guard lock(mutex_);
  std::erase_if(messages_, [hwnd](const MSG& msg) { return msg.hwnd == hwnd; });
}

void Record(TraceRecord::Kind kind, bool sent, HWND hwnd, UINT message, WPARAM wparam,
            LPARAM lparam, DWORD time) {
  if (!State().tracing) return;
  auto& trace = State().trace;
  if (trace.size() >= State().trace_limit) trace.erase(trace.begin(), trace.begin() + 1000);
  trace.push_back({kind, sent, hwnd, message, wparam, lparam, time, State().proc_depth});
}

LRESULT CallProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, bool sent) {
  Window* window = LookupWindow(hwnd);
  if (!window) return 0;
  WNDPROC proc = window->window_class->proc;
  Record(TraceRecord::Kind::kDelivered, sent, hwnd, message, wparam, lparam,
         display::CurrentDisplay().Now());
  UserState& state = State();
  ++state.proc_depth;
  LRESULT result = proc(hwnd, message, wparam, lparam);
  --state.proc_depth;
  return result;
}

int FrameThickness(DWORD style) {
  return (style & WS_THICKFRAME) ? display::CurrentDisplay().GetMetrics().frame : 0;
}

RECT ClientRectOnScreen(const Window& window) {
  int frame = FrameThickness(window.style);
  RECT client{window.rect.left + frame, window.rect.top + frame, window.rect.right - frame,
              window.rect.bottom - frame};
  client.right = std::max(client.right, client.left);
  client.bottom = std::max(client.bottom, client.top);
  return client;
}

void SyncSurface(const Window& window) {
  display::SurfaceState surface{
      .rect = {window.rect.left, window.rect.top, window.rect.right, window.rect.bottom},
      .visible = window.visible,
      .topmost = (window.ex_style & WS_EX_TOPMOST) != 0,
      .layered = (window.ex_style & WS_EX_LAYERED) != 0};
  display::CurrentDisplay().UpdateSurface(reinterpret_cast<display::SurfaceId>(window.handle),
                                          surface);
}

void SyncStacking() {
  UserState& state = State();
  if (state.z_order == state.shown_stack) return;
  state.shown_stack = state.z_order;
  state.stack_ids.clear();
  for (HWND hwnd : state.z_order) {
    state.stack_ids.push_back(reinterpret_cast<display::SurfaceId>(hwnd));
  }
  display::CurrentDisplay().Restack(state.stack_ids);
}

}  // namespace platform::user
