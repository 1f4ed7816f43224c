// Icons and cursors.
#include <windows.h>

#include "user/user_state.h"

namespace {

// Stand-in handles: the layer draws neither, so a handle only has to say which one it is.
const HICON kProgramIcon = reinterpret_cast<HICON>(0x7F01);
const HCURSOR kArrowCursor = reinterpret_cast<HCURSOR>(0x7F02);

}  // namespace

HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name) {
  if (instance != GetModuleHandleA(nullptr)) return nullptr;
  return name == MAKEINTRESOURCEA(1) ? kProgramIcon : nullptr;
}

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name) {
  if (instance == nullptr && name == IDC_ARROW) return kArrowCursor;
  return nullptr;
}
