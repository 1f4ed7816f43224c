// Keyboard accelerator tables.
#include <windows.h>

#include "user/user_state.h"

using namespace platform::user;

HACCEL WINAPI CreateAcceleratorTableA(LPACCEL entries, int count) {
  if (!entries || count <= 0) return nullptr;
  HACCEL table = NewHandle<HACCEL>();
  State().accelerators.emplace(table, std::vector<ACCEL>(entries, entries + count));
  return table;
}

BOOL WINAPI DestroyAcceleratorTable(HACCEL table) {
  return State().accelerators.erase(table) ? TRUE : FALSE;
}

int WINAPI TranslateAcceleratorA(HWND hwnd, HACCEL table, LPMSG msg) {
  UserState& state = State();
  auto it = state.accelerators.find(table);
  if (!hwnd || !msg || it == state.accelerators.end() || !LookupWindow(hwnd)) return 0;
  bool key_message = msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN;
  bool char_message = msg->message == WM_CHAR || msg->message == WM_SYSCHAR;
  if (!key_message && !char_message) return 0;
  const KeyState& keys = state.keys;
  for (const ACCEL& entry : it->second) {
    bool virtual_key = (entry.fVirt & FVIRTKEY) != 0;
    if (virtual_key != key_message || entry.key != msg->wParam) continue;
    // A virtual-key entry matches only with exactly its Shift, Ctrl and Alt held.
    if (virtual_key && (((entry.fVirt & FSHIFT) != 0) != keys.down[VK_SHIFT] ||
                        ((entry.fVirt & FCONTROL) != 0) != keys.down[VK_CONTROL] ||
                        ((entry.fVirt & FALT) != 0) != keys.down[VK_MENU])) {
      continue;
    }
    if (!virtual_key && ((entry.fVirt & FALT) != 0) != (msg->message == WM_SYSCHAR)) continue;
    CallProc(hwnd, WM_COMMAND, MAKEWPARAM(entry.cmd, 1), 0, true);
    return 1;
  }
  return 0;
}
