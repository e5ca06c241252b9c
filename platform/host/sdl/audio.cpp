// The host's speakers: an SDL audio device that pulls the sound card's mix.
#include <SDL.h>

#include "machine/sound_card.h"

namespace {

SDL_AudioDeviceID device = 0;

void Pull(void*, Uint8* stream, int bytes) {
    sound::Render(reinterpret_cast<int16_t*>(stream), bytes / 4);
}

} // namespace

namespace sound {

bool HostOpenAudio() {
    if (device) return true;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
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

void HostCloseAudio() {
    if (!device) return;
    SDL_CloseAudioDevice(device);
    device = 0;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

} // namespace sound
