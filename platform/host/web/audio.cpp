// The page's speakers: Web Audio takes blocks of sound from here on the page's thread.
// In real time it pulls the sound card's mix, as the SDL host's audio device does; on the
// virtual clock (?fps=N) the card paces its mix by the frames and the page plays what that
// gave, so the page sounds what a recording of the same frames holds.
#include "parts.h"

#include "page.h"

#include <emscripten.h>
#include <string.h>

#include <algorithm>
#include <deque>
#include <mutex>

namespace host {
namespace web {
namespace {

// Clock-paced sound waiting for the page beyond this (stereo frames, 2 s) is dropped: the
// page is not playing it.
const size_t MAX_QUEUED_FRAMES = 2 * 44100;

struct Speakers {
    std::mutex lock; // also held while pulling, so that Close waits for a pull under way
    bool pacedByClock = false;
    MixFunction mix = nullptr;
    std::deque<int16_t> queued;
    bool started = false;
};

Speakers& TheSpeakers() {
    static Speakers* speakers = new Speakers; // outlives exit handlers
    return *speakers;
}

void StartOnce(Speakers& s) {
    if (s.started) return;
    s.started = true;
    page::StartSound();
}

class WebAudio : public SoundSink {
public:
    bool PacedByClock() override {
        Speakers& s = TheSpeakers();
        std::lock_guard<std::mutex> guard(s.lock);
        return s.pacedByClock;
    }

    bool Open(MixFunction mix) override {
        Speakers& s = TheSpeakers();
        std::lock_guard<std::mutex> guard(s.lock);
        s.mix = mix;
        StartOnce(s);
        return true;
    }

    void Close() override {
        Speakers& s = TheSpeakers();
        std::lock_guard<std::mutex> guard(s.lock);
        s.mix = nullptr;
    }

    void Write(const int16_t* samples, int count) override {
        Speakers& s = TheSpeakers();
        std::lock_guard<std::mutex> guard(s.lock);
        StartOnce(s);
        s.queued.insert(s.queued.end(), samples, samples + count);
        while (s.queued.size() > 2 * MAX_QUEUED_FRAMES) s.queued.pop_front();
    }
};

// The next `frames` stereo frames of what the page has not played yet; the rest silence.
int TakeQueued(Speakers& s, int16_t* out, int frames) {
    size_t have = s.queued.size() / 2;
    int taken = have < (size_t)frames ? (int)have : frames;
    std::copy(s.queued.begin(), s.queued.begin() + 2 * taken, out);
    s.queued.erase(s.queued.begin(), s.queued.begin() + 2 * taken);
    memset(out + 2 * taken, 0, (size_t)(frames - taken) * 4);
    return taken;
}

} // namespace

SoundSink* TheSoundSink() {
    static WebAudio* audio = new WebAudio; // outlives exit handlers
    return audio;
}

void Configure(const Settings& settings) {
    Speakers& s = TheSpeakers();
    std::lock_guard<std::mutex> guard(s.lock);
    s.pacedByClock = settings.fps > 0;
}

} // namespace web
} // namespace host

// Page's thread: fills `frames` stereo frames at `out` and says how many of them are the
// program's sound (the rest is silence while it has none).
extern "C" EMSCRIPTEN_KEEPALIVE int prismatel_page_sound(int16_t* out, int frames) {
    host::web::Speakers& s = host::web::TheSpeakers();
    if (!out || frames <= 0) return 0;
    std::lock_guard<std::mutex> guard(s.lock);
    if (s.mix) {
        s.mix(out, frames);
        return frames;
    }
    return host::web::TakeQueued(s, out, frames);
}
