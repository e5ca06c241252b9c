// Frame presentation: the main thread hands over a frame and waits; the window thread
// uploads it to a streaming texture, scales it with its aspect kept and presents it.
#include "presenter.h"

#include "parts.h"

#include <string.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace host {
namespace sdl {
namespace {

// How long a caller waits for a window thread that has stopped pumping before giving up,
// so that a stuck window can never hang the program.
const auto PRESENT_GIVE_UP = std::chrono::seconds(2);

struct Presenter {
    std::mutex lock;
    std::condition_variable shown;
    std::vector<uint32_t> pending;
    int width = 0;
    int height = 0;
    int64_t submitted = 0;
    int64_t presented = 0;
    bool stopped = false;

    // Window thread only.
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    int textureWidth = 0;
    int textureHeight = 0;
    bool vsync = false;
    std::chrono::steady_clock::duration period = std::chrono::microseconds(16667);
    std::chrono::steady_clock::time_point lastPresent;
};

Presenter& ThePresenter() {
    static Presenter* presenter = new Presenter;
    return *presenter;
}

std::chrono::steady_clock::duration RefreshPeriod(SDL_Window* window) {
    SDL_DisplayMode mode;
    int hz = 60;
    if (SDL_GetWindowDisplayMode(window, &mode) == 0 && mode.refresh_rate > 0)
        hz = mode.refresh_rate;
    return std::chrono::microseconds(1000000 / hz);
}

bool FitTexture(Presenter& p, int width, int height) {
    if (p.texture && p.textureWidth == width && p.textureHeight == height) return true;
    if (p.texture) SDL_DestroyTexture(p.texture);
    p.texture = SDL_CreateTexture(p.renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING,
                                  width, height);
    if (!p.texture) return false;
    p.textureWidth = width;
    p.textureHeight = height;
    // Letterboxed, aspect kept, whatever the window's size.
    SDL_RenderSetLogicalSize(p.renderer, width, height);
    return true;
}

// Without a real vertical blank (software renderers) the pace of a 60 Hz display is kept
// by waiting out the rest of the refresh period.
void PaceLikeVsync(Presenter& p) {
    auto now = std::chrono::steady_clock::now();
    if (!p.vsync) {
        auto due = p.lastPresent + p.period;
        if (now < due) {
            SDL_Delay(
                (Uint32)std::chrono::duration_cast<std::chrono::milliseconds>(due - now).count());
            now = std::chrono::steady_clock::now();
        }
    }
    p.lastPresent = now;
}

void Draw(Presenter& p, const std::vector<uint32_t>& frame, int width, int height) {
    if (!FitTexture(p, width, height)) return;
    SDL_UpdateTexture(p.texture, nullptr, frame.data(), width * 4);
    SDL_SetRenderDrawColor(p.renderer, 0, 0, 0, 255);
    SDL_RenderClear(p.renderer);
    SDL_RenderCopy(p.renderer, p.texture, nullptr, nullptr);
    SDL_RenderPresent(p.renderer);
    PaceLikeVsync(p);
}

} // namespace

bool OpenPresenter(SDL_Window* window, bool windowed) {
    Presenter& p = ThePresenter();
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, windowed ? "nearest" : "linear");
    p.renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_PRESENTVSYNC);
    if (!p.renderer) p.renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
    if (!p.renderer) return false;
    SDL_RendererInfo info;
    p.vsync = SDL_GetRendererInfo(p.renderer, &info) == 0 &&
              (info.flags & SDL_RENDERER_PRESENTVSYNC) && !(info.flags & SDL_RENDERER_SOFTWARE);
    p.period = RefreshPeriod(window);
    p.lastPresent = std::chrono::steady_clock::now();
    std::lock_guard<std::mutex> guard(p.lock);
    p.stopped = false;
    return true;
}

void ClosePresenter() {
    Presenter& p = ThePresenter();
    if (p.texture) SDL_DestroyTexture(p.texture);
    if (p.renderer) SDL_DestroyRenderer(p.renderer);
    p.texture = nullptr;
    p.renderer = nullptr;
    p.textureWidth = p.textureHeight = 0;
}

void ServePendingFrame() {
    Presenter& p = ThePresenter();
    std::vector<uint32_t> frame;
    int width, height;
    int64_t sequence;
    {
        std::lock_guard<std::mutex> guard(p.lock);
        if (p.submitted == p.presented || !p.renderer) return;
        frame.swap(p.pending);
        width = p.width;
        height = p.height;
        sequence = p.submitted;
    }
    Draw(p, frame, width, height);
    {
        std::lock_guard<std::mutex> guard(p.lock);
        p.presented = sequence;
        if (p.pending.empty()) p.pending.swap(frame); // keeps the buffer for the next frame
    }
    p.shown.notify_all();
}

int64_t FramesPresented() {
    Presenter& p = ThePresenter();
    std::lock_guard<std::mutex> guard(p.lock);
    return p.presented;
}

void StopPresenting() {
    Presenter& p = ThePresenter();
    {
        std::lock_guard<std::mutex> guard(p.lock);
        p.stopped = true;
    }
    p.shown.notify_all();
}

namespace {

// Main thread: hands a frame to the window thread and blocks until it has been presented
// (vsync-paced); returns at once without a window.
void PresentFrame(const uint32_t* rgb, int width, int height) {
    if (!WindowIsOpen() || !rgb || width <= 0 || height <= 0) return;
    Presenter& p = ThePresenter();
    std::unique_lock<std::mutex> guard(p.lock);
    if (p.stopped) return;
    p.pending.resize((size_t)width * height);
    memcpy(p.pending.data(), rgb, p.pending.size() * 4);
    p.width = width;
    p.height = height;
    int64_t mine = ++p.submitted;
    p.shown.wait_for(guard, PRESENT_GIVE_UP, [&] { return p.presented >= mine || p.stopped; });
}

class PresentedFrames : public FrameSink {
public:
    void Show(const uint32_t* rgb, int width, int height, int64_t) override {
        PresentFrame(rgb, width, height);
    }
};

} // namespace

FrameSink* TheFrameSink() {
    static PresentedFrames* frames = new PresentedFrames; // outlives exit handlers
    return frames;
}

void ResetPresenter() {
    Presenter& p = ThePresenter();
    std::lock_guard<std::mutex> guard(p.lock);
    p.submitted = p.presented = 0;
    p.pending.clear();
    p.stopped = false;
}

} // namespace sdl
} // namespace host
