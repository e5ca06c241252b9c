// Matching screenshots of a run against the frames another run recorded: both are shrunk
// to thumbnails (box averages, so that a pixel or an edge drawn a little differently weighs
// little) and compared by mean absolute difference in levels 0..255 per colour channel.
#ifndef TOOLS_FRAMEMATCH_H
#define TOOLS_FRAMEMATCH_H

#include <stdint.h>

#include <vector>

#include "pngio.h"

namespace framematch {

struct Thumb {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb; // width * height * 3
};

// Each factor x factor block of the image becomes one pixel (the image's size is cut to a
// multiple of factor). Works on every layout of pngio::Image.
Thumb Shrink(const pngio::Image& image, int factor);

// Blacks out the thumbnail rows that image rows first..last (inclusive) fell into, for a
// part of the picture that is expected to differ (one drawn from real-time measurements).
void MaskRows(Thumb& thumb, int factor, int first, int last);

// Mean of |a - b| over every channel of every pixel; a huge value when the sizes differ.
double MeanAbsDifference(const Thumb& a, const Thumb& b);

struct Match {
    int frame = -1;      // the frame chosen for this shot, in order with the others
    double distance = 0; // its difference to the shot
    int nearest = -1;    // the closest frame of all, order aside
    double nearestDistance = 0;
};

// One frame per shot, in strictly increasing frame order across the shots, so that the
// summed difference is smallest. Empty when there are more shots than frames.
std::vector<Match> MatchInOrder(const std::vector<Thumb>& shots, const std::vector<Thumb>& frames);

} // namespace framematch

#endif
