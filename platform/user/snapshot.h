// A read-only view of user32's state for test drivers and diagnostics. Read it only while the
// owning thread waits for input (the headless display's WhileHeld), or after it has stopped.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "user/user_state.h"

namespace platform::user {

struct WindowSnapshot {
  HWND hwnd = nullptr;
  std::string class_name;
  UINT class_style = 0;
  std::string title;
  DWORD style = 0;  // WS_VISIBLE included when shown
  DWORD ex_style = 0;
  RECT rect{};
  RECT client{};  // screen coordinates
  bool visible = false;
  bool active = false;
  bool focus = false;
};

std::vector<WindowSnapshot> SnapshotWindows();  // top to bottom
std::vector<std::string> RegisteredClasses();
size_t LiveAcceleratorTables();
// Starts recording every message that reaches a window procedure or leaves GetMessageA.
void EnableTrace();
// The records since the last call.
std::vector<TraceRecord> TakeTrace();

}  // namespace platform::user
