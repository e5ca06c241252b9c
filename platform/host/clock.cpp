// The machine clock: frames shown and the clock part's time for them. Real time is the
// default clock of every host; the headless host brings the virtual one.
#include "host.h"

#include "select.h"

#include <atomic>
#include <chrono>
#include <mutex>

namespace host {
namespace {

class RealClock : public Clock {
public:
    int64_t Microseconds(int64_t) override { return (NowNs() - start) / 1000; }
    void Restart() override { start = NowNs(); }

private:
    static int64_t NowNs() {
        auto now = std::chrono::steady_clock::now().time_since_epoch();
        return std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
    }
    std::atomic<int64_t> start{NowNs()};
};

struct Steps {
    std::mutex lock;
    std::atomic<int64_t> frames{0};
    int64_t lastStepUs = 0;
};

Steps& TheSteps() {
    static Steps* steps = new Steps; // never destroyed: threads may outlive exit handlers
    return *steps;
}

} // namespace

Clock* TheRealClock() {
    static RealClock* clock = new RealClock;
    return clock;
}

int64_t ClockMicroseconds() {
    return Current().clock->Microseconds(TheSteps().frames.load());
}

ClockStep FrameShown() {
    Steps& s = TheSteps();
    s.frames++;
    int64_t to = ClockMicroseconds();
    std::lock_guard<std::mutex> guard(s.lock);
    ClockStep step = {s.lastStepUs, to};
    s.lastStepUs = to;
    return step;
}

int64_t FramesShown() {
    return TheSteps().frames.load();
}

void RestartClock() {
    Steps& s = TheSteps();
    std::lock_guard<std::mutex> guard(s.lock);
    s.frames = 0;
    s.lastStepUs = 0;
    TheRealClock()->Restart();
}

} // namespace host
