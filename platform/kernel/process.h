// The process: its entry and its end.
#pragma once

#include <windows.h>

#include <functional>

namespace platform::kernel {

// Runs a program's entry as the process's main routine; its return value ends the process.
[[noreturn]] void RunProcess(const std::function<int()>& entry);

// What ExitProcess does once the process is to end. The default ends the real process; a test
// harness that hosts the program may report the ending instead. The handler must not return.
using ExitHandler = void (*)(UINT code);
void SetExitHandler(ExitHandler handler);

// Timer periods raised by timeBeginPeriod and not yet restored.
int OutstandingTimerPeriods();
// The classes InitCommonControlsEx was asked for, 0 before any call.
DWORD InitialisedCommonControls();

}  // namespace platform::kernel
