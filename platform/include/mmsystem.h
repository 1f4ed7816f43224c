// Multimedia timer resolution.
#ifndef STRIPBAND_PLATFORM_MMSYSTEM_H
#define STRIPBAND_PLATFORM_MMSYSTEM_H

#include <windows.h>

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
