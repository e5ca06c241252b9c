// The host's speakers: an SDL audio device that pulls the sound card's mix.
#include "parts.h"

#include <SDL.h>

namespace host {
namespace sdl {
namespace {

const int kRate = 44100;

SDL_AudioDeviceID device = 0;
MixFunction mixer = nullptr;

void Pull(void*, Uint8* stream, int bytes) {
    mixer(reinterpret_cast<int16_t*>(stream), bytes / 4);
}

class AudioDevice : public SoundSink {
public:
    bool PacedByClock() override { return false; }

    bool Open(MixFunction mix) override {
        if (device) return true;
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1"); // Ctrl+C and kill are user32's
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
        mixer = mix;
        SDL_AudioSpec want;
        SDL_zero(want);
        want.freq = kRate;
        want.format = AUDIO_S16SYS;
        want.channels = 2;
        want.samples = 1024; // about 23 ms
        want.callback = Pull;
        // No changes allowed: SDL converts to whatever the hardware takes.
        device = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
        if (!device) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            return false;
        }
        SDL_PauseAudioDevice(device, 0);
        return true;
    }

    void Close() override {
        if (!device) return;
        SDL_CloseAudioDevice(device);
        device = 0;
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }

    // Only when the device could not be opened: the mix then plays to nobody.
    void Write(const int16_t*, int) override {}
};

} // namespace

SoundSink* TheSoundSink() {
    static AudioDevice* audio = new AudioDevice; // outlives exit handlers
    return audio;
}

} // namespace sdl
} // namespace host
