// The band's window: a popup with a sizing border, centred on the primary screen.
#include <windows.h>

#include "app/strip.h"
#include "toolkit/window_toolkit.h"

const char StripClassName[] = "WindowClass_0";

namespace {

const DWORD StripStyle = WS_POPUP | WS_THICKFRAME;
const int StripWidth = 1920;
const int StripHeight = 50;

// Tab and Shift+Tab move the focus among child controls, of which the band has none; the
// table keeps them from typing a tab character.
ACCEL StripAccelerators[] = {
    {FVIRTKEY | FNOINVERT, VK_TAB, NextControlCommand},
    {FVIRTKEY | FNOINVERT | FSHIFT, VK_TAB, PreviousControlCommand},
};

}  // namespace

HWND OpenStripWindow() {
  WNDCLASSA windowClass = {};
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = ToolkitWindowProc;
  windowClass.hInstance = StripModule.Instance;
  windowClass.hIcon = StripModule.Icon;
  windowClass.hCursor = StripModule.Cursor;
  windowClass.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = StripClassName;
  RegisterClassA(&windowClass);

  RECT frame = {0, 0, StripWidth, StripHeight};
  AdjustWindowRectEx(&frame, StripStyle, FALSE, 0);
  int width = frame.right - frame.left;
  int height = frame.bottom - frame.top;

  // Centred on the whole primary screen; the taskbar is not taken into account.
  int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  if (width > screenWidth) width = screenWidth;
  int x = (screenWidth - width) / 2;
  int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  if (height > screenHeight) height = screenHeight;
  int y = (screenHeight - height) / 2;

  HWND window = CreateWindowExA(0, StripClassName, "", StripStyle, x, y, width, height, NULL, NULL,
                                StripModule.Instance, NULL);
  if (!window) {
    UnregisterClassA(StripClassName, StripModule.Instance);
    return NULL;
  }
  ShowWindow(window, SW_SHOWNORMAL);
  AttachAccelerators(
      window, CreateAcceleratorTableA(StripAccelerators,
                                      sizeof(StripAccelerators) / sizeof(StripAccelerators[0])));
  return window;
}
