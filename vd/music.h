// The demo's music: decoded once into a RIFF/WAVE image in memory before the show (on two
// threads) and played from there by the system's sound service.
#ifndef VD_MUSIC_H
#define VD_MUSIC_H

#include <stdint.h>

// 1,277 blocks of one 16-bit stereo frame (1,152 samples): 33.36 s at 44,100 Hz.
const int MUSIC_BLOCKS = 1277;
const int MUSIC_BLOCK_BYTES = 4608;
const int MUSIC_HEADER_BYTES = 44;
const int MUSIC_IMAGE_BYTES = MUSIC_HEADER_BYTES + MUSIC_BLOCKS * MUSIC_BLOCK_BYTES;

extern uint8_t MusicImage[MUSIC_IMAGE_BYTES];
extern int musicPlaying;

// Starts decoding the later part of the music on a helper thread, to run beside the show's
// building; DecodeMusic then decodes the rest and waits for it. Without it DecodeMusic
// decodes everything itself.
void PrepareMusic(const char* name);
void DecodeMusic(const char* name);
int StartMusic();
int StopMusic();

#endif
