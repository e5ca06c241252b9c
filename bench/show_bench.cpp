// The show's frame at its busiest moment (about 20.5 s: the second background, eleven warp
// panels and the palette fades), and the 2D blits it is built from, against a plain copy.
#include <benchmark/benchmark.h>

#include "bench_display.h"
#include "effect.h"
#include "file.h"
#include "machine/machine.h"
#include "show.h"
#include "system.h"
#include "timeline.h"
#include "windriver/windriver.h"

#include <limits.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// build/bin/bench_show -> build/data
std::string DataDirectory() {
    char exe[PATH_MAX] = {};
    if (readlink("/proc/self/exe", exe, sizeof exe - 1) <= 0) return "data";
    std::string path = exe;
    path = path.substr(0, path.rfind('/'));
    return path.substr(0, path.rfind('/')) + "/data";
}

// The driver, packfile and show are set up once: the packfile stays open for the process,
// as it does in the demo, and the benchmark calls its function several times.
struct Show {
    sWinDriver* driver = nullptr;
    sTimeline* timeline = nullptr;
};

Show& TheShow() {
    static Show show;
    if (show.driver) return show;
    show.driver = StartBenchDisplay(BK_INDEX8);
    OpenPackfile((DataDirectory() + "/q47.dat").c_str());
    show.timeline = new sTimeline;
    BuildShow(*show.timeline);
    show.timeline->Prepare(*show.driver);
    show.driver->PrepareTextures(show.driver->current);
    show.driver->UploadTextures();
    return show;
}

void BM_ShowFrameAt20500ms(benchmark::State& state) {
    if (access((DataDirectory() + "/q47.dat").c_str(), R_OK) != 0) {
        state.SkipWithError("no show data: build the data first");
        return;
    }
    Show& show = TheShow();
    float t = 20500.0f;
    for (auto _ : state) {
        show.driver->BeginFrame(NULL);
        if (paletteDirty) {
            show.driver->SetPalette(demoPalette);
            paletteDirty = false;
        }
        show.timeline->Draw(*show.driver, t);
        show.driver->EndFrame();
        t += 0.01f; // the panels move, the palette stays
    }
}
BENCHMARK(BM_ShowFrameAt20500ms)
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("median", [](const std::vector<double>& v) {
        std::vector<double> s = v;
        std::sort(s.begin(), s.end());
        return s[s.size() / 2];
    });

sTexture* MakeImage(sWinDriver* driver) {
    sTexture* t = new sTexture{};
    t->bitmap = new sBitmap;
    t->bitmap->Create(640, 480, BK_INDEX8, 1);
    for (int y = 0; y < 480; y++) memset(t->bitmap->PixelAddress(0, y, 0), y & 0xFF, 640);
    t->type = TT_IMAGE;
    driver->AddTexture(t);
    driver->PrepareTextures(driver->current);
    driver->UploadTextures();
    return t;
}

void BM_BlitFullScreenFromVideoMemory(benchmark::State& state) {
    sWinDriver* driver = TheShow().driver;
    sTexture* t = MakeImage(driver);
    for (auto _ : state) {
        sBlitRect r = {0, 0, 0, 0, 640, 480};
        driver->Blit(t, r);
    }
    state.SetBytesProcessed(state.iterations() * 640 * 480);
    t->videoSurface->Release();
    t->systemSurface->Release();
    delete t->bitmap;
    driver->RemoveTexture(t);
    delete t;
}
BENCHMARK(BM_BlitFullScreenFromVideoMemory)->Unit(benchmark::kMicrosecond);

void BM_BlitBitmapIndex8To565(benchmark::State& state) {
    sWinDriver* driver = TheShow().driver;
    sDisplayMode mode(640, 480, BK_0565);
    driver->FindMode(mode);
    driver->SetDisplayMode(mode);
    sBitmap b;
    b.Create(640, 480, BK_INDEX8, 1);
    for (int y = 0; y < 480; y++) memset(b.PixelAddress(0, y, 0), y & 0xFF, 640);
    for (auto _ : state) {
        sBlitRect r = {0, 0, 0, 0, 640, 480};
        driver->BlitBitmap(&b, r);
    }
    state.SetBytesProcessed(state.iterations() * 640 * 480 * 2);
}
BENCHMARK(BM_BlitBitmapIndex8To565)->Unit(benchmark::kMicrosecond);

void BM_PlainCopyOfAScreen(benchmark::State& state) {
    std::vector<uint8_t> from(640 * 480 * 2, 7), to(640 * 480 * 2);
    for (auto _ : state) {
        memcpy(to.data(), from.data(), (size_t)state.range(0));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_PlainCopyOfAScreen)->Arg(640 * 480)->Arg(640 * 480 * 2)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
