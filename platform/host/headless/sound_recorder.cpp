// The headless host's speakers: the machine clock paces the mix, and when recording it is
// appended to "<capture>/audio.wav" (44,100 Hz 16-bit stereo), the header kept right after
// every append so that the file is complete whenever the program stops.
#include "sound_recorder.h"

#include "capture.h"
#include "parts.h"

#include <stdio.h>
#include <string.h>

#include <mutex>
#include <string>

namespace host {
namespace headless {
namespace {

const int kRate = 44100;

class WaveFile {
public:
    void Append(const std::string& dir, const int16_t* samples, int count) {
        if (dir.empty()) return;
        if (!file || dir != openDir) Open(dir);
        if (!file) return;
        fwrite(samples, sizeof(int16_t), count, file);
        dataBytes += (uint32_t)count * 2;
        WriteHeader();
        fseek(file, 0, SEEK_END);
        fflush(file);
    }
    void Close() {
        if (file) fclose(file);
        file = nullptr;
        openDir.clear();
        dataBytes = 0;
    }

private:
    void Open(const std::string& dir) {
        Close();
        std::string path = dir + "/audio.wav";
        if (capture::MakeFolder(dir)) file = fopen(path.c_str(), "wb");
        if (!file) {
            // Said once per folder: every block of the mix comes back here.
            if (dir != failedDir) fprintf(stderr, "sound: cannot write %s\n", path.c_str());
            failedDir = dir;
            return;
        }
        openDir = dir;
        WriteHeader();
    }
    static void PutLE(uint8_t* at, uint32_t value, int bytes) {
        for (int i = 0; i < bytes; i++) at[i] = (uint8_t)(value >> (8 * i));
    }
    void WriteHeader() {
        uint8_t h[44];
        memcpy(h, "RIFF", 4);
        PutLE(h + 4, 36 + dataBytes, 4);
        memcpy(h + 8, "WAVEfmt ", 8);
        PutLE(h + 16, 16, 4);
        PutLE(h + 20, 1, 2); // PCM
        PutLE(h + 22, 2, 2);
        PutLE(h + 24, kRate, 4);
        PutLE(h + 28, kRate * 4, 4);
        PutLE(h + 32, 4, 2);
        PutLE(h + 34, 16, 2);
        memcpy(h + 36, "data", 4);
        PutLE(h + 40, dataBytes, 4);
        fseek(file, 0, SEEK_SET);
        fwrite(h, 1, sizeof h, file);
    }
    FILE* file = nullptr;
    std::string openDir;
    std::string failedDir; // the folder last reported as unwritable
    uint32_t dataBytes = 0;
};

class SoundRecorder : public SoundSink {
public:
    bool PacedByClock() override { return true; }
    bool Open(MixFunction) override { return false; }
    void Close() override {}
    void Write(const int16_t* samples, int count) override {
        std::string dir = Configured().captureDir;
        std::lock_guard<std::mutex> guard(lock);
        if (!sealed) wave.Append(dir, samples, count);
    }
    void Finish() {
        std::lock_guard<std::mutex> guard(lock);
        wave.Close();
    }
    void Seal(bool seal) {
        std::lock_guard<std::mutex> guard(lock);
        sealed = seal;
    }

private:
    std::mutex lock;
    WaveFile wave;
    bool sealed = false;
};

SoundRecorder* TheRecorder() {
    static SoundRecorder* recorder = new SoundRecorder; // outlives exit handlers
    return recorder;
}

} // namespace

SoundSink* TheSoundRecorder() {
    return TheRecorder();
}

void CloseSoundRecording() {
    TheRecorder()->Finish();
}

void SealSoundRecording(bool sealed) {
    TheRecorder()->Seal(sealed);
}

} // namespace headless
} // namespace host
