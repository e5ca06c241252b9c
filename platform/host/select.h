// Inside host/: how the settings reach the choice of parts and the clock.
#ifndef PRISMATEL_HOST_SELECT_H
#define PRISMATEL_HOST_SELECT_H

#include "host.h"
#include "settings.h"

namespace host {

// Chooses the parts for these settings and configures them (called with every change).
void Choose(const Settings& settings);
// Time since start-up (or the last restart) by the host computer's monotonic clock.
Clock* TheRealClock();
// Frames shown and clock time back to 0.
void RestartClock();

} // namespace host

#endif
