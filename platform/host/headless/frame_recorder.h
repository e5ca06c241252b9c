// Inside host/headless/: the end of the frame recording.
#ifndef PRISMATEL_HOST_HEADLESS_FRAME_RECORDER_H
#define PRISMATEL_HOST_HEADLESS_FRAME_RECORDER_H

namespace host {
namespace headless {

// While sealed no frame is recorded; sealing waits for a frame being written.
void SealFrameRecording(bool sealed);

} // namespace headless
} // namespace host

#endif
