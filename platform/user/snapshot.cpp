#include "user/snapshot.h"

namespace platform::user {

std::vector<WindowSnapshot> SnapshotWindows() {
  UserState& state = State();
  std::vector<WindowSnapshot> result;
  for (HWND hwnd : state.z_order) {
    const Window& window = *LookupWindow(hwnd);
    result.push_back({.hwnd = hwnd,
                      .class_name = window.window_class->name,
                      .class_style = window.window_class->style,
                      .title = window.title,
                      .style = window.style | (window.visible ? WS_VISIBLE : 0),
                      .ex_style = window.ex_style,
                      .rect = window.rect,
                      .client = ClientRectOnScreen(window),
                      .visible = window.visible,
                      .active = state.active == hwnd,
                      .focus = state.focus == hwnd});
  }
  return result;
}

std::vector<std::string> RegisteredClasses() {
  std::vector<std::string> names;
  for (const auto& [key, window_class] : State().classes) names.push_back(window_class->name);
  return names;
}

size_t LiveAcceleratorTables() { return State().accelerators.size(); }

void EnableTrace() { State().tracing = true; }

std::vector<TraceRecord> TakeTrace() {
  std::vector<TraceRecord> trace;
  trace.swap(State().trace);
  return trace;
}

}  // namespace platform::user
