// Multimedia timer resolution.
#ifndef STRIPBAND_PLATFORM_MMSYSTEM_H
#define STRIPBAND_PLATFORM_MMSYSTEM_H

// NOTE: like Windows' own, this header builds on <windows.h> and does not include it: a
// program includes <windows.h> first. Failing here keeps a wrong order from reaching Windows.
#ifndef STRIPBAND_PLATFORM_WINDOWS_H
#error "include <windows.h> before <mmsystem.h>"
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef UINT MMRESULT;

#define TIMERR_NOERROR 0
#define TIMERR_NOCANDO 97

MMRESULT WINAPI timeBeginPeriod(UINT uPeriod);
MMRESULT WINAPI timeEndPeriod(UINT uPeriod);

#ifdef __cplusplus
}
#endif

#endif  // STRIPBAND_PLATFORM_MMSYSTEM_H
