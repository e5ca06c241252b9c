// The simulated CD drive and disc, its play position on the machine clock, and the sound of
// its audio tracks through the sound card.
#include "cd_drive.h"

#include "machine.h"
#include "sound_card.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <memory>
#include <mutex>

namespace machine {
namespace {

const int CD_RATE = 44100;

// One track's sound as 16-bit stereo frames at 44,100 Hz.
typedef std::vector<int16_t> TrackSound;

int64_t FramesOfMs(int64_t ms) {
    return ms * CD_RATE / 1000;
}

uint32_t Little32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | (uint32_t)p[3] << 24;
}
uint16_t Little16(const uint8_t* p) {
    return (uint16_t)(p[0] | p[1] << 8);
}

bool ReadFile(const std::string& path, std::vector<uint8_t>* bytes) {
    FILE* file = fopen(path.c_str(), "rb");
    if (!file) return false;
    uint8_t buffer[65536];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes->insert(bytes->end(), buffer, buffer + got);
    fclose(file);
    return true;
}

// A RIFF/WAVE file of 44,100 Hz 16-bit PCM, mono or stereo, as stereo frames.
bool DecodeWave(const std::vector<uint8_t>& file, TrackSound* sound) {
    if (file.size() < 12 || memcmp(&file[0], "RIFF", 4) || memcmp(&file[8], "WAVE", 4))
        return false;
    int channels = 0, rate = 0, bits = 0;
    size_t at = 12;
    while (at + 8 <= file.size()) {
        uint32_t size = Little32(&file[at + 4]);
        size_t body = at + 8;
        size_t available = std::min<size_t>(size, file.size() - body);
        if (!memcmp(&file[at], "fmt ", 4) && available >= 16) {
            if (Little16(&file[body]) != 1) return false; // PCM only
            channels = Little16(&file[body + 2]);
            rate = (int)Little32(&file[body + 4]);
            bits = Little16(&file[body + 14]);
        } else if (!memcmp(&file[at], "data", 4)) {
            if (rate != CD_RATE || bits != 16 || (channels != 1 && channels != 2)) return false;
            size_t samples = available / 2;
            for (size_t i = 0; i + channels <= samples; i += channels) {
                int16_t left = (int16_t)Little16(&file[body + i * 2]);
                int16_t right = channels == 2 ? (int16_t)Little16(&file[body + i * 2 + 2]) : left;
                sound->push_back(left);
                sound->push_back(right);
            }
            return true;
        }
        at = body + size + (size & 1);
    }
    return false;
}

// What the drive reads while playing: the tracks' sound by disc position, silence where a
// track has none or its sound is shorter than the track.
class CdSource : public sound::Source {
public:
    CdSource(const std::vector<int64_t>& trackStarts, const std::vector<TrackSound>* sounds,
             int64_t fromMs, int64_t toMs)
        : trackStarts(trackStarts), sounds(sounds), frame(FramesOfMs(fromMs)),
          endFrame(FramesOfMs(toMs)) {}

    int Fetch(uint8_t* out, int bytes) override {
        int frames = (int)std::min<int64_t>(bytes / 4, endFrame - frame);
        if (frames <= 0) return 0;
        int16_t* samples = reinterpret_cast<int16_t*>(out);
        for (int i = 0; i < frames; i++, frame++) FrameAt(frame, samples + 2 * i);
        return frames * 4;
    }

private:
    void FrameAt(int64_t discFrame, int16_t* stereo) const {
        stereo[0] = stereo[1] = 0;
        int track = (int)(std::upper_bound(trackStarts.begin(), trackStarts.end(), discFrame) -
                          trackStarts.begin()) -
                    1;
        if (track < 0) return;
        const TrackSound& sound = (*sounds)[track];
        int64_t index = (discFrame - trackStarts[track]) * 2;
        if (index + 1 >= (int64_t)sound.size()) return;
        stereo[0] = sound[index];
        stereo[1] = sound[index + 1];
    }

    std::vector<int64_t> trackStarts; // in frames
    const std::vector<TrackSound>* sounds;
    int64_t frame;
    int64_t endFrame;
};

struct Drive {
    std::mutex lock;
    bool present = false;
    bool hasDisc = false;
    CdDiscSpec disc;
    std::vector<TrackSound> sounds; // per track; empty when the track has no sound
    bool anySound = false;
    // Playing: the span and the clock time it started; stopped: the position held.
    bool playing = false;
    int64_t fromMs = 0, toMs = 0;
    int64_t startedUs = 0;
    int64_t heldMs = 0;
    int64_t lastFromMs = -1, lastToMs = -1;
    std::unique_ptr<CdSource> source;
    int sourceId = 0;
    std::vector<MciCall> calls;
    struct Failure {
        UINT message;
        DWORD item;
        MCIERROR error;
        int count;
    };
    std::vector<Failure> failures;
};

Drive& TheDrive() {
    static Drive* drive = new Drive;
    static bool registered = [] {
        AddResetHook([] { ResetCd(); });
        return true;
    }();
    (void)registered;
    return *drive;
}

// Caller holds the drive's lock.
int64_t PositionLocked(Drive& d) {
    if (!d.playing) return d.heldMs;
    int64_t position = d.fromMs + (ClockMicroseconds() - d.startedUs) / 1000;
    if (position < d.toMs) return position;
    d.playing = false; // reached the end of the span
    d.heldMs = d.toMs;
    return d.heldMs;
}

void SilenceLocked(Drive& d) {
    if (d.sourceId) sound::RemoveSource(d.sourceId);
    d.sourceId = 0;
    d.source.reset();
}

void StopLocked(Drive& d) {
    d.heldMs = PositionLocked(d);
    d.playing = false;
    SilenceLocked(d);
}

bool ValidDisc(const CdDiscSpec& disc) {
    int64_t end = CdDiscEndMs(disc);
    int64_t previous = -1;
    for (const CdTrackSpec& track : disc.tracks) {
        if (track.startMs <= previous || track.startMs >= end) return false;
        previous = track.startMs;
    }
    return disc.lengthMs >= 0;
}

} // namespace

