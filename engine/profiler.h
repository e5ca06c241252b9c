// sProfiler: coloured time marks within a frame, drawn as a bar for the previous frame.
#ifndef PRISMATEL_PROFILER_H
#define PRISMATEL_PROFILER_H

#include "system.h"

class sDisplay;

const int PROFILER_MARKS = 64;

class sProfiler {
public:
    sProfiler();

    void SetScale(int milliseconds);
    // Closes the running frame with a mark and opens the next one with the same mark.
    void StartFrame(int colour);
    void Mark(int colour);
    // Draws the last finished frame along the bottom of the screen.
    void DrawOverlay(sDisplay& display);

    int64_t times[2][PROFILER_MARKS];
    int32_t colours[2][PROFILER_MARKS];
    int32_t counts[2];
    int32_t current;
    int32_t scale;
};

// The overlay's frame lines: the grey ramp's black, visible on the show's light screens.
const int PROFILER_LINE_COLOUR = 0;

extern sProfiler frameProfiler;

#endif
