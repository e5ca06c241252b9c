// sWaveOutStream: a writable stream that plays the PCM written to it on the default wave
// output device, through a ring of equal buffers queued as they fill.
#ifndef PRISMATEL_WAVEOUT_H
#define PRISMATEL_WAVEOUT_H

#include <windows.h>
#include <mmsystem.h>

#include "stream.h"

// Control codes of the wave output stream.
enum {
    SC_SET_BLOCKING = 38, // non-zero: a write waits for a free buffer; returns the old value
    SC_BLOCKING = 39,
    SC_SET_DRAIN = 40, // negative: Close waits for queued buffers to play; returns the old value
    SC_DRAIN = 41,
};

class sWaveOutStream : public sStream {
public:
    sWaveOutStream();
    // Returns 0, or -1 when memory runs out or no device takes the format.
    int Open(int sampleRate, int stereo, int sixteenBit, int samplesPerBuffer, int bufferCount);

    int Close() override;
    int RawWrite(const void* buffer, int n) override;
    int Control(int code, void* pointer, int value) override;
    ~sWaveOutStream() override;

private:
    int TakeFreeBuffer();
    void QueueCurrentBuffer();
    bool AnyBufferQueued() const;
    int DoneCount() const;
    void WaitForQueuedBuffers();
    void FreeBuffers();

    HWAVEOUT device;
    int bufferSize;
    int bufferCount;
    WAVEHDR* headers;
    uint8_t* memory;
    int current; // the buffer being filled, -1 for none
    int currentFill;
    int drain;
    int blocking;
    int stallMs; // how long a wait for the device lasts before it counts as stuck
};

#endif
