// Frames for the canvas: the main thread hands a frame over and waits until the page has
// drawn it on an animation frame, which paces the program at the display's refresh rate as
// the SDL host's vertical blank does.
#include "parts.h"

#include "page.h"

#include <emscripten.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace host {
namespace web {
namespace {

// A hidden tab draws nothing: the program then goes on at this pace rather than hanging.
const auto DRAW_GIVE_UP = std::chrono::seconds(2);

struct Drawing {
    std::mutex lock;
    std::condition_variable drawn;
    std::vector<uint8_t> rgba; // read by the page until it has drawn
    int64_t submitted = 0;
    int64_t presented = 0;
    bool stopped = false;
};

Drawing& TheDrawing() {
    static Drawing* drawing = new Drawing; // outlives exit handlers
    return *drawing;
}

// The canvas takes bytes R, G, B, A; the screen gives 0x00RRGGBB words.
void ToRgba(const uint32_t* rgb, size_t count, uint8_t* out) {
    for (size_t i = 0; i < count; i++, out += 4) {
        out[0] = (uint8_t)(rgb[i] >> 16);
        out[1] = (uint8_t)(rgb[i] >> 8);
        out[2] = (uint8_t)rgb[i];
        out[3] = 255;
    }
}

class CanvasFrames : public FrameSink {
public:
    void Show(const uint32_t* rgb, int width, int height, int64_t frame) override {
        if (!WindowIsOpen() || !rgb || width <= 0 || height <= 0) return;
        Drawing& d = TheDrawing();
        std::unique_lock<std::mutex> guard(d.lock);
        if (d.stopped) return;
        size_t count = (size_t)width * height;
        d.rgba.resize(count * 4);
        ToRgba(rgb, count, d.rgba.data());
        int64_t mine = ++d.submitted;
        page::Draw(d.rgba.data(), width, height, frame, mine);
        d.drawn.wait_for(guard, DRAW_GIVE_UP, [&] { return d.presented >= mine || d.stopped; });
    }
};

} // namespace

FrameSink* TheFrameSink() {
    static CanvasFrames* frames = new CanvasFrames; // outlives exit handlers
    return frames;
}

void StopDrawing() {
    Drawing& d = TheDrawing();
    {
        std::lock_guard<std::mutex> guard(d.lock);
        d.stopped = true;
    }
    d.drawn.notify_all();
}

int64_t FramesDrawn() {
    Drawing& d = TheDrawing();
    std::lock_guard<std::mutex> guard(d.lock);
    return d.presented;
}

void ResetDrawing() {
    Drawing& d = TheDrawing();
    std::lock_guard<std::mutex> guard(d.lock);
    d.submitted = d.presented = 0;
    d.stopped = false;
}

} // namespace web
} // namespace host

// The page has drawn the frame handed over as `sequence` (page's thread).
extern "C" EMSCRIPTEN_KEEPALIVE void prismatel_page_drawn(double sequence) {
    host::web::Drawing& d = host::web::TheDrawing();
    {
        std::lock_guard<std::mutex> guard(d.lock);
        if ((int64_t)sequence > d.presented) d.presented = (int64_t)sequence;
    }
    d.drawn.notify_all();
}
