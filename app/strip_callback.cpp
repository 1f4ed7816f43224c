// StripCallback sees every message of the band's window before its normal processing.
#include <windows.h>

#include "app/strip.h"
#include "toolkit/window_toolkit.h"

LRESULT CALLBACK StripCallback(HWND, UINT, WPARAM, LPARAM) {
  // TODO(drag): pick up, carry and put down the band.
  return ContinueProcessing;
}
