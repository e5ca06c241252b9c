// Recording shown frames: every kept frame as a numbered PNG in the capture folder.
#include "frame_recorder.h"

#include "capture.h"
#include "parts.h"

#include <stdio.h>

#include <mutex>

namespace host {
namespace headless {
namespace {

class FrameRecorder : public FrameSink {
public:
    void Show(const uint32_t* rgb, int width, int height, int64_t frame) override {
        Settings settings = Configured();
        if (settings.captureDir.empty()) return;
        int every = settings.captureEvery > 0 ? settings.captureEvery : 1;
        if (frame % every) return;
        std::lock_guard<std::mutex> guard(lock);
        if (sealed) return;
        std::string path = capture::FramePath(settings.captureDir, frame);
        if (capture::WritePng(path, rgb, width, height)) return;
        // The first frame finds the folder missing: make it, and say once when that fails.
        if (capture::MakeFolder(settings.captureDir) && capture::WritePng(path, rgb, width, height))
            return;
        if (!reported) fprintf(stderr, "ddraw: cannot write %s\n", path.c_str());
        reported = true;
    }

    void Seal(bool seal) {
        std::lock_guard<std::mutex> guard(lock);
        sealed = seal;
    }

private:
    std::mutex lock; // held while a frame is written
    bool sealed = false;
    bool reported = false;
};

FrameRecorder* TheRecorder() {
    static FrameRecorder* recorder = new FrameRecorder; // outlives exit handlers
    return recorder;
}

} // namespace

FrameSink* TheFrameRecorder() {
    return TheRecorder();
}

void SealFrameRecording(bool sealed) {
    TheRecorder()->Seal(sealed);
}

} // namespace headless
} // namespace host
