// The simulated machine as most tests start it: headless, freshly reset, on the virtual
// clock. The library itself needs nothing of this; it only says once what every test of the
// platform, the engine and the demo would say.
#ifndef TESTS_SUPPORT_HEADLESS_MACHINE_H
#define TESTS_SUPPORT_HEADLESS_MACHINE_H

#include <functional>

#include "host/settings.h"

using SettingsChange = std::function<void(host::Settings&)>;

// Resets the machine with no window and no speakers, the virtual clock at `fps` frames a
// second (0: real time), and whatever `change` sets besides (a recording, a script).
void StartHeadlessMachine(int fps = 60, const SettingsChange& change = nullptr);

// Changes the settings of the running machine without a reset; the clock restarts from 0.
void ChangeSettings(const SettingsChange& change);

#endif
