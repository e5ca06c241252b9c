// The decoder's speed: a 300-second 192 kbit/s stereo Layer III stream (lame, from a
// generated signal) decoded to 16-bit PCM through sFileStream and sMpegStream, against
// mpg123 decoding the same file (`mpg123 -q -w`) in the same run. Prints the ratio of our
// CPU time to mpg123's.
#include <benchmark/benchmark.h>

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <random>
#include <string>
#include <vector>

#include "filestream.h"
#include "mpegstream.h"

namespace {

const int SECONDS = 300;
const int RATE = 44100;
const double TARGET_RATIO = 0.9;

std::string workDir;
std::string streamPath;
double ourSeconds = 0.0, theirSeconds = 0.0;

double ProcessCpuSeconds() {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return (double)t.tv_sec + t.tv_nsec * 1e-9;
}

double ChildrenCpuSeconds() {
    rusage u;
    getrusage(RUSAGE_CHILDREN, &u);
    return (double)(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           (double)(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

void Put(FILE* f, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; i++) fputc((int)((v >> (8 * i)) & 0xFF), f);
}

// Music-like material: chords that change every second, a sweep and some noise, so every
// block type and most Huffman tables turn up.
bool WriteSignal(const std::string& path) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    uint32_t frames = (uint32_t)(SECONDS * RATE), bytes = frames * 4;
    fwrite("RIFF", 1, 4, f), Put(f, 36 + bytes, 4), fwrite("WAVEfmt ", 1, 8, f);
    Put(f, 16, 4), Put(f, 1, 2), Put(f, 2, 2), Put(f, RATE, 4), Put(f, RATE * 4, 4);
    Put(f, 4, 2), Put(f, 16, 2), fwrite("data", 1, 4, f), Put(f, bytes, 4);
    std::mt19937 rng(11);
    std::normal_distribution<double> noise(0.0, 1.0);
    static const double notes[8] = {220.0, 261.6, 329.6, 392.0, 440.0, 523.3, 659.3, 784.0};
    std::vector<int16_t> block(2 * 4096);
    for (uint32_t i = 0; i < frames;) {
        size_t n = 0;
        for (; n < 4096 && i < frames; n++, i++) {
            double t = (double)i / RATE;
            int chord = (int)t % 8;
            double l = 0, r = 0;
            for (int k = 0; k < 3; k++) {
                double freq = notes[(chord + 2 * k) % 8];
                l += 0.12 * sin(2 * M_PI * freq * t);
                r += 0.12 * sin(2 * M_PI * freq * 1.5 * t + k);
            }
            double attack = fmod(t, 0.5) < 0.01 ? 0.6 * noise(rng) : 0.0; // transients
            double sweep = 0.08 * sin(2 * M_PI * (100.0 + 40.0 * fmod(t, 60.0)) * t);
            l += sweep + attack + 0.01 * noise(rng);
            r += 0.5 * sweep + attack * 0.7 + 0.01 * noise(rng);
            block[2 * n] = (int16_t)lrint(fmax(-1.0, fmin(1.0, l)) * 32000);
            block[2 * n + 1] = (int16_t)lrint(fmax(-1.0, fmin(1.0, r)) * 32000);
        }
        fwrite(block.data(), 4, n, f);
    }
    return fclose(f) == 0;
}

bool PrepareStream() {
    if (!streamPath.empty()) return true;
    char pattern[] = "/tmp/mpeg_bench_XXXXXX";
    if (!mkdtemp(pattern)) return false;
    workDir = pattern;
    std::string wav = workDir + "/signal.wav";
    std::string mp3 = workDir + "/signal.mp3";
    if (!WriteSignal(wav)) return false;
    std::string command = "lame --quiet -b 192 '" + wav + "' '" + mp3 + "'";
    if (system(command.c_str()) != 0) return false;
    unlink(wav.c_str());
    streamPath = mp3;
    return true;
}

sFileStream input;
sMpegStream decoder;
uint8_t pcm[4608 * 16];

void BM_DecodeLayer3(benchmark::State& state) {
    if (!PrepareStream()) {
        state.SkipWithError("lame could not make the stream");
        return;
    }
    double total = 0.0;
    int64_t bytes = 0;
    for (auto _ : state) {
        double start = ProcessCpuSeconds();
        input.Open(streamPath.c_str(), 2);
        int rate = 0, stereo = 0;
        if (decoder.Open(&input, &rate, &stereo, 1, 0, 0) < 0) {
            state.SkipWithError("the decoder did not open the stream");
            return;
        }
        for (;;) {
            int got = decoder.Read(pcm, sizeof pcm);
            if (got <= 0) break;
            bytes += got;
        }
        decoder.Shutdown();
        input.Shutdown();
        double used = ProcessCpuSeconds() - start;
        state.SetIterationTime(used);
        total += used;
    }
    ourSeconds = total / (double)state.iterations();
    state.SetBytesProcessed(bytes);
    state.counters["x_realtime"] = SECONDS / ourSeconds;
}

void BM_Mpg123(benchmark::State& state) {
    if (!PrepareStream()) {
        state.SkipWithError("lame could not make the stream");
        return;
    }
    std::string out = workDir + "/mpg123.wav";
    std::string command = "mpg123 -q -w '" + out + "' '" + streamPath + "'";
    double total = 0.0;
    for (auto _ : state) {
        double start = ChildrenCpuSeconds();
        if (system(command.c_str()) != 0) {
            state.SkipWithError("mpg123 failed");
            return;
        }
        double used = ChildrenCpuSeconds() - start;
        state.SetIterationTime(used);
        total += used;
    }
    unlink(out.c_str());
    theirSeconds = total / (double)state.iterations();
    state.counters["x_realtime"] = SECONDS / theirSeconds;
}

BENCHMARK(BM_DecodeLayer3)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Mpg123)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (ourSeconds > 0 && theirSeconds > 0) {
        double ratio = ourSeconds / theirSeconds;
        printf("decoder CPU time / mpg123 CPU time on %d s of 192 kbit/s Layer III: %.2f "
               "(%.2f s against %.2f s; target %.2f or less: %s)\n",
               SECONDS, ratio, ourSeconds, theirSeconds, TARGET_RATIO,
               ratio <= TARGET_RATIO ? "met" : "NOT met");
    }
    if (!workDir.empty()) {
        unlink(streamPath.c_str());
        rmdir(workDir.c_str());
    }
    return 0;
}
