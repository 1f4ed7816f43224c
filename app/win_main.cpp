#include <windows.h>
#include <commctrl.h>

#include "app/strip.h"

StripResources StripModule;

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  StripModule.Instance = GetModuleHandleA(NULL);

  INITCOMMONCONTROLSEX controls;
  controls.dwSize = sizeof(controls);
  controls.dwICC = ICC_TAB_CLASSES | ICC_HOTKEY_CLASS | ICC_DATE_CLASSES | ICC_USEREX_CLASSES |
                   ICC_INTERNET_CLASSES;
  InitCommonControlsEx(&controls);

  StripModule.Icon = LoadIconA(StripModule.Instance, MAKEINTRESOURCE(1));
  StripModule.Cursor = LoadCursorA(NULL, IDC_ARROW);

  RunStrip();
  EndStrip();
}
