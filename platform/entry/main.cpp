// The process entry on hosts without Win32: start the program's WinMain as Windows would.
#include <windows.h>

#include "kernel/process.h"

int main() {
  char command_line[] = "";
  platform::kernel::RunProcess(
      [&] { return WinMain(GetModuleHandleA(nullptr), nullptr, command_line, SW_SHOWDEFAULT); });
}
