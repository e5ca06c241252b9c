// The show's music: 33.36 seconds written for the show's timeline, rendered by the
// small synthesiser.
#ifndef TOOLS_ASSETS_MUSIC_H
#define TOOLS_ASSETS_MUSIC_H

#include "assets_synth.h"

namespace assets {

// 1,277 MPEG audio frames of 1,152 samples.
const long MUSIC_FRAMES = 1471104;
// Peak of the finished mix, a little under -1 dBFS.
const float MUSIC_PEAK = 0.85f;

// Moments of the show the music follows, in seconds.
namespace cue {
const double BEAT_START = 2.0;   // the screen is white, the titles start to move
const double FIRST_FRAME = 10.3; // frames open every 0.5 s up to LAST_FRAME
const double LAST_FRAME = 15.3;
const double RISE = 16.3;  // connectors grow, the background fades in
const double DROP = 17.3;  // warp panels open every 0.3 s
const double CRASH = 23.0; // everything turns white until OUTRO
const double OUTRO = 24.0;
} // namespace cue

// The section joins, for checks that nothing clicks there.
extern const double SECTION_JOINS[6];

StereoBuffer RenderMusic();

} // namespace assets

#endif
