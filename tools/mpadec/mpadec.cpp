// mpadec: decodes an MPEG audio file to a WAV file through the stream classes.
//   mpadec [--float] [--channels 0|1|2|-2] [--rate full|half|quarter] [--start SECONDS] [--raw]
//          IN OUT.wav
// IN and OUT may be "-": standard input, standard output. Messages go to standard error.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "filestream.h"
#include "mpegstream.h"

namespace {

const char USAGE[] =
    "usage: mpadec [options] IN OUT.wav\n"
    "Decodes MPEG audio (Layers I-III) to a WAV file. IN or OUT may be '-' for standard\n"
    "input or output, so that 'mpadec song.mp3 - | aplay' plays.\n"
    "  --float                 32-bit float samples instead of 16-bit integers\n"
    "  --channels 0|1|2|-2     as in the stream, mono, stereo, or mono on both channels\n"
    "  --rate full|half|quarter  output sample rate\n"
    "  --start SECONDS         begin this far into the music\n"
    "  --raw                   every decoded sample: keep the encoder's delay and padding\n"
    "                          that a LAME tag would have removed\n"
    "  -h, --help              this text\n";

struct Options {
    int floatOutput = 0;
    int channels = 0;
    int shift = 0;
    int raw = 0;
    double start = 0.0;
    const char* input = nullptr;
    const char* output = nullptr;
};

// Exit statuses.
enum { DONE = 0, FAILED = 1, BAD_ARGUMENTS = 2, HELP_SHOWN = -1 };

int Usage(const char* message) {
    fprintf(stderr, "mpadec: %s\n%s", message, USAGE);
    return BAD_ARGUMENTS;
}

bool ParseInt(const char* text, int* value) {
    char* end = nullptr;
    long v = strtol(text, &end, 10);
    if (!*text || *end) return false;
    *value = (int)v;
    return true;
}

// Returns DONE when the options are good, HELP_SHOWN, or the status of the usage message.
int ParseOptions(int argc, char** argv, Options* o) {
    int positional = 0;
    for (int i = 1; i < argc; i++) {
        std::string a = argv[i];
        bool hasValue = i + 1 < argc;
        if (a == "-h" || a == "--help") {
            fputs(USAGE, stdout);
            return HELP_SHOWN;
        } else if (a == "--float") {
            o->floatOutput = 1;
        } else if (a == "--raw") {
            o->raw = 1;
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
    return DONE;
}

// Standard input as a stream that cannot seek.
class StdinStream : public sStream {
public:
    void Open() {
#ifdef _WIN32
        _setmode(_fileno(stdin), _O_BINARY);
#endif
        Begin(SF_READ, 0, 0);
    }
    int RawRead(void* buffer, int n) override {
        return (int)fread(buffer, 1, (size_t)n, stdin);
    }
    int Control(int code, void* pointer, int value) override {
        if (code == SC_AT_END) return feof(stdin) || ferror(stdin);
        return sStream::Control(code, pointer, value);
    }
};

void PutLE(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; i++) out.push_back((uint8_t)(value >> (8 * i)));
}

// A stream's length is not known while it is written to a pipe: the sizes then say "as
// long as it goes", as players expect of a WAV that is being streamed.
const uint32_t UNKNOWN_SIZE = 0xFFFFFFFFu;

std::vector<uint8_t> WaveHeader(int rate, int channels, int bytesPerSample, uint32_t dataBytes) {
    std::vector<uint8_t> h;
    int blockAlign = channels * bytesPerSample;
    h.insert(h.end(), {'R', 'I', 'F', 'F'});
    PutLE(h, dataBytes == UNKNOWN_SIZE ? UNKNOWN_SIZE : 36 + dataBytes, 4);
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

bool IsStandardStream(const char* name) {
    return strcmp(name, "-") == 0;
}

// Streams are large objects: keep them off the stack.
sFileStream fileInput;
StdinStream stdinInput;
sMpegStream decoder;

// The sample frames to write: [first, end) of what the decoder yields, end -1 for all.
struct Span {
    int64_t first, end;
};

Span ChooseSpan(const Options& o, int rate) {
    Span s = {0, -1};
    if (!o.raw) decoder.MusicSpan(&s.first, &s.end);
    s.first += (int64_t)(o.start * rate);
    return s;
}

// Moves the decoder to sample frame `first`: by seeking where the source allows it, else
// by reading and dropping.
bool SkipTo(int64_t first, int frameBytes, std::vector<uint8_t>& block) {
    int64_t target = first * frameBytes;
    if (decoder.GetFlags() & SF_SEEK) {
        if (target > 2147483647 - frameBytes) target = 2147483647 / frameBytes * frameBytes;
        decoder.Seek((int)target);
        return true;
    }
    while (target > 0) {
        int want = target < (int64_t)block.size() ? (int)target : (int)block.size();
        int got = decoder.Read(block.data(), want);
        if (got <= 0) return false;
        target -= got;
    }
    return true;
}

void Describe(const Options& o, int rate, int channels) {
    fprintf(stderr, "%s: %s Layer %s, %d Hz, %s -> %d Hz, %d channel%s, %s; about %d frames\n",
            o.input, VersionName(decoder.header.version), LayerName(decoder.header.layer),
            decoder.SampleRate(), decoder.streamChannels == 2 ? "stereo" : "mono", rate, channels,
            channels == 2 ? "s" : "", o.floatOutput ? "32-bit float" : "16-bit",
            decoder.frameCount);
    const sMpegInfoFrame& info = decoder.info;
    if (!info.present) return;
    fprintf(stderr, "%s: info frame: %d frames", o.input, info.frames);
    if (info.gapless)
        fprintf(stderr, ", encoder delay %d and padding %d samples%s", info.encoderDelay,
                info.encoderPadding, o.raw ? " (kept: --raw)" : " (removed)");
    fputc('\n', stderr);
}

sStream* OpenInput(const char* name) {
    if (IsStandardStream(name)) {
        stdinInput.Open();
        return &stdinInput;
    }
    return fileInput.Open(name, 2) < 0 ? nullptr : &fileInput;
}

FILE* OpenOutput(const char* name) {
    if (!IsStandardStream(name)) return fopen(name, "wb");
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    return stdout;
}

// Decodes the span into the open output; returns the bytes written, or -1 on a write error.
int64_t Decode(FILE* out, Span span, int frameBytes, std::vector<uint8_t>& block) {
    int64_t total = 0;
    int64_t limit = span.end < 0            ? -1
                    : span.end > span.first ? (span.end - span.first) * frameBytes
                                            : 0;
    while (limit < 0 || total < limit) {
        int want = (int)block.size();
        if (limit >= 0 && limit - total < want) want = (int)(limit - total);
        int got = decoder.Read(block.data(), want);
        if (got <= 0) break;
        if (fwrite(block.data(), 1, (size_t)got, out) != (size_t)got) return -1;
        total += got;
    }
    return total;
}

int Run(const Options& o) {
    sStream* input = OpenInput(o.input);
    if (!input) {
        fprintf(stderr, "mpadec: cannot open %s\n", o.input);
        return FAILED;
    }
    int rate = 0, stereo = 0;
    if (decoder.Open(input, &rate, &stereo, !o.floatOutput, o.shift, o.channels) < 0) {
        fprintf(stderr,
                "mpadec: %s is not an MPEG audio stream this decoder can read: no frame header "
                "followed by a second one within %d KiB of its start (after any ID3v2 tag)\n",
                o.input, MAX_JUNK_BYTES / 1024);
        return FAILED;
    }
    int channels = stereo ? 2 : 1;
    int bytesPerSample = o.floatOutput ? 4 : 2;
    int frameBytes = channels * bytesPerSample;
    Describe(o, rate, channels);

    std::vector<uint8_t> block(65536);
    Span span = ChooseSpan(o, rate);
    bool reached = SkipTo(span.first, frameBytes, block);
    FILE* out = OpenOutput(o.output);
    if (!out) {
        fprintf(stderr, "mpadec: cannot create %s\n", o.output);
        return FAILED;
    }
    std::vector<uint8_t> header = WaveHeader(rate, channels, bytesPerSample, UNKNOWN_SIZE);
    bool written = fwrite(header.data(), 1, header.size(), out) == header.size();
    int64_t total = written && reached ? Decode(out, span, frameBytes, block) : 0;
    written = written && total >= 0;
    // A file gets its sizes; a pipe keeps the streaming header.
    if (written && fseek(out, 0, SEEK_SET) == 0) {
        uint32_t size = total > 0xFFFFFF00 ? 0xFFFFFF00 : (uint32_t)total;
        header = WaveHeader(rate, channels, bytesPerSample, size);
        written = fwrite(header.data(), 1, header.size(), out) == header.size();
    }
    written = fflush(out) == 0 && written;
    if (out != stdout) written = fclose(out) == 0 && written;
    decoder.Shutdown();
    input->Shutdown();
    if (!written) {
        fprintf(stderr, "mpadec: cannot write %s\n", o.output);
        return FAILED;
    }
    fprintf(stderr, "%lld sample frames written to %s\n", (long long)(total / frameBytes),
            IsStandardStream(o.output) ? "standard output" : o.output);
    return DONE;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    int status = ParseOptions(argc, argv, &o);
    if (status == HELP_SHOWN) return DONE;
    if (status != DONE) return status;
    return Run(o);
}