void SetCdDrivePresent(bool present) {
    Drive& d = TheDrive();
    std::lock_guard<std::mutex> guard(d.lock);
    d.present = present;
    if (!present) {
        StopLocked(d);
        d.hasDisc = false;
    }
}

bool CdDrivePresent() {
    Drive& d = TheDrive();
    std::lock_guard<std::mutex> guard(d.lock);
    return d.present;
}

bool InsertCdDisc(const CdDiscSpec& disc) {
    std::vector<TrackSound> sounds(disc.tracks.size());
    bool anySound = false;
    for (size_t i = 0; i < disc.tracks.size(); i++) {
        if (disc.tracks[i].wavPath.empty()) continue;
        std::vector<uint8_t> file;
        if (!ReadFile(disc.tracks[i].wavPath, &file) || !DecodeWave(file, &sounds[i])) {
            fprintf(stderr, "CD track %d: cannot use \"%s\" (44,100 Hz 16-bit PCM expected)\n",
                    (int)i + 1, disc.tracks[i].wavPath.c_str());
            return false;
        }
        anySound = true;
    }
    Drive& d = TheDrive();
    std::lock_guard<std::mutex> guard(d.lock);
    StopLocked(d);
    d.hasDisc = false;
    if (!d.present || !ValidDisc(disc)) return false;
    d.disc = disc;
    d.sounds.swap(sounds);
    d.anySound = anySound;
    d.hasDisc = true;
    d.heldMs = disc.tracks.empty() ? 0 : disc.tracks[0].startMs;
    return true;
}

void RemoveCdDisc() {
    Drive& d = TheDrive();
    std::lock_guard<std::mutex> guard(d.lock);
    StopLocked(d);
    d.hasDisc = false;
}

bool CdDisc(CdDiscSpec* disc) {
    Drive& d = TheDrive();
    std::lock_guard<std::mutex> guard(d.lock);
    if (!d.present || !d.hasDisc) return false;
    *disc = d.disc;
    return true;
}

int64_t CdDiscEndMs(const CdDiscSpec& disc) {
    return (disc.tracks.empty() ? 0 : disc.tracks[0].startMs) + disc.lengthMs;
}

void CdStartPlaying(int64_t fromMs, int64_t toMs) {
    Drive& d = TheDrive();
    std::lock_guard<std::mutex> guard(d.lock);
    StopLocked(d);
    d.lastFromMs = fromMs;
    d.lastToMs = toMs;
    d.fromMs = fromMs;
    d.toMs = toMs;
    d.startedUs = ClockMicroseconds();
    d.playing = fromMs < toMs;
    d.heldMs = fromMs;
    if (!d.playing || !d.anySound) return;
    std::vector<int64_t> starts;
    for (const CdTrackSpec& track : d.disc.tracks) starts.push_back(FramesOfMs(track.startMs));
    d.source.reset(new CdSource(starts, &d.sounds, fromMs, toMs));
    d.sourceId = sound::AddSource(d.source.get(), {CD_RATE, 2, 16});
}

void CdStopPlaying() {
    Drive& d = TheDrive();
    std::lock_guard<std::mutex> guard(d.lock);
    StopLocked(d);
}

bool CdPlaying() {
    Drive& d = TheDrive();
    std::lock_guard<std::mutex> guard(d.lock);
    PositionLocked(d);
    return d.playing;
}

int64_t CdPositionMs() {
    Drive& d = TheDrive();
    std::lock_guard<std::mutex> guard(d.lock);
    return PositionLocked(d);
}

int64_t CdLastPlayFromMs() {
    Drive& d = TheDrive();
    std::lock_guard<std::mutex> guard(d.lock);
    return d.lastFromMs;
}

int64_t CdLastPlayToMs() {
    Drive& d = TheDrive();
    std::lock_guard<std::mutex> guard(d.lock);
    return d.lastToMs;
}

std::vector<MciCall> MciCalls() {
    Drive& d = TheDrive();
    std::lock_guard<std::mutex> guard(d.lock);
    return d.calls;
}

void RecordMciCall(const MciCall& call) {
    Drive& d = TheDrive();
    std::lock_guard<std::mutex> guard(d.lock);
    d.calls.push_back(call);
}

void FailMciCommand(UINT message, DWORD item, MCIERROR error, int count) {
    Drive& d = TheDrive();
    std::lock_guard<std::mutex> guard(d.lock);
    d.failures.push_back({message, item, error, count});
}

bool TakeMciFailure(UINT message, DWORD item, MCIERROR* error) {
    Drive& d = TheDrive();
    std::lock_guard<std::mutex> guard(d.lock);
    for (auto it = d.failures.begin(); it != d.failures.end(); ++it) {
        if (it->message != message || (it->item != 0 && it->item != item)) continue;
        *error = it->error;
        if (--it->count <= 0) d.failures.erase(it);
        return true;
    }
    return false;
}

void ResetCd() {
    Drive& d = TheDrive();
    std::lock_guard<std::mutex> guard(d.lock);
    StopLocked(d);
    d.present = false;
    d.hasDisc = false;
    d.sounds.clear();
    d.anySound = false;
    d.heldMs = 0;
    d.lastFromMs = d.lastToMs = -1;
    d.calls.clear();
    d.failures.clear();
}

} // namespace machine
