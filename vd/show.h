// The show: every effect, time window and keyframe of the 36-second sequence.
#ifndef VD_SHOW_H
#define VD_SHOW_H

#include "timeline.h"

void BuildShow(sTimeline& timeline);

#endif
