// The settings from the environment, and their changes: each one chooses the host's parts
// again.
#include "settings.h"

#include "select.h"

#include <stdlib.h>
#include <string.h>

#include <mutex>

namespace host {
namespace {

struct State {
    std::mutex lock;
    bool parsed = false;
    Settings settings;
    bool fpsFromEnvironment = false;
};

State& TheSettings() {
    static State* state = new State; // never destroyed: threads may outlive exit handlers
    return *state;
}

int ParseInt(const char* text, int fallback) {
    if (!text || !*text) return fallback;
    char* end = nullptr;
    long value = strtol(text, &end, 10);
    if (*end != 0 || value < 0 || value > 100000) return fallback;
    return (int)value;
}

bool IsOne(const char* text) {
    return text && strcmp(text, "1") == 0;
}

bool NoDisplayVariable(const std::function<const char*(const char*)>& getenv) {
#ifdef __EMSCRIPTEN__
    // In the browser the page is the display, and it has no such variables.
    (void)getenv;
    return false;
#endif
    const char* x11 = getenv("DISPLAY");
    const char* wayland = getenv("WAYLAND_DISPLAY");
    return !(x11 && *x11) && !(wayland && *wayland);
}

void EnsureParsed(State& s) {
    if (s.parsed) return;
    auto env = [](const char* name) -> const char* { return ::getenv(name); };
    s.settings = ParseSettings(env);
    s.fpsFromEnvironment = ParseInt(::getenv("PRISMATEL_FPS"), -1) >= 0;
    s.parsed = true;
    Choose(s.settings);
}

} // namespace

Settings ParseSettings(const std::function<const char*(const char*)>& getenv) {
    Settings s;
    s.headless = IsOne(getenv("PRISMATEL_HEADLESS")) || NoDisplayVariable(getenv);
    s.windowed = IsOne(getenv("PRISMATEL_WINDOWED"));
    s.fps = ParseInt(getenv("PRISMATEL_FPS"), s.headless ? 60 : 0);
    const char* capture = getenv("PRISMATEL_CAPTURE");
    s.captureDir = capture ? capture : "";
    s.captureEvery = ParseInt(getenv("PRISMATEL_CAPTURE_EVERY"), 1);
    if (s.captureEvery < 1) s.captureEvery = 1;
    const char* input = getenv("PRISMATEL_INPUT");
    s.input = input ? input : "";
    return s;
}

const Settings& GetSettings() {
    State& s = TheSettings();
    std::lock_guard<std::mutex> guard(s.lock);
    EnsureParsed(s);
    return s.settings;
}

void OverrideSettings(const Settings& settings) {
    {
        State& s = TheSettings();
        std::lock_guard<std::mutex> guard(s.lock);
        s.settings = settings;
        s.fpsFromEnvironment = true;
        s.parsed = true;
        Choose(s.settings);
    }
    RestartClock();
}

void FallBackToHeadless() {
    State& s = TheSettings();
    std::lock_guard<std::mutex> guard(s.lock);
    EnsureParsed(s);
    s.settings.headless = true;
    if (!s.fpsFromEnvironment && s.settings.fps == 0) s.settings.fps = 60;
    Choose(s.settings);
}

} // namespace host
