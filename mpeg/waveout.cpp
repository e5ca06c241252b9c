// sWaveOutStream: PCM written to the stream fills buffers that queue on the wave output
// device; the device marks each one done when it has played, and the writer polls for that.
#include "waveout.h"

#include <limits.h>
#include <stdlib.h>
#include <string.h>

static const DWORD kFullPollMs = 20;  // all buffers queued: wait for one to come back
static const DWORD kDrainPollMs = 50; // Close waiting for the queue to play out
// A device that returns no buffer for this long beyond one buffer's playing time is stuck.
static const int kStallMs = 2000;

// The device sets the done flag from its own thread.
static DWORD HeaderFlags(const WAVEHDR& header) {
    return __atomic_load_n(&header.dwFlags, __ATOMIC_ACQUIRE);
}

sWaveOutStream::sWaveOutStream()
    : device(nullptr), bufferSize(0), bufferCount(0), headers(nullptr), memory(nullptr),
      current(-1), currentFill(0), drain(-1), blocking(1), stallMs(kStallMs) {}

// The base destructor reaches only the base Close; the device and buffers go here.
sWaveOutStream::~sWaveOutStream() {
    Shutdown();
}

int sWaveOutStream::Open(int sampleRate, int stereo, int sixteenBit, int samplesPerBuffer,
                         int count) {
    Shutdown();
    int channels = stereo ? 2 : 1;
    int bits = sixteenBit ? 16 : 8;
    if (sampleRate <= 0 || samplesPerBuffer <= 0 || count <= 0) return -1;
    long long size = (long long)samplesPerBuffer * channels * (bits / 8);
    if (size * count > INT_MAX) return -1;
    bufferSize = (int)size;
    bufferCount = count;
    headers = static_cast<WAVEHDR*>(calloc(count, sizeof(WAVEHDR)));
    memory = static_cast<uint8_t*>(malloc((size_t)bufferSize * count));
    if (!headers || !memory) {
        FreeBuffers();
        return -1;
    }
    WAVEFORMATEX format;
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = (WORD)channels;
    format.nSamplesPerSec = (DWORD)sampleRate;
    format.wBitsPerSample = (WORD)bits;
    format.nBlockAlign = (WORD)(channels * bits / 8);
    format.nAvgBytesPerSec = format.nBlockAlign * format.nSamplesPerSec;
    format.cbSize = 0;
    if (waveOutOpen(&device, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
        device = nullptr;
        FreeBuffers();
        return -1;
    }
    for (int i = 0; i < bufferCount; i++) headers[i].dwFlags = 0;
    // A working device gives a buffer back only after playing it: long buffers (seconds at
    // a low rate) must not pass for a stuck device.
    stallMs = kStallMs + (int)(size * 1000 / format.nAvgBytesPerSec);
    current = -1;
    currentFill = 0;
    blocking = 1;
    drain = -1;
    Begin(SF_WRITE, 0, 0);
    return 0;
}

void sWaveOutStream::FreeBuffers() {
    free(headers);
    free(memory);
    headers = nullptr;
    memory = nullptr;
    bufferCount = 0;
    bufferSize = 0;
}

// Gives played buffers back and picks the first free one; -1 when all are queued.
int sWaveOutStream::TakeFreeBuffer() {
    for (int i = 0; i < bufferCount; i++) {
        if (HeaderFlags(headers[i]) & WHDR_DONE)
            waveOutUnprepareHeader(device, &headers[i], sizeof(WAVEHDR));
    }
    for (int i = 0; i < bufferCount; i++) {
        if (!(HeaderFlags(headers[i]) & WHDR_PREPARED)) return i;
    }
    return -1;
}

void sWaveOutStream::QueueCurrentBuffer() {
    WAVEHDR& header = headers[current];
    header.lpData = reinterpret_cast<LPSTR>(memory + (size_t)current * bufferSize);
    header.dwBufferLength = (DWORD)bufferSize;
    header.dwFlags = 0;
    waveOutPrepareHeader(device, &header, sizeof(WAVEHDR));
    waveOutWrite(device, &header, sizeof(WAVEHDR));
    current = -1;
    currentFill = 0;
}

int sWaveOutStream::RawWrite(const void* buffer, int n) {
    if (!device || !buffer) return 0;
    const uint8_t* data = static_cast<const uint8_t*>(buffer);
    int taken = 0;
    int waitedMs = 0;
    while (taken < n) {
        if (current < 0) {
            current = TakeFreeBuffer();
            if (current < 0) {
                // A stuck device (paused, or a card whose clock stands still) must not hang
                // the writer for good: the write then ends short.
                if (!blocking || waitedMs >= stallMs) break;
                Sleep(kFullPollMs);
                waitedMs += (int)kFullPollMs;
                continue;
            }
            currentFill = 0;
            waitedMs = 0;
        }
        int count = n - taken < bufferSize - currentFill ? n - taken : bufferSize - currentFill;
        memcpy(memory + (size_t)current * bufferSize + currentFill, data + taken, count);
        currentFill += count;
        taken += count;
        // Only a full buffer is queued: a partial last one is never played.
        if (currentFill == bufferSize) QueueCurrentBuffer();
    }
    return taken;
}

bool sWaveOutStream::AnyBufferQueued() const {
    for (int i = 0; i < bufferCount; i++) {
        DWORD flags = HeaderFlags(headers[i]);
        if ((flags & WHDR_PREPARED) && !(flags & WHDR_DONE)) return true;
    }
    return false;
}

int sWaveOutStream::DoneCount() const {
    int done = 0;
    for (int i = 0; i < bufferCount; i++) done += (HeaderFlags(headers[i]) & WHDR_DONE) != 0;
    return done;
}

// As for writes, a device that stops playing must not hang the program: the wait ends when
// no buffer has finished for a while.
void sWaveOutStream::WaitForQueuedBuffers() {
    int stalledMs = 0;
    int done = DoneCount();
    while (AnyBufferQueued() && stalledMs < stallMs) {
        Sleep(kDrainPollMs);
        int now = DoneCount();
        stalledMs = now == done ? stalledMs + (int)kDrainPollMs : 0;
        done = now;
    }
}

int sWaveOutStream::Close() {
    CloseFlush();
    if (!device) return 0;
    if (drain < 0) WaitForQueuedBuffers();
    waveOutReset(device);
    for (int i = 0; i < bufferCount; i++) {
        if (HeaderFlags(headers[i]) & WHDR_PREPARED)
            waveOutUnprepareHeader(device, &headers[i], sizeof(WAVEHDR));
    }
    waveOutClose(device);
    device = nullptr;
    current = -1;
    currentFill = 0;
    FreeBuffers();
    return 0;
}

int sWaveOutStream::Control(int code, void* pointer, int value) {
    int old;
    switch (code) {
    case SC_SET_BLOCKING:
        old = blocking;
        blocking = value;
        return old;
    case SC_BLOCKING: return blocking;
    case SC_SET_DRAIN:
        old = drain;
        drain = value;
        return old;
    case SC_DRAIN: return drain;
    }
    return sStream::Control(code, pointer, value);
}
