#include "mpeg_test_util.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <iterator>
#include <random>

namespace mpegtest {

MemoryStream::MemoryStream(std::vector<uint8_t> bytes, bool seekable) : data(std::move(bytes)) {
    Begin(SF_READ | (seekable ? SF_SEEK : 0), 0, (int)data.size());
}

int MemoryStream::RawRead(void* buffer, int n) {
    int count = RawPeek(buffer, n);
    offset += (size_t)count;
    return count;
}

int MemoryStream::RawPeek(void* buffer, int n) {
    size_t left = offset < data.size() ? data.size() - offset : 0;
    size_t count = (size_t)n < left ? (size_t)n : left;
    if (count) memcpy(buffer, data.data() + offset, count);
    return (int)count;
}

int MemoryStream::RawSeek(int position) {
    offset = (size_t)position;
    return position;
}

int MemoryStream::Control(int code, void* pointer, int value) {
    // Non-seekable: the end shows when everything has been read.
    if (code == SC_AT_END && !(GetFlags() & SF_SEEK)) return offset >= data.size();
    return sStream::Control(code, pointer, value);
}

std::vector<uint8_t> HeaderBytes(const HeaderFields& h) {
    static const int versionBits[3] = {3, 2, 0};
    BitWriter w;
    w.Put(0x7FF, 11);
    w.Put((uint32_t)versionBits[h.version], 2);
    w.Put((uint32_t)(3 - h.layer), 2);
    w.Put(h.crc ? 0 : 1, 1);
    w.Put((uint32_t)h.bitrateIndex, 4);
    w.Put((uint32_t)h.sampleRateIndex, 2);
    w.Put((uint32_t)h.padding, 1);
    w.Put(0, 1);
    w.Put((uint32_t)h.mode, 2);
    w.Put((uint32_t)h.modeExtension, 2);
    w.Put(0, 4);
    return w.bytes;
}

int ExpectedFrameLength(const HeaderFields& h) {
    // ISO/IEC 11172-3 and 13818-3 bitrate tables, kbit/s.
    static const int v1[3][15] = {
        {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}};
    static const int v2[3][15] = {
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}};
    static const int rates[3][3] = {
        {44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};
    int kbps = h.version == 0 ? v1[h.layer][h.bitrateIndex] : v2[h.layer][h.bitrateIndex];
    int rate = rates[h.version][h.sampleRateIndex];
    int bps = kbps * 1000;
    if (h.layer == 0) return (12 * bps / rate + h.padding) * 4;
    if (h.layer == 2 && h.version != 0) return 72 * bps / rate + h.padding;
    return 144 * bps / rate + h.padding;
}

int FrameLengthAt(const uint8_t* header) {
    static const int versions[4] = {2, -1, 1, 0}; // by the two version bits
    HeaderFields h;
    h.version = versions[(header[1] >> 3) & 3];
    h.layer = 3 - ((header[1] >> 1) & 3);
    h.bitrateIndex = header[2] >> 4;
    h.sampleRateIndex = (header[2] >> 2) & 3;
    h.padding = (header[2] >> 1) & 1;
    bool valid = h.version >= 0 && h.layer < 3 && h.bitrateIndex > 0 && h.bitrateIndex < 15 &&
                 h.sampleRateIndex < 3;
    return valid ? ExpectedFrameLength(h) : 0;
}

std::vector<uint8_t> SilentFrame(const HeaderFields& h) {
    std::vector<uint8_t> frame = HeaderBytes(h);
    frame.resize((size_t)ExpectedFrameLength(h), 0);
    return frame;
}

static void Put32(std::vector<uint8_t>& out, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; i++) out.push_back((uint8_t)(v >> (8 * i)));
}

std::vector<uint8_t> CoverArt(size_t bytes, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> art = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0};
    while (art.size() < bytes) {
        uint32_t r = rng();
        if (r % 61 == 0)
            art.insert(art.end(), {0xFF, 0xFB, 0x90, 0x44}); // MPEG-1 Layer III, 128 kbit/s
        else if (r % 61 == 1)
            art.insert(art.end(), {0xFF, 0xE0});
        else
            art.push_back((uint8_t)(r >> 8));
    }
    art.resize(bytes);
    return art;
}

static void PutBigEndian(std::vector<uint8_t>& out, uint32_t v, int bytes, int bitsPerByte) {
    for (int i = bytes - 1; i >= 0; i--)
        out.push_back((uint8_t)((v >> (bitsPerByte * i)) & ((1u << bitsPerByte) - 1)));
}

std::vector<uint8_t> Id3v2Frame(int major, const std::string& id,
                                const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> frame(id.begin(), id.end());
    uint32_t size = (uint32_t)payload.size();
    if (major == 2) {
        PutBigEndian(frame, size, 3, 8);
    } else {
        PutBigEndian(frame, size, 4, major == 4 ? 7 : 8); // version 4 sizes are synchsafe
        frame.insert(frame.end(), {0, 0});                // flags
    }
    frame.insert(frame.end(), payload.begin(), payload.end());
    return frame;
}

