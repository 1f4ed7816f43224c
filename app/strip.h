// stripband: a translucent, topmost band across the screen that the user picks up with a left
// press, carries up and down with the mouse and puts down with the next left press. A typed
// character, a right press on the band or a close request ends the program.
//
// Start reading at WinMain (win_main.cpp): it loads the class resources and calls RunStrip
// (run_strip.cpp), which opens the window (strip_window.cpp), makes it topmost, installs
// StripCallback (strip_callback.cpp) and runs the event loop (event_loop.cpp). Every way out
// goes through EndStrip.
#pragma once

#include <windows.h>

// What start-up loads for the window class.
struct StripResources {
  HINSTANCE Instance;
  HICON Icon;
  HCURSOR Cursor;
};
extern StripResources StripModule;

extern const char StripClassName[];

int RunStrip();
HWND OpenStripWindow();
void RunEventLoop(HWND window);
[[noreturn]] void EndStrip();
LRESULT CALLBACK StripCallback(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// 0 while the band is at rest; while it is carried, the client y of the press that picked it
// up, plus 1.
extern LONG GrabOffset;
