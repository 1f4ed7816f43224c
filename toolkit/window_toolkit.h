// The windowing toolkit: a window procedure that offers every message to a per-window
// callback first, the event wait that the program's loop is built on, and a pause.
#pragma once

#include <windows.h>

// A callback returns this to let the window procedure go on with the message's normal
// processing; any other value ends it and becomes the window procedure's result.
const LRESULT ContinueProcessing = static_cast<LRESULT>(0xE0E0E0E1u);

// The event the window procedure records for a close request.
const int CloseEvent = WM_CLOSE;

// Commands that move the keyboard focus among a window's child controls.
const WORD NextControlCommand = 64001;
const WORD PreviousControlCommand = 64002;

typedef LRESULT(CALLBACK* MessageCallback)(HWND, UINT, WPARAM, LPARAM);

// The window procedure of toolkit windows: register classes with it.
LRESULT CALLBACK ToolkitWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

void SetMessageCallback(HWND window, MessageCallback callback);
void AttachAccelerators(HWND window, HACCEL accelerators);
HACCEL GetAccelerators(HWND window);

// Puts the window above all windows that are not topmost, and activates it.
void SetTopmost(HWND window);

// Returns the oldest event the window procedure recorded, or else takes one message from the
// thread's queue (blocking), lets `window`'s accelerators take it while that window is active,
// otherwise translates and dispatches it, and returns its number.
int WaitEvent(HWND window);

// Sleeps with the system timer at its finest resolution; takes no messages meanwhile.
void Pause(DWORD milliseconds);
