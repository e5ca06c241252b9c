// waveOut: wave output devices on the simulated sound card. Written buffers queue on the
// device; the card takes their bytes as it plays and then marks each header done.
#include <mmsystem.h>

#include <string.h>

#include <deque>
#include <set>

#include "machine/machine.h"
#include "machine/sound_card.h"

namespace {

const DWORD kMinRate = 4000;
const DWORD kMaxRate = 48000;

// The application polls dwFlags while the card changes it from the rendering thread.
void SetFlags(WAVEHDR* header, DWORD set, DWORD clear) {
    __atomic_fetch_and(&header->dwFlags, ~clear, __ATOMIC_RELAXED);
    __atomic_fetch_or(&header->dwFlags, set, __ATOMIC_RELEASE);
}

DWORD FlagsOf(const WAVEHDR* header) {
    return __atomic_load_n(&header->dwFlags, __ATOMIC_ACQUIRE);
}

class WaveOut : public sound::Source {
public:
    int sourceId = 0;
    bool paused = false;

    // Card lock held.
    int Fetch(uint8_t* out, int bytes) override {
        if (paused) return 0;
        int given = 0;
        while (given < bytes && !queue.empty()) {
            WAVEHDR* header = queue.front();
            DWORD rest = header->dwBufferLength - played;
            int count = rest < (DWORD)(bytes - given) ? (int)rest : bytes - given;
            memcpy(out + given, header->lpData + played, count);
            played += count;
            given += count;
            if (played >= header->dwBufferLength) {
                queue.pop_front();
                played = 0;
                SetFlags(header, WHDR_DONE, WHDR_INQUEUE);
            }
        }
        return given;
    }
    void Queue(WAVEHDR* header) {
        SetFlags(header, WHDR_INQUEUE, WHDR_DONE);
        queue.push_back(header);
    }
    // Every queued buffer comes back done, played or not.
    void ReturnAll() {
        for (WAVEHDR* header : queue) SetFlags(header, WHDR_DONE, WHDR_INQUEUE);
        queue.clear();
        played = 0;
        sound::DropPending(sourceId);
    }
    bool Busy() const { return !queue.empty(); }

private:
    std::deque<WAVEHDR*> queue;
    DWORD played = 0; // bytes of the front buffer already taken
};

std::set<WaveOut*>& Devices() {
    static std::set<WaveOut*>* devices = new std::set<WaveOut*>;
    return *devices;
}

// Card lock held.
WaveOut* Find(HWAVEOUT handle) {
    WaveOut* device = reinterpret_cast<WaveOut*>(handle);
    return Devices().count(device) ? device : nullptr;
}

MMRESULT CheckFormat(const WAVEFORMATEX* f) {
    if (f->wFormatTag != WAVE_FORMAT_PCM) return WAVERR_BADFORMAT;
    if (f->nChannels < 1 || f->nChannels > 2) return WAVERR_BADFORMAT;
    if (f->wBitsPerSample != 8 && f->wBitsPerSample != 16) return WAVERR_BADFORMAT;
    if (f->nSamplesPerSec < kMinRate || f->nSamplesPerSec > kMaxRate) return WAVERR_BADFORMAT;
    if (f->nBlockAlign != f->nChannels * f->wBitsPerSample / 8) return WAVERR_BADFORMAT;
    return MMSYSERR_NOERROR;
}

MMRESULT CheckHeader(const WAVEHDR* header, UINT size) {
    if (!header || size < sizeof(WAVEHDR)) return MMSYSERR_INVALPARAM;
    return MMSYSERR_NOERROR;
}

void CloseAllDevices() {
    std::lock_guard<std::recursive_mutex> guard(sound::Lock());
    for (WaveOut* device : Devices()) {
        device->ReturnAll();
        sound::RemoveSource(device->sourceId);
        delete device;
    }
    Devices().clear();
}

const int resetHook = machine::AddResetHook(CloseAllDevices);

} // namespace

UINT WINAPI waveOutGetNumDevs(void) {
    return sound::DevicePresent() ? 1 : 0;
}

