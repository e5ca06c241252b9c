// sTimeline: the show's effects in drawing order, their keyframe tracks and time windows.
#ifndef VD_TIMELINE_H
#define VD_TIMELINE_H

#include "effect.h"

// One key, and after Prepare the cubic segment that starts at it.
struct sKey {
    float time, value;
    float start, end;
    float c0, c1, c2, c3;
};

const int TRACK_KEYS = 32;

struct sTrack {
    float* target;
    sKey* keys[TRACK_KEYS];
    int32_t count;
    int32_t cursor;

    float Evaluate(float t);
};

const int TIMELINE_EFFECTS = 64;
const int TIMELINE_TRACKS = 64;
const int TIMELINE_KEYS = 1024;
const int TIMELINE_WINDOWS = 32;

class sTimeline {
public:
    sTimeline();
    ~sTimeline();

    void AddEffect(sEffect* e);
    int SetWindow(int i, float start, float end);
    void AddKey(float* target, float time, float value);
    void Prepare(sDisplay& display);
    void Draw(sDisplay& display, float t);

    sEffect* effects[TIMELINE_EFFECTS];
    int32_t effectCount;
    sTrack tracks[TIMELINE_TRACKS];
    int32_t trackCount;
    sKey keys[TIMELINE_KEYS];
    int32_t keyCount;
    struct {
        float start, end;
    } windows[TIMELINE_WINDOWS];
    uint32_t activeWindows;

private:
    void PrepareTrack(sTrack& track);
};

#endif