std::vector<uint8_t> Id3v2Tag(int major, const std::vector<uint8_t>& frames, bool footer) {
    uint8_t flags = footer ? 0x10 : 0;
    std::vector<uint8_t> tag = {'I', 'D', '3', (uint8_t)major, 0, flags};
    PutBigEndian(tag, (uint32_t)frames.size(), 4, 7);
    tag.insert(tag.end(), frames.begin(), frames.end());
    if (footer) {
        tag.insert(tag.end(), {'3', 'D', 'I', (uint8_t)major, 0, flags});
        PutBigEndian(tag, (uint32_t)frames.size(), 4, 7);
    }
    return tag;
}

std::vector<uint8_t> Id3v1Tag() {
    std::vector<uint8_t> tag = {'T', 'A', 'G'};
    // Latin-1 text may hold y-diaeresis (FF) before any byte: here whole frame headers.
    while (tag.size() < 127) tag.insert(tag.end(), {0xFF, 0xFB, 0x90, 0x44});
    tag.resize(127);
    tag.push_back(12); // genre
    return tag;
}

std::vector<uint8_t> ApeTag(bool withHeader) {
    std::vector<uint8_t> items;
    const char key[] = "Cover Art (Front)";
    std::vector<uint8_t> value = CoverArt(700, 9);
    Put32(items, (uint32_t)value.size(), 4);
    Put32(items, 2, 4); // binary item
    items.insert(items.end(), key, key + sizeof key);
    items.insert(items.end(), value.begin(), value.end());
    auto block = [&](uint32_t flags) {
        std::vector<uint8_t> b = {'A', 'P', 'E', 'T', 'A', 'G', 'E', 'X'};
        Put32(b, 2000, 4);
        Put32(b, (uint32_t)items.size() + 32, 4); // items and footer
        Put32(b, 1, 4);                           // item count
        Put32(b, flags, 4);
        b.resize(32, 0);
        return b;
    };
    std::vector<uint8_t> tag;
    if (withHeader) tag = block(0xA0000000u); // has a header; this is the header
    tag.insert(tag.end(), items.begin(), items.end());
    std::vector<uint8_t> footer = block(withHeader ? 0x80000000u : 0);
    tag.insert(tag.end(), footer.begin(), footer.end());
    return tag;
}

void BitWriter::Put(uint32_t value, int bits) {
    for (int i = bits - 1; i >= 0; i--) {
        if (bitCount % 8 == 0) bytes.push_back(0);
        if ((value >> i) & 1) bytes.back() |= (uint8_t)(0x80 >> (bitCount % 8));
        bitCount++;
    }
}

void BitWriter::PadTo(size_t count) {
    if (bytes.size() < count) bytes.resize(count, 0);
    bitCount = (int)bytes.size() * 8;
}

Decoded DecodeAll(sStream* source, int bits16, int shift, int channels, int chunk) {
    static sMpegStream* decoder = new sMpegStream; // large: kept off the stack
    Decoded d;
    d.status = decoder->Open(source, &d.rate, &d.stereo, bits16, shift, channels);
    if (d.status < 0) return d;
    std::vector<uint8_t> block((size_t)chunk);
    for (;;) {
        int got = decoder->Read(block.data(), chunk);
        if (got <= 0) break;
        d.bytes.insert(d.bytes.end(), block.begin(), block.begin() + got);
    }
    decoder->Shutdown();
    return d;
}

std::vector<int16_t> AsPcm16(const std::vector<uint8_t>& bytes) {
    std::vector<int16_t> out(bytes.size() / 2);
    if (!out.empty()) memcpy(out.data(), bytes.data(), out.size() * 2);
    return out;
}

bool HaveProgram(const char* name) {
    std::string command = std::string("command -v ") + name + " >/dev/null 2>&1";
    return system(command.c_str()) == 0;
}

int Run(const std::string& command) {
    return system((command + " >/dev/null 2>&1").c_str());
}

std::string TempDir() {
    static std::atomic<int> counter{0};
    const char* base = getenv("TMPDIR");
    std::string dir = std::string(base ? base : "/tmp") + "/mpegtest_" + std::to_string(getpid()) +
                      "_" + std::to_string(counter++);
    Run("rm -rf '" + dir + "' && mkdir -p '" + dir + "'");
    return dir;
}

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write((const char*)bytes.data(), (std::streamsize)bytes.size());
}