MMRESULT WINAPI waveOutOpen(LPHWAVEOUT waveOut, UINT deviceId, LPCWAVEFORMATEX format, DWORD_PTR,
                            DWORD_PTR, DWORD flags) {
    if (!sound::DevicePresent()) return MMSYSERR_NODRIVER;
    if (deviceId != WAVE_MAPPER && deviceId != 0) return MMSYSERR_BADDEVICEID;
    if (!format) return MMSYSERR_INVALPARAM;
    if ((flags & CALLBACK_TYPEMASK) != CALLBACK_NULL) return MMSYSERR_INVALFLAG;
    MMRESULT result = CheckFormat(format);
    if (result != MMSYSERR_NOERROR || (flags & WAVE_FORMAT_QUERY)) return result;
    if (!waveOut) return MMSYSERR_INVALPARAM;
    WaveOut* device = new WaveOut;
    sound::Format pcm = {(int)format->nSamplesPerSec, format->nChannels, format->wBitsPerSample};
    // Not under the card's lock: the first source may open the host's audio device.
    device->sourceId = sound::AddSource(device, pcm);
    if (!device->sourceId) {
        delete device;
        return WAVERR_BADFORMAT;
    }
    std::lock_guard<std::recursive_mutex> guard(sound::Lock());
    Devices().insert(device);
    *waveOut = reinterpret_cast<HWAVEOUT>(device);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveOutClose(HWAVEOUT waveOut) {
    std::lock_guard<std::recursive_mutex> guard(sound::Lock());
    WaveOut* device = Find(waveOut);
    if (!device) return MMSYSERR_INVALHANDLE;
    if (device->Busy()) return WAVERR_STILLPLAYING;
    sound::RemoveSource(device->sourceId);
    Devices().erase(device);
    delete device;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveOutPrepareHeader(HWAVEOUT waveOut, LPWAVEHDR header, UINT size) {
    std::lock_guard<std::recursive_mutex> guard(sound::Lock());
    if (!Find(waveOut)) return MMSYSERR_INVALHANDLE;
    MMRESULT result = CheckHeader(header, size);
    if (result != MMSYSERR_NOERROR) return result;
    if (!header->lpData && header->dwBufferLength) return MMSYSERR_INVALPARAM;
    if (FlagsOf(header) & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    SetFlags(header, WHDR_PREPARED, 0);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveOutUnprepareHeader(HWAVEOUT waveOut, LPWAVEHDR header, UINT size) {
    std::lock_guard<std::recursive_mutex> guard(sound::Lock());
    if (!Find(waveOut)) return MMSYSERR_INVALHANDLE;
    MMRESULT result = CheckHeader(header, size);
    if (result != MMSYSERR_NOERROR) return result;
    if (FlagsOf(header) & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    SetFlags(header, 0, WHDR_PREPARED);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveOutWrite(HWAVEOUT waveOut, LPWAVEHDR header, UINT size) {
    std::lock_guard<std::recursive_mutex> guard(sound::Lock());
    WaveOut* device = Find(waveOut);
    if (!device) return MMSYSERR_INVALHANDLE;
    MMRESULT result = CheckHeader(header, size);
    if (result != MMSYSERR_NOERROR) return result;
    DWORD flags = FlagsOf(header);
    if (!(flags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
    if (flags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    device->Queue(header);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveOutReset(HWAVEOUT waveOut) {
    std::lock_guard<std::recursive_mutex> guard(sound::Lock());
    WaveOut* device = Find(waveOut);
    if (!device) return MMSYSERR_INVALHANDLE;
    device->ReturnAll();
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveOutPause(HWAVEOUT waveOut) {
    std::lock_guard<std::recursive_mutex> guard(sound::Lock());
    WaveOut* device = Find(waveOut);
    if (!device) return MMSYSERR_INVALHANDLE;
    device->paused = true;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveOutRestart(HWAVEOUT waveOut) {
    std::lock_guard<std::recursive_mutex> guard(sound::Lock());
    WaveOut* device = Find(waveOut);
    if (!device) return MMSYSERR_INVALHANDLE;
    device->paused = false;
    return MMSYSERR_NOERROR;
}
