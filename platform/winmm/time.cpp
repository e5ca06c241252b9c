// timeGetTime: milliseconds on the machine clock.
#include <mmsystem.h>

#include "machine/machine.h"

extern "C" DWORD WINAPI timeGetTime(void) {
    return (DWORD)(machine::ClockMicroseconds() / 1000);
}
