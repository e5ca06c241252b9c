#include "timeline.h"

sTimeline::sTimeline() : effectCount(0), trackCount(0), keyCount(0), activeWindows(0) {
    // start > end: a window that can never be open.
    for (auto& w : windows) {
        w.start = 1.0f;
        w.end = 0.0f;
    }
}

sTimeline::~sTimeline() {
    for (int i = 0; i < effectCount; i++) delete effects[i];
}

void sTimeline::AddEffect(sEffect* e) {
    effects[effectCount++] = e;
}

int sTimeline::SetWindow(int i, float start, float end) {
    windows[i].start = start;
    windows[i].end = end;
    return i;
}

void sTimeline::AddKey(float* target, float time, float value) {
    sTrack* track = nullptr;
    for (int i = 0; i < trackCount && !track; i++)
        if (tracks[i].target == target) track = &tracks[i];
    if (!track) {
        track = &tracks[trackCount++];
        track->target = target;
        track->count = 0;
        track->cursor = 0;
        for (auto& k : track->keys) k = nullptr;
    }
    sKey* k = &keys[keyCount++];
    track->keys[track->count++] = k;
    k->time = time;
    k->value = value;
}

// Turns a track's keys into cubic segments; a tangent is the slope between the two
// neighbouring keys, and 0 at the ends or where those keys share a time.
void sTimeline::PrepareTrack(sTrack& track) {
    if (track.count < 2) {
        sKey& k = *track.keys[0];
        k.start = k.end = 0.0f;
        k.c0 = k.value;
        k.c1 = k.c2 = k.c3 = 0.0f;
        track.count = 1;
        return;
    }
    track.count--;
    sKey** key = track.keys;
    for (int j = 0; j < track.count; j++) {
        float a = key[j]->value;
        float b = key[j + 1]->value;
        key[j]->start = key[j]->time;
        key[j]->end = key[j + 1]->time;
        float m0 = 0.0f;
        if (j >= 1 && key[j - 1]->time != key[j + 1]->time)
            m0 = (b - key[j - 1]->value) / (key[j + 1]->time - key[j - 1]->time);
        float m1 = 0.0f;
        if (j + 1 < track.count && key[j]->time != key[j + 2]->time)
            m1 = (key[j + 2]->value - a) / (key[j + 2]->time - key[j]->time);
        key[j]->c0 = a;
        key[j]->c1 = m0;
        key[j]->c2 = 3.0f * b - (2.0f * m0 + 3.0f * a + m1);
        key[j]->c3 = 2.0f * a + m1 + m0 - 2.0f * b;
    }
}

void sTimeline::Prepare(sDisplay& display) {
    for (int i = 0; i < trackCount; i++) PrepareTrack(tracks[i]);
    for (int i = 0; i < effectCount; i++) effects[i]->Prepare(display);
}

float sTrack::Evaluate(float t) {
    if (!(t > keys[0]->start)) return keys[0]->value;
    if (keys[1] == nullptr) return keys[0]->value;
    if (!(t < keys[count - 1]->end)) return keys[count]->value;
    // The cursor persists, so steadily moving time costs a step or two either way.
    while (keys[cursor]->end < t) cursor++;
    while (keys[cursor]->start > t) cursor--;
    const sKey& k = *keys[cursor];
    float u = (t - k.start) / (k.end - k.start);
    return ((k.c3 * u + k.c2) * u + k.c1) * u + k.c0;
}

void sTimeline::Draw(sDisplay& display, float t) {
    for (int i = 0; i < trackCount; i++) *tracks[i].target = tracks[i].Evaluate(t);
    activeWindows = 0;
    for (int i = 0; i < TIMELINE_WINDOWS; i++)
        if (windows[i].start < t && t < windows[i].end) activeWindows |= 1u << i;
    for (int i = 0; i < effectCount; i++) {
        sEffect* e = effects[i];
        if (e->windowMask == 0 || (e->windowMask & activeWindows) != 0) e->Draw(display, t);
    }
}
