// The headless host's settings, its window (there is none) and its virtual clock.
#include "parts.h"

#include "frame_recorder.h"
#include "input_script.h"
#include "sound_recorder.h"

#include <atomic>
#include <mutex>

namespace host {
namespace headless {
namespace {

struct Configuration {
    std::mutex lock;
    Settings settings;
    std::atomic<int> fps{0}; // read by every clock query: kept apart from the lock
};

Configuration& TheConfiguration() {
    static Configuration* configuration = new Configuration; // outlives exit handlers
    return *configuration;
}

class NoWindow : public Window {
public:
    bool Open(const char*) override { return false; }
    bool IsOpen() override { return false; }
    void Show(bool) override {}
    void Close() override {}
    void Pump(std::vector<Event>&) override {}
    void SetCursorVisible(bool) override {}
    void StopPresenting() override {}
    int64_t FramesPresented() override { return 0; }
    void ShowMessageBox(const char*, const char*, bool) override {}
    void SetListener(EventListener) override {}
};

class VirtualClock : public Clock {
public:
    int64_t Microseconds(int64_t framesShown) override {
        int fps = TheConfiguration().fps;
        return fps > 0 ? framesShown * 1000000 / fps : 0;
    }
    void Restart() override {}
};

} // namespace

void Configure(const Settings& settings) {
    Configuration& c = TheConfiguration();
    std::lock_guard<std::mutex> guard(c.lock);
    c.settings = settings;
    c.fps = settings.fps;
}

Settings Configured() {
    Configuration& c = TheConfiguration();
    std::lock_guard<std::mutex> guard(c.lock);
    return c.settings;
}

Window* TheWindow() {
    static NoWindow* window = new NoWindow;
    return window;
}

Clock* TheVirtualClock() {
    static VirtualClock* clock = new VirtualClock;
    return clock;
}

void SealRecording() {
    SealFrameRecording(true);
    SealSoundRecording(true);
}

void ResetForTest() {
    CloseSoundRecording();
    SealFrameRecording(false);
    SealSoundRecording(false);
    ResetInputScript();
}

} // namespace headless
} // namespace host
