// mpadec: decodes an MPEG audio file to a WAV file through the stream classes.
//   mpadec [--float] [--channels 0|1|2|-2] [--rate full|half|quarter] [--start SECONDS] IN OUT.wav
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "filestream.h"
#include "mpegstream.h"

namespace {

struct Options {
    int floatOutput = 0;
    int channels = 0;
    int shift = 0;
    double start = 0.0;
    const char* input = nullptr;
    const char* output = nullptr;
};

int Usage(const char* message) {
    if (message) fprintf(stderr, "mpadec: %s\n", message);
    fprintf(stderr, "usage: mpadec [--float] [--channels 0|1|2|-2] [--rate full|half|quarter] "
                    "[--start SECONDS] IN OUT.wav\n");
    return 2;
}

bool ParseInt(const char* text, int* value) {
    char* end = nullptr;
    long v = strtol(text, &end, 10);
    if (!*text || *end) return false;
    *value = (int)v;
    return true;
}

// Returns 0 when the options are good, else the exit status of the usage message.
int ParseOptions(int argc, char** argv, Options* o) {
    int positional = 0;
    for (int i = 1; i < argc; i++) {
        std::string a = argv[i];
        bool hasValue = i + 1 < argc;
        if (a == "--float") {
            o->floatOutput = 1;
        } else if (a == "--channels") {
            if (!hasValue || !ParseInt(argv[++i], &o->channels) ||
                (o->channels != 0 && o->channels != 1 && o->channels != 2 && o->channels != -2))
                return Usage("--channels takes 0, 1, 2 or -2");
        } else if (a == "--rate") {
            std::string r = hasValue ? argv[++i] : "";
            if (r == "full")
                o->shift = 0;
            else if (r == "half")
                o->shift = 1;
            else if (r == "quarter")
                o->shift = 2;
            else
                return Usage("--rate takes full, half or quarter");
        } else if (a == "--start") {
            char* end = nullptr;
            if (hasValue) o->start = strtod(argv[++i], &end);
            if (!end || *end || o->start < 0) return Usage("--start takes a non-negative number");
        } else if (a.size() > 1 && a[0] == '-') {
            return Usage(("unknown option " + a).c_str());
        } else if (positional == 0) {
            o->input = argv[i], positional++;
        } else if (positional == 1) {
            o->output = argv[i], positional++;
        } else {
            return Usage("too many arguments");
        }
    }
    if (positional != 2) return Usage("an input and an output file are needed");
    return 0;
}

void PutLE(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; i++) out.push_back((uint8_t)(value >> (8 * i)));
}

std::vector<uint8_t> WaveHeader(int rate, int channels, int bytesPerSample, uint32_t dataBytes) {
    std::vector<uint8_t> h;
    int blockAlign = channels * bytesPerSample;
    h.insert(h.end(), {'R', 'I', 'F', 'F'});
    PutLE(h, 36 + dataBytes, 4);
    h.insert(h.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    PutLE(h, 16, 4);
    PutLE(h, bytesPerSample == 4 ? 3 : 1, 2); // IEEE float or PCM
    PutLE(h, (uint32_t)channels, 2);
    PutLE(h, (uint32_t)rate, 4);
    PutLE(h, (uint32_t)(rate * blockAlign), 4);
    PutLE(h, (uint32_t)blockAlign, 2);
    PutLE(h, (uint32_t)(8 * bytesPerSample), 2);
    h.insert(h.end(), {'d', 'a', 't', 'a'});
    PutLE(h, dataBytes, 4);
    return h;
}

const char* LayerName(int layer) {
    static const char* names[3] = {"I", "II", "III"};
    return layer >= 0 && layer < 3 ? names[layer] : "?";
}

const char* VersionName(int version) {
    static const char* names[3] = {"MPEG-1", "MPEG-2", "MPEG-2.5"};
    return version >= 0 && version < 3 ? names[version] : "?";
}

// Streams are large objects: keep them off the stack.
sFileStream input;
sMpegStream decoder;
sFileStream output;

} // namespace

int main(int argc, char** argv) {
    Options o;
    if (int status = ParseOptions(argc, argv, &o)) return status;

    if (input.Open(o.input, 2) < 0) {
        fprintf(stderr, "mpadec: cannot open %s\n", o.input);
        return 1;
    }
    int rate = 0, stereo = 0;
    if (decoder.Open(&input, &rate, &stereo, !o.floatOutput, o.shift, o.channels) < 0) {
        fprintf(stderr, "mpadec: %s is not an MPEG audio stream this decoder can read\n", o.input);
        return 1;
    }
    int channels = stereo ? 2 : 1;
    int bytesPerSample = o.floatOutput ? 4 : 2;
    int frameBytes = channels * bytesPerSample;
    printf("%s: %s Layer %s, %d Hz, %s -> %d Hz, %d channel%s, %s; about %d frames\n", o.input,
           VersionName(decoder.header.version), LayerName(decoder.header.layer),
           decoder.SampleRate(), decoder.streamChannels == 2 ? "stereo" : "mono", rate, channels,
           channels == 2 ? "s" : "", o.floatOutput ? "32-bit float" : "16-bit", decoder.frameCount);

    if (o.start > 0) {
        double target = o.start * rate * frameBytes;
        if (target > 2147483647.0) target = 2147483647.0;
        int position = (int)target / frameBytes * frameBytes;
        decoder.Seek(position);
    }
    if (output.Open(o.output, 3 | 8) < 0) {
        fprintf(stderr, "mpadec: cannot create %s\n", o.output);
        return 1;
    }
    std::vector<uint8_t> header = WaveHeader(rate, channels, bytesPerSample, 0);
    output.Write(header.data(), (int)header.size());
    std::vector<uint8_t> block(65536);
    uint32_t total = 0;
    for (;;) {
        int got = decoder.Read(block.data(), (int)block.size());
        if (got <= 0) break;
        if (output.Write(block.data(), got) != got) {
            fprintf(stderr, "mpadec: cannot write %s\n", o.output);
            return 1;
        }
        total += (uint32_t)got;
    }
    header = WaveHeader(rate, channels, bytesPerSample, total);
    output.Seek(0);
    output.Write(header.data(), (int)header.size());
    output.Shutdown();
    decoder.Shutdown();
    input.Shutdown();
    printf("%u sample frames written to %s\n", total / (uint32_t)frameBytes, o.output);
    return 0;
}
