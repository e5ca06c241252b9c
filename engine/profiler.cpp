#include "profiler.h"

#include "display.h"

sProfiler frameProfiler;

sProfiler::sProfiler() : current(0), scale(100) {
    counts[0] = 0;
    counts[1] = 0;
}

void sProfiler::SetScale(int milliseconds) {
    scale = milliseconds;
}

void sProfiler::StartFrame(int colour) {
    int64_t now = GetMicroseconds();
    if (counts[current] < PROFILER_MARKS) {
        times[current][counts[current]] = now;
        colours[current][counts[current]] = colour;
        counts[current]++;
    }
    current ^= 1;
    times[current][0] = now;
    colours[current][0] = colour;
    counts[current] = 1;
}

void sProfiler::Mark(int colour) {
    if (counts[current] > PROFILER_MARKS - 1) return;
    times[current][counts[current]] = GetMicroseconds();
    colours[current][counts[current]] = colour;
    counts[current]++;
}

void sProfiler::DrawOverlay(sDisplay& display) {
    sDisplayMode mode;
    display.GetDisplayMode(mode);
    int xmax = mode.width - 10;
    int ytop = mode.height - 21;
    int ybot = mode.height - 10;
    int ymid = (ytop + ybot) / 2;
    int b = current ^ 1;

    display.VLine(PROFILER_LINE_COLOUR, 10, ytop, ybot);
    int x = 10;
    for (int i = 1; i < counts[b]; i++) {
        int xprev = x;
        // Microseconds since the frame's start, from the low words as the bar is short.
        int32_t d = (int32_t)((uint32_t)times[b][i] - (uint32_t)times[b][0]);
        x = 10 + MulDiv(d, xmax - 10, scale * 1000);
        if (10 <= x && x < xmax) {
            display.FillRect(colours[b][i], xprev + 1, ytop + 2, x, ybot - 2);
            display.VLine(PROFILER_LINE_COLOUR, x, ytop, ybot);
        }
    }
    display.HLine(PROFILER_LINE_COLOUR, 10, Min(x, xmax), ymid);
}
