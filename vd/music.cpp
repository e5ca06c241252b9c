#include "music.h"

#include <windows.h>
#include <mmsystem.h>
#include <stdio.h>

#include "base/base.h"
#include "filestream.h"
#include "mpegstream.h"
#include "waveout.h"

// Constructed in this order, so destroyed at exit as output, input, decoder.
static sMpegStream decoder;
static sFileStream input;
static sWaveOutStream output;
// The helper thread's own decoder and file, for the later part of the music.
static sMpegStream laterDecoder;
static sFileStream laterInput;

static int32_t sampleRate;
static int32_t stereo;

uint8_t MusicImage[MUSIC_IMAGE_BYTES];
int musicPlaying = 0;

namespace {

const int MUSIC_RATE = 44100;
const int FILE_READ_SEEKABLE = 2;
const int SC_EQUALISER = 4099;
const int SC_MATRIX = 4097;
const int SC_VOLUME = 4096;

// The image's header: fixed at 44,100 Hz, two channels, 16 bits, whatever was decoded.
void WriteHeader(uint8_t* out) {
    struct Field {
        int offset, size;
        uint32_t value;
    };
    const Field fields[] = {
        {4, 4, MUSIC_IMAGE_BYTES - 8},
        {16, 4, 16},
        {20, 2, 1},
        {22, 2, 2},
        {24, 4, MUSIC_RATE},
        {28, 4, MUSIC_RATE * 4},
        {32, 2, 4},
        {34, 2, 16},
        {40, 4, MUSIC_BLOCKS * MUSIC_BLOCK_BYTES},
    };
    MemCopy(out, "RIFF", 4);
    MemCopy(out + 8, "WAVEfmt ", 8);
    MemCopy(out + 36, "data", 4);
    for (const Field& f : fields)
        for (int i = 0; i < f.size; i++) out[f.offset + i] = (uint8_t)(f.value >> (8 * i));
}

// The decoder's own processing, all switched off by identity values.
void SetIdentityProcessing(sMpegStream& stream) {
    float matrix[9] = {1, 0, 1, 0, 1, 1, 0.5f, 0.5f, 1};
    float volume = 1.0f;
    stream.Control(SC_MATRIX, matrix, 0);
    stream.Control(SC_VOLUME, &volume, 0);
    float gains[576];
    for (float& gain : gains) gain = 1.0f;
    stream.Control(SC_EQUALISER, gains, 0);
}

uint8_t* Block(int i) {
    return MusicImage + MUSIC_HEADER_BYTES + i * MUSIC_BLOCK_BYTES;
}

// The music is decoded on two threads: a helper decodes the blocks from LATER_FIRST_BLOCK on
// with a decoder of its own, which seeks there with the pre-roll every seek decodes, so its
// blocks are the same to the bit as a decode from the start; the main thread decodes the
// blocks before, after building the show. The split gives the helper the larger share, as
// it starts earlier.
const int LATER_FIRST_BLOCK = MUSIC_BLOCKS * 9 / 20;

const char* laterName;
HANDLE laterThread;

DWORD WINAPI DecodeLaterPart(LPVOID) {
    int rate = 0, twoChannels = 0;
    if (laterInput.Open(laterName, FILE_READ_SEEKABLE) != 0) return 0;
    if (laterDecoder.Open(&laterInput, &rate, &twoChannels, 1, 0, 0) == 0 && rate == MUSIC_RATE &&
        twoChannels) {
        SetIdentityProcessing(laterDecoder);
        laterDecoder.Seek(LATER_FIRST_BLOCK * MUSIC_BLOCK_BYTES);
        for (int i = LATER_FIRST_BLOCK; i < MUSIC_BLOCKS; i++)
            laterDecoder.Read(Block(i), MUSIC_BLOCK_BYTES);
    }
    laterDecoder.Shutdown();
    laterInput.Shutdown();
    return 0;
}

// Waits for the helper; returns the first block it did not decode.
int FinishLaterPart(bool keep) {
    if (!laterThread) return MUSIC_BLOCKS;
    WaitForSingleObject(laterThread, INFINITE);
    CloseHandle(laterThread);
    laterThread = NULL;
    // Music the main thread refused is not played in part.
    if (!keep)
        MemFill(Block(LATER_FIRST_BLOCK), 0,
                (MUSIC_BLOCKS - LATER_FIRST_BLOCK) * MUSIC_BLOCK_BYTES);
    return LATER_FIRST_BLOCK;
}

} // namespace

void PrepareMusic(const char* name) {
    laterName = name;
    DWORD id;
    laterThread = CreateThread(NULL, 0, DecodeLaterPart, NULL, 0, &id);
}

void DecodeMusic(const char* name) {
    if (input.Open(name, FILE_READ_SEEKABLE) != 0) {
        printf("Could not open input file\n");
        FinishLaterPart(false);
        return;
    }
    if (decoder.Open(&input, &sampleRate, &stereo, 1, 0, 0) != 0) {
        printf("Could not open audio mpeg\n");
        FinishLaterPart(false);
        return;
    }
    // The image is 44,100 Hz stereo: other music would play at the wrong speed or as noise.
    if (sampleRate != MUSIC_RATE || !stereo) {
        printf("Music must be 44100 Hz stereo, not %d Hz %s: playing without music\n",
               (int)sampleRate, stereo ? "stereo" : "mono");
        FinishLaterPart(false);
        return;
    }
    if (output.Open(sampleRate, stereo, 1, MUSIC_BLOCK_BYTES, 32) != 0) {
        printf("Could not create output stream\n");
        FinishLaterPart(false);
        return;
    }
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
    SetIdentityProcessing(decoder);
    int end = laterThread ? LATER_FIRST_BLOCK : MUSIC_BLOCKS;
    for (int i = 0; i < end; i++) decoder.Read(Block(i), MUSIC_BLOCK_BYTES);
    FinishLaterPart(true);
    musicPlaying = 0;
    output.Control(SC_SET_DRAIN, nullptr, 0);
    output.Shutdown();
    decoder.Shutdown();
    input.Shutdown();
    WriteHeader(MusicImage);
}

int StartMusic() {
    if (!musicPlaying) {
        PlaySoundA((LPCSTR)MusicImage, NULL, SND_ASYNC | SND_MEMORY);
        musicPlaying = 1;
    }
    return 0;
}

int StopMusic() {
    musicPlaying = 0;
    return PlaySoundA(NULL, NULL, SND_ASYNC | SND_MEMORY);
}
