#include "assets_wav.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

namespace assets {

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

void PutTag(std::vector<uint8_t>& out, const char* tag) {
    out.insert(out.end(), tag, tag + 4);
}

int16_t ToSample(float v) {
    float scaled = roundf(v * 32767.0f);
    if (scaled > 32767.0f) scaled = 32767.0f;
    if (scaled < -32768.0f) scaled = -32768.0f;
    return int16_t(scaled);
}

uint32_t Get32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
}
uint16_t Get16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}

} // namespace

std::vector<uint8_t> EncodeWav(const StereoBuffer& audio) {
    uint32_t dataBytes = uint32_t(audio.Frames() * 4);
    std::vector<uint8_t> out;
    out.reserve(44 + dataBytes);
    PutTag(out, "RIFF");
    Put32(out, 36 + dataBytes);
    PutTag(out, "WAVE");
    PutTag(out, "fmt ");
    Put32(out, 16);
    Put16(out, 1); // PCM
    Put16(out, 2);
    Put32(out, SAMPLE_RATE);
    Put32(out, SAMPLE_RATE * 4);
    Put16(out, 4);
    Put16(out, 16);
    PutTag(out, "data");
    Put32(out, dataBytes);
    for (size_t i = 0; i < audio.Frames(); i++) {
        Put16(out, uint16_t(ToSample(audio.left[i])));
        Put16(out, uint16_t(ToSample(audio.right[i])));
    }
    return out;
}

bool WriteWav(const std::string& path, const StereoBuffer& audio, std::string& error) {
    std::vector<uint8_t> bytes = EncodeWav(audio);
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) {
        error = "cannot create " + path;
        return false;
    }
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = fclose(f) == 0 && ok;
    if (!ok) error = "cannot write " + path;
    return ok;
}

bool DecodeWav(const std::vector<uint8_t>& bytes, StereoBuffer& out, int& rate,
               std::string& error) {
    if (bytes.size() < 12 || memcmp(bytes.data(), "RIFF", 4) != 0 ||
        memcmp(bytes.data() + 8, "WAVE", 4) != 0) {
        error = "not a RIFF/WAVE file";
        return false;
    }
    int channels = 0, bits = 0;
    size_t at = 12;
    while (at + 8 <= bytes.size()) {
        const uint8_t* chunk = bytes.data() + at;
        size_t length = Get32(chunk + 4);
        if (length > bytes.size() - at - 8) {
            error = "a chunk runs past the end";
            return false;
        }
        if (memcmp(chunk, "fmt ", 4) == 0 && length >= 16) {
            if (Get16(chunk + 8) != 1) {
                error = "not PCM";
                return false;
            }
            channels = Get16(chunk + 10);
            rate = int(Get32(chunk + 12));
            bits = Get16(chunk + 22);
        } else if (memcmp(chunk, "data", 4) == 0) {
            if (bits != 16 || (channels != 1 && channels != 2)) {
                error = "not 16-bit mono or stereo";
                return false;
            }
            size_t frames = length / size_t(2 * channels);
            out = StereoBuffer(frames);
            for (size_t i = 0; i < frames; i++) {
                const uint8_t* p = chunk + 8 + i * 2 * channels;
                out.left[i] = float(int16_t(Get16(p))) / 32768.0f;
                out.right[i] = float(int16_t(Get16(p + 2 * (channels - 1)))) / 32768.0f;
            }
            return true;
        }
        at += 8 + length + (length & 1);
    }
    error = "no data chunk";
    return false;
}

} // namespace assets
