// Recording shown frames: every kept frame as a numbered PNG in the capture folder.
#include "parts.h"

#include "capture.h"

#include <stdio.h>

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
        std::string path = capture::FramePath(settings.captureDir, frame);
        if (capture::WritePng(path, rgb, width, height)) return;
        // The first frame finds the folder missing: make it, and say once when that fails.
        if (capture::MakeFolder(settings.captureDir) && capture::WritePng(path, rgb, width, height))
            return;
        if (!reported) fprintf(stderr, "ddraw: cannot write %s\n", path.c_str());
        reported = true;
    }

private:
    bool reported = false;
};

} // namespace

FrameSink* TheFrameRecorder() {
    static FrameRecorder* recorder = new FrameRecorder; // outlives exit handlers
    return recorder;
}

} // namespace headless
} // namespace host
