// The simulated PC: settings, clock, logs and reset hooks.
#include "machine.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>

namespace machine {
namespace {

struct State {
    std::mutex lock;
    bool settingsParsed = false;
    Settings settings;
    bool fpsFromEnvironment = false;

    std::chrono::steady_clock::time_point realStart = std::chrono::steady_clock::now();
    std::atomic<int64_t> frames{0};
    int64_t lastAdvanceUs = 0;
    std::map<int, std::function<void(int64_t, int64_t)>> clockListeners;
    int nextListenerId = 1;

    std::atomic<bool> counterPresent{true};
    std::atomic<int64_t> counterFrequency{1000000};
    std::atomic<int> screenWidth{640};
    std::atomic<int> screenHeight{480};

    std::vector<std::string> debugLines;
    std::vector<std::pair<std::string, std::string>> messageBoxes;
    std::map<int, std::function<void()>> resetHooks;
    int nextResetHookId = 1;
};

State& TheMachine() {
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
    const char* x11 = getenv("DISPLAY");
    const char* wayland = getenv("WAYLAND_DISPLAY");
    return !(x11 && *x11) && !(wayland && *wayland);
}

void EnsureParsed(State& m) {
    if (m.settingsParsed) return;
    auto env = [](const char* name) -> const char* { return ::getenv(name); };
    m.settings = ParseSettings(env);
    m.fpsFromEnvironment = ParseInt(::getenv("PRISMATEL_FPS"), -1) >= 0;
    m.settingsParsed = true;
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
    State& m = TheMachine();
    std::lock_guard<std::mutex> guard(m.lock);
    EnsureParsed(m);
    return m.settings;
}

void OverrideSettings(const Settings& settings) {
    State& m = TheMachine();
    std::lock_guard<std::mutex> guard(m.lock);
    m.settings = settings;
    m.fpsFromEnvironment = true;
    m.settingsParsed = true;
    m.frames = 0;
    m.lastAdvanceUs = 0;
    m.realStart = std::chrono::steady_clock::now();
}

void FallBackToHeadless() {
    State& m = TheMachine();
    std::lock_guard<std::mutex> guard(m.lock);
    EnsureParsed(m);
    m.settings.headless = true;
    if (!m.fpsFromEnvironment && m.settings.fps == 0) m.settings.fps = 60;
}

// ---- clock ---------------------------------------------------------------------

bool VirtualClock() {
    return GetSettings().fps > 0;
}

int64_t ClockMicroseconds() {
    State& m = TheMachine();
    int fps = GetSettings().fps;
    if (fps > 0) return m.frames.load() * 1000000 / fps;
    auto elapsed = std::chrono::steady_clock::now() - m.realStart;
    return std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count();
}

void AdvanceFrame() {
    State& m = TheMachine();
    m.frames++;
    int64_t to = ClockMicroseconds();
    std::vector<std::function<void(int64_t, int64_t)>> listeners;
    int64_t from;
    {
        std::lock_guard<std::mutex> guard(m.lock);
        from = m.lastAdvanceUs;
        m.lastAdvanceUs = to;
        for (auto& entry : m.clockListeners) listeners.push_back(entry.second);
    }
    // Called without the lock so that a listener may use the machine itself.
    for (auto& listener : listeners) listener(from, to);
}

int64_t FramesShown() {
    return TheMachine().frames.load();
}

int AddClockListener(std::function<void(int64_t fromUs, int64_t toUs)> listener) {
    State& m = TheMachine();
    std::lock_guard<std::mutex> guard(m.lock);
    int id = m.nextListenerId++;
    m.clockListeners[id] = std::move(listener);
    return id;
}

void RemoveClockListener(int id) {
    State& m = TheMachine();
    std::lock_guard<std::mutex> guard(m.lock);
    m.clockListeners.erase(id);
}

void SetPerformanceCounterPresent(bool present) {
    TheMachine().counterPresent = present;
}
bool PerformanceCounterPresent() {
    return TheMachine().counterPresent;
}
void SetPerformanceFrequency(int64_t countsPerSecond) {
    if (countsPerSecond > 0) TheMachine().counterFrequency = countsPerSecond;
}
int64_t PerformanceFrequency() {
    return TheMachine().counterFrequency;
}

// ---- screen ----------------------------------------------------------------------

void SetScreenSize(int width, int height) {
    TheMachine().screenWidth = width;
    TheMachine().screenHeight = height;
}
int ScreenWidth() {
    return TheMachine().screenWidth;
}
int ScreenHeight() {
    return TheMachine().screenHeight;
}

// ---- logs ------------------------------------------------------------------------

std::vector<std::string> DebugLines() {
    State& m = TheMachine();
    std::lock_guard<std::mutex> guard(m.lock);
    return m.debugLines;
}

std::vector<std::pair<std::string, std::string>> MessageBoxes() {
    State& m = TheMachine();
    std::lock_guard<std::mutex> guard(m.lock);
    return m.messageBoxes;
}

void RecordDebugText(const char* text) {
    State& m = TheMachine();
    std::lock_guard<std::mutex> guard(m.lock);
    m.debugLines.push_back(text ? text : "");
}

void RecordMessageBox(const char* caption, const char* text) {
    State& m = TheMachine();
    std::lock_guard<std::mutex> guard(m.lock);
    m.messageBoxes.emplace_back(caption ? caption : "", text ? text : "");
}

// ---- runs ------------------------------------------------------------------------

int AddResetHook(std::function<void()> hook) {
    State& m = TheMachine();
    std::lock_guard<std::mutex> guard(m.lock);
    int id = m.nextResetHookId++;
    m.resetHooks[id] = std::move(hook);
    return id;
}

void ResetKernelForTest(); // kernel.cpp
void ResetUserForTest();   // user.cpp

void ResetForTest() {
    State& m = TheMachine();
    std::vector<std::function<void()>> hooks;
    {
        std::lock_guard<std::mutex> guard(m.lock);
        m.debugLines.clear();
        m.messageBoxes.clear();
        m.frames = 0;
        m.lastAdvanceUs = 0;
        m.realStart = std::chrono::steady_clock::now();
        m.counterPresent = true;
        m.counterFrequency = 1000000;
        m.screenWidth = 640;
        m.screenHeight = 480;
        for (auto& entry : m.resetHooks) hooks.push_back(entry.second);
    }
    ResetKernelForTest();
    ResetUserForTest();
    for (auto& hook : hooks) hook();
}

} // namespace machine
