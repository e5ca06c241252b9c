// The multimedia library subset: timers, wave output, PlaySound and MCI.
#ifndef PRISMATEL_MMSYSTEM_H
#define PRISMATEL_MMSYSTEM_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef UINT MMRESULT;
#define MMSYSERR_NOERROR 0
#define MMSYSERR_ERROR 1
#define MMSYSERR_BADDEVICEID 2
#define MMSYSERR_NOTENABLED 3
#define MMSYSERR_ALLOCATED 4
#define MMSYSERR_INVALHANDLE 5
#define MMSYSERR_NODRIVER 6
#define MMSYSERR_NOMEM 7
#define MMSYSERR_INVALFLAG 10
#define MMSYSERR_INVALPARAM 11

// ---- timers ---------------------------------------------------------------
DWORD WINAPI timeGetTime(void);

// ---- wave output ----------------------------------------------------------

// ---- PlaySound ------------------------------------------------------------

// ---- MCI ------------------------------------------------------------------

#ifdef __cplusplus
}
#endif

#endif
