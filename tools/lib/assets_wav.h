// RIFF/WAVE, 16-bit PCM stereo, written from and read back into float buffers.
#ifndef TOOLS_ASSETS_WAV_H
#define TOOLS_ASSETS_WAV_H

#include <string>
#include <vector>

#include "assets_synth.h"

namespace assets {

// Samples are rounded to 16 bits and limited to the representable range.
std::vector<uint8_t> EncodeWav(const StereoBuffer& audio);
bool WriteWav(const std::string& path, const StereoBuffer& audio, std::string& error);
// Reads 16-bit PCM (mono or stereo) at any rate; rate is set from the header.
bool DecodeWav(const std::vector<uint8_t>& bytes, StereoBuffer& out, int& rate, std::string& error);

} // namespace assets

#endif
