#include "headless_machine.h"

#include "machine/machine.h"

void StartHeadlessMachine(int fps, const SettingsChange& change) {
    host::Settings settings;
    settings.headless = true;
    settings.fps = fps;
    if (change) change(settings);
    host::OverrideSettings(settings);
    machine::ResetForTest();
}

void ChangeSettings(const SettingsChange& change) {
    host::Settings settings = host::GetSettings();
    change(settings);
    host::OverrideSettings(settings);
}
