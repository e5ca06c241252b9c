// PlaySound: the system's sound service, playing one RIFF/WAVE image at a time on the
// simulated sound card. An image is copied, so the caller's memory is free at once, except a
// large one in memory (IN_PLACE_BYTES and more), which plays where it lies: copying megabytes
// would hold up the caller's frame, and a program playing such an image asynchronously keeps
// it while it plays, as Windows expects of it.
#include <mmsystem.h>

#include <stdio.h>
#include <string.h>

#include <mutex>
#include <vector>

#include "machine/machine.h"
#include "machine/sound_card.h"

namespace {

const uint32_t kMaxRiffBytes = 1u << 30; // a size beyond this is a broken header
const uint32_t IN_PLACE_BYTES = 2u << 20;

class SystemSound : public sound::Source {
public:
    std::vector<uint8_t> copy; // the samples, unless they play in place
    const uint8_t* pcm = nullptr;
    size_t size = 0;
    bool loop = false;
    size_t played = 0;

    // Card lock held.
    int Fetch(uint8_t* out, int bytes) override {
        if (played >= size && loop) played = 0;
        size_t rest = size - played;
        int count = rest < (size_t)bytes ? (int)rest : bytes;
        if (count) memcpy(out, pcm + played, count);
        played += count;
        return count;
    }
    bool Finished() const { return !loop && played >= size; }
};

struct Player {
    std::mutex calls; // one PlaySound at a time
    SystemSound* current = nullptr;
    int sourceId = 0;
};

Player& ThePlayer() {
    static Player* player = new Player;
    return *player;
}

void Stop() {
    Player& p = ThePlayer();
    std::lock_guard<std::recursive_mutex> guard(sound::Lock());
    if (!p.current) return;
    sound::RemoveSource(p.sourceId);
    delete p.current;
    p.current = nullptr;
    p.sourceId = 0;
}

uint32_t LE32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | (uint32_t)p[3] << 24;
}
uint16_t LE16(const uint8_t* p) {
    return (uint16_t)(p[0] | p[1] << 8);
}

bool ParseFormat(const uint8_t* chunk, uint32_t size, sound::Format* format) {
    if (size < 16 || LE16(chunk) != WAVE_FORMAT_PCM) return false;
    format->channels = LE16(chunk + 2);
    format->rate = (int)LE32(chunk + 4);
    format->bits = LE16(chunk + 14);
    return format->channels > 0 && format->rate > 0 && format->bits > 0;
}

// Finds the format and the sample data of a RIFF/WAVE image of at most `limit` bytes. The
// RIFF size bounds every chunk: nothing outside the image is read.
bool ParseWave(const uint8_t* image, uint64_t limit, sound::Format* format, const uint8_t** data,
               uint32_t* dataBytes) {
    if (limit < 12 || memcmp(image, "RIFF", 4) != 0 || memcmp(image + 8, "WAVE", 4) != 0)
        return false;
    uint32_t riffBytes = LE32(image + 4);
    if (riffBytes < 4 || riffBytes > kMaxRiffBytes) return false;
    uint64_t end = (uint64_t)riffBytes + 8 < limit ? (uint64_t)riffBytes + 8 : limit;
    bool haveFormat = false;
    uint64_t at = 12;
    while (at + 8 <= end) {
        const uint8_t* chunk = image + at;
        uint32_t size = LE32(chunk + 4);
        uint64_t available = end - (at + 8);
        if (memcmp(chunk, "fmt ", 4) == 0) {
            if (size > available || !ParseFormat(chunk + 8, size, format)) return false;
            haveFormat = true;
        } else if (memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) return false;
            *data = chunk + 8;
            *dataBytes = (uint32_t)(size < available ? size : available);
            return true;
        }
        at += 8 + (uint64_t)size + (size & 1);
    }
    return false;
}

bool LoadFile(const char* name, std::vector<uint8_t>* bytes) {
    FILE* f = fopen(name, "rb");
    if (!f) return false;
    uint8_t block[65536];
    size_t got;
    while ((got = fread(block, 1, sizeof block, f)) > 0)
        bytes->insert(bytes->end(), block, block + got);
    fclose(f);
    return true;
}

bool Start(const uint8_t* image, uint64_t limit, bool loop, bool inMemory) {
    sound::Format format;
    const uint8_t* data = nullptr;
    uint32_t dataBytes = 0;
    if (!ParseWave(image, limit, &format, &data, &dataBytes)) return false;
    SystemSound* sound = new SystemSound;
    if (inMemory && dataBytes >= IN_PLACE_BYTES) {
        sound->pcm = data;
    } else {
        sound->copy.assign(data, data + dataBytes);
        sound->pcm = sound->copy.data();
    }
    sound->size = dataBytes;
    sound->loop = loop && dataBytes > 0;
    int id = sound::AddSource(sound, format); // not under the card's lock: it may open the host
    if (!id) {
        delete sound;
        return false;
    }
    Player& p = ThePlayer();
    std::lock_guard<std::recursive_mutex> guard(sound::Lock());
    p.current = sound;
    p.sourceId = id;
    return true;
}

// A synchronous sound waits while the host's device plays it in real time; on the clock-
// paced card time moves only with the program's frames, so waiting would never end there.
void WaitUntilFinished() {
    if (!sound::HostPulls()) return;
    while (sound::SystemSoundPlaying()) Sleep(10);
}

const int resetHook = machine::AddResetHook(Stop);

} // namespace

namespace sound {
bool SystemSoundPlaying() {
    Player& p = ThePlayer();
    std::lock_guard<std::recursive_mutex> guard(sound::Lock());
    return p.current && !p.current->Finished();
}
} // namespace sound

BOOL WINAPI PlaySoundA(LPCSTR name, HMODULE, DWORD flags) {
    Player& p = ThePlayer();
    std::lock_guard<std::mutex> calls(p.calls);
    if (!name || (flags & SND_PURGE)) {
        Stop();
        return TRUE;
    }
    if ((flags & SND_NOSTOP) && sound::SystemSoundPlaying()) return FALSE;
    Stop(); // a new sound replaces the old one, whether or not it can play
    if (!sound::DevicePresent() || (flags & SND_ALIAS) == SND_ALIAS) return FALSE;
    bool loop = (flags & SND_LOOP) != 0;
    bool started;
    if (flags & SND_MEMORY) {
        // The image's own RIFF size is its only bound, as with the real service.
        started = Start(reinterpret_cast<const uint8_t*>(name), UINT64_MAX, loop, true);
    } else {
        std::vector<uint8_t> file;
        started = LoadFile(name, &file) && Start(file.data(), file.size(), loop, false);
    }
    if (started && !(flags & SND_ASYNC) && !loop) WaitUntilFinished();
    return started ? TRUE : FALSE;
}
