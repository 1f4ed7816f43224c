// Common controls. None are used yet, so initialising them only checks the request.
#include <windows.h>
#include <commctrl.h>

#include "kernel/process.h"

namespace {

DWORD initialised = 0;

}  // namespace

BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX* request) {
  if (!request || request->dwSize != sizeof(INITCOMMONCONTROLSEX)) return FALSE;
  initialised |= request->dwICC;
  return TRUE;
}

DWORD platform::kernel::InitialisedCommonControls() { return initialised; }