void WriteTestWave(const std::string& path, int rate, int channels, double seconds) {
    int frames = (int)(rate * seconds);
    std::mt19937 rng(5);
    std::normal_distribution<double> noise(0.0, 1.0);
    std::vector<uint8_t> out;
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    Put32(out, 36 + (uint32_t)(frames * channels * 2), 4);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    Put32(out, 16, 4);
    Put32(out, 1, 2);
    Put32(out, (uint32_t)channels, 2);
    Put32(out, (uint32_t)rate, 4);
    Put32(out, (uint32_t)(rate * channels * 2), 4);
    Put32(out, (uint32_t)(channels * 2), 2);
    Put32(out, 16, 2);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    Put32(out, (uint32_t)(frames * channels * 2), 4);
    for (int i = 0; i < frames; i++) {
        double t = (double)i / rate;
        // A swept tone keeps every band busy; noise keeps the encoder honest.
        double sweep = sin(2 * M_PI * (200.0 * t + 900.0 * t * t));
        double left = 0.3 * sin(2 * M_PI * 440 * t) + 0.15 * sweep + 0.03 * noise(rng);
        double right = 0.25 * sin(2 * M_PI * 660 * t) + 0.1 * sin(2 * M_PI * 3100 * t) +
                       0.1 * sweep + 0.03 * noise(rng);
        for (int c = 0; c < channels; c++) {
            double v = c == 0 ? left : right;
            int s = (int)lrint(v * 32767.0);
            s = s > 32767 ? 32767 : s < -32768 ? -32768 : s;
            Put32(out, (uint32_t)(uint16_t)s, 2);
        }
    }
    WriteFile(path, out);
}

std::vector<int16_t> ReadWaveSamples(const std::string& path, int* channels) {
    std::vector<uint8_t> f = ReadFile(path);
    *channels = 0;
    size_t p = 12;
    int ch = 0;
    while (p + 8 <= f.size()) {
        uint32_t size = f[p + 4] | f[p + 5] << 8 | f[p + 6] << 16 | (uint32_t)f[p + 7] << 24;
        if (!memcmp(&f[p], "fmt ", 4) && p + 12 <= f.size()) ch = f[p + 10] | f[p + 11] << 8;
        if (!memcmp(&f[p], "data", 4)) {
            size_t end = p + 8 + size;
            if (end > f.size()) end = f.size();
            *channels = ch;
            std::vector<uint8_t> data(f.begin() + (long)p + 8, f.begin() + (long)end);
            return AsPcm16(data);
        }
        p += 8 + size + (size & 1);
    }
    return {};
}

std::vector<int16_t> ReferenceDecode(const std::string& path) {
    // Through a WAV file, so that nothing depends on what mpg123 writes to standard output.
    std::string wav = path + ".mpg123.wav";
    if (Run("mpg123 -q -w '" + wav + "' '" + path + "'") != 0) return {};
    int channels = 0;
    return ReadWaveSamples(wav, &channels);
}

std::vector<ConformanceStream> ConformanceStreams(const std::vector<std::string>& names) {
    std::vector<ConformanceStream> found;
    for (const std::string& name : names) {
        std::vector<uint8_t> bits = ReadFile(ConformanceDirectory() + "/" + name + ".bit");
        std::vector<uint8_t> pcm = ReadFile(ConformanceDirectory() + "/" + name + ".pcm");
        if (!bits.empty() && !pcm.empty()) found.push_back({name, bits, AsPcm16(pcm)});
    }
    return found;
}

std::string ConformanceDirectory() {
    return std::string(PRISMATEL_SHARED_DIR) + "/testdata/mpeg";
}

static double ErrorAt(const std::vector<int16_t>& a, const std::vector<int16_t>& b, int channels,
                      long lag, size_t from, size_t count, double* signal) {
    double e = 0.0, s = 0.0;
    for (size_t i = from; i < from + count; i++) {
        long j = (long)i + lag * channels;
        double r = (j >= 0 && (size_t)j < b.size()) ? b[(size_t)j] : 0.0;
        double d = a[i] - r;
        e += d * d;
        s += r * r;
    }
    if (signal) *signal = s;
    return e;
}

Agreement Compare(const std::vector<int16_t>& ours, const std::vector<int16_t>& reference,
                  int channels, int maxLag, int edge) {
    Agreement best;
    if (ours.empty() || reference.empty() || channels <= 0) return best;
    // Find the lag on a stretch in the middle, then measure over the whole overlap.
    size_t frames = ours.size() / (size_t)channels;
    size_t probeFrom = frames / 3 * (size_t)channels;
    size_t probeCount = std::min<size_t>(ours.size() - probeFrom, 40000);
    double bestError = -1.0;
    for (int lag = -maxLag; lag <= maxLag; lag++) {
        double e = ErrorAt(ours, reference, channels, lag, probeFrom, probeCount, nullptr);
        if (bestError < 0 || e < bestError) bestError = e, best.lag = lag;
    }
    long lag = best.lag;
    long first = std::max<long>(0, -lag) + edge;
    long last =
        std::min<long>((long)frames, (long)(reference.size() / (size_t)channels) - lag) - edge;
    double e = 0.0, s = 0.0;
    for (long f = first; f < last; f++)
        for (int c = 0; c < channels; c++) {
            double a = ours[(size_t)(f * channels + c)];
            double r = reference[(size_t)((f + lag) * channels + c)];
            e += (a - r) * (a - r);
            s += r * r;
            best.maxDifference = std::max(best.maxDifference, (int)fabs(a - r));
        }
    best.compared = last > first ? (size_t)(last - first) : 0;
    best.snr = e > 0 ? 10.0 * log10(s / e) : 200.0;
    return best;
}

} // namespace mpegtest
