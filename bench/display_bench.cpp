// The display's per-frame cost: one 640 x 480 8-bit EndFrame (pointer, flip, palette,
// presentation of the previous frame) and turning such a frame into RGB for the window
// or the recording.
#include <benchmark/benchmark.h>

#include "bench_display.h"
#include "machine/machine.h"
#include "machine/video_card.h"
#include "system.h"
#include "windriver/windriver.h"

#include <string.h>

#include <vector>

namespace {

// The driver in 640 x 480 Index 8 with a palette set.
sWinDriver* StartDisplay() {
    sWinDriver* driver = StartBenchDisplay(BK_INDEX8);
    sColor colors[256];
    for (int i = 0; i < 256; i++) colors[i] = sColor{(uint8_t)i, (uint8_t)(i * 3), (uint8_t)~i, 0};
    driver->SetPalette(colors);
    return driver;
}

void BM_EndFrame640x480x8(benchmark::State& state) {
    sWinDriver* driver = StartDisplay();
    driver->SetMouse(true, 320, 240);
    for (auto _ : state) {
        driver->BeginFrame(NULL);
        driver->EndFrame();
    }
    StopBenchDisplay(driver);
}
BENCHMARK(BM_EndFrame640x480x8)->Unit(benchmark::kMillisecond);

void BM_FrameToRgb640x480x8(benchmark::State& state) {
    std::vector<uint8_t> pixels(640 * 480);
    for (size_t i = 0; i < pixels.size(); i++) pixels[i] = (uint8_t)(i * 7);
    PALETTEENTRY palette[256];
    for (int i = 0; i < 256; i++) palette[i] = PALETTEENTRY{(BYTE)i, (BYTE)(i / 2), 9, 0};
    std::vector<uint32_t> rgb(640 * 480);
    DDPIXELFORMAT format = video::Index8Format();
    for (auto _ : state) {
        video::ConvertFrame(pixels.data(), 640, 640, 480, format, palette, rgb.data());
        benchmark::DoNotOptimize(rgb.data());
    }
}
BENCHMARK(BM_FrameToRgb640x480x8)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
