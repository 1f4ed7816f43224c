// Common controls: only the initialisation call.
#ifndef STRIPBAND_PLATFORM_COMMCTRL_H
#define STRIPBAND_PLATFORM_COMMCTRL_H

// NOTE: like Windows' own, this header builds on <windows.h> and does not include it: a
// program includes <windows.h> first. Failing here keeps a wrong order from reaching Windows.
#ifndef STRIPBAND_PLATFORM_WINDOWS_H
#error "include <windows.h> before <commctrl.h>"
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct tagINITCOMMONCONTROLSEX {
  DWORD dwSize;
  DWORD dwICC;
} INITCOMMONCONTROLSEX, *LPINITCOMMONCONTROLSEX;

#define ICC_TAB_CLASSES 0x00000008
#define ICC_HOTKEY_CLASS 0x00000040
#define ICC_DATE_CLASSES 0x00000100
#define ICC_USEREX_CLASSES 0x00000200
#define ICC_INTERNET_CLASSES 0x00000800

BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX* picce);

#ifdef __cplusplus
}
#endif

#endif  // STRIPBAND_PLATFORM_COMMCTRL_H
