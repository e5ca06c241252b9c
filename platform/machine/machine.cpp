// The simulated PC: clock listeners, performance counter, screen, logs and reset hooks.
#include "machine.h"

#include "host/host.h"

#include <atomic>
#include <map>
#include <mutex>

namespace machine {
namespace {

struct State {
    std::mutex lock;
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

} // namespace

// ---- clock ---------------------------------------------------------------------

int64_t ClockMicroseconds() {
    return host::ClockMicroseconds();
}

void AdvanceFrame() {
    host::ClockStep step = host::FrameShown();
    State& m = TheMachine();
    std::vector<std::function<void(int64_t, int64_t)>> listeners;
    {
        std::lock_guard<std::mutex> guard(m.lock);
        for (auto& entry : m.clockListeners) listeners.push_back(entry.second);
    }
    // Called without the lock so that a listener may use the machine itself.
    for (auto& listener : listeners) listener(step.fromUs, step.toUs);
}

int64_t FramesShown() {
    return host::FramesShown();
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

void PowerOff() {
    host::SealRecording();
}

void ResetForTest() {
    State& m = TheMachine();
    std::vector<std::function<void()>> hooks;
    {
        std::lock_guard<std::mutex> guard(m.lock);
        m.debugLines.clear();
        m.messageBoxes.clear();
        m.counterPresent = true;
        m.counterFrequency = 1000000;
        m.screenWidth = 640;
        m.screenHeight = 480;
        for (auto& entry : m.resetHooks) hooks.push_back(entry.second);
    }
    host::ResetForTest();
    for (auto& hook : hooks) hook();
}

} // namespace machine
