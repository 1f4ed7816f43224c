// The process entry on hosts without Win32: choose the display, then start the program's
// WinMain as Windows would.
#include <errno.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "display/display.h"
#include "kernel/process.h"
#ifdef STRIPBAND_X11
#include "display/x11/x11_display.h"
#endif

namespace {

// The X11 desktop when this build has it and a display opens. Otherwise no window can be
// created, the program ends as it does for that case (exit code 0), and this says why.
void ChooseDisplay() {
  std::string why_not = "cannot open display: this build has no display backend";
#ifdef STRIPBAND_X11
  if (auto x11 = platform::display::OpenX11Display(&why_not)) {
    platform::display::InstallDisplay(std::move(x11));
    return;
  }
#endif
  std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, why_not.c_str());
}

}  // namespace

int main() {
  ChooseDisplay();
  char command_line[] = "";
  platform::kernel::RunProcess(
      [&] { return WinMain(GetModuleHandleA(nullptr), nullptr, command_line, SW_SHOWDEFAULT); });
}
