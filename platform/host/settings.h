// How this process is hosted, read from the environment: which host, its window, its
// clock, what it records and which input it plays.
#ifndef PRISMATEL_HOST_SETTINGS_H
#define PRISMATEL_HOST_SETTINGS_H

#include <functional>
#include <string>

namespace host {

struct Settings {
    bool headless = false;       // PRISMATEL_HEADLESS=1, or no display could be opened
    bool windowed = false;       // PRISMATEL_WINDOWED=1
    int fps = 0;                 // PRISMATEL_FPS (0 = real time; default 60 when headless)
    std::string captureDir;      // PRISMATEL_CAPTURE ("" = none)
    int captureEvery = 1;        // PRISMATEL_CAPTURE_EVERY (default 1)
    std::string input;           // PRISMATEL_INPUT script, raw
    bool inputByDefault = false; // headless without PRISMATEL_INPUT: DEFAULT_HEADLESS_INPUT
};

// Headless nobody can press Escape, and the show would loop for ever: without a script of
// its own (PRISMATEL_INPUT, even empty) a headless run ends as a viewer ends the show.
extern const char* const DEFAULT_HEADLESS_INPUT;

// Parsed once from the environment on first use.
const Settings& GetSettings();
// Replaces the settings (tests); the clock restarts from 0.
void OverrideSettings(const Settings& settings);
// The host could not open a display: run headless from now on, with the virtual clock
// unless PRISMATEL_FPS chose otherwise.
void FallBackToHeadless();
// Parses settings from an environment lookup (exposed for tests).
Settings ParseSettings(const std::function<const char*(const char*)>& getenv);

} // namespace host

#endif
