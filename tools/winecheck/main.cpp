// winecheck: the comparisons behind tools/check-wine, between a program run under Wine and
// the same program run on the stand-in with capture.
//   winecheck frames  --reference DIR --bound LEVELS [--scale N] [--ignore-rows Y0-Y1] SHOT...
//   winecheck sound   --reference audio.wav --played FILE.raw [--rate HZ] [--channels N]
//   winecheck debug   --program NAME --expected FILE --wine WINE.log --standin STANDIN.log
//   winecheck png     SHOT.xwd OUT.png
//   winecheck lit     SHOT.xwd          (status 0 once most of the screen is drawn on)
// Screenshots are XWD files (Xvfb's frame buffer) or PNGs. Exit status 0 when the check
// holds, 1 when it does not, 2 on bad usage or unreadable input.
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "debuglines.h"
#include "fileio.h"
#include "framematch.h"
#include "pngio.h"
#include "soundmatch.h"
#include "xwdimage.h"

namespace {

struct Args {
    std::map<std::string, std::string> options;
    std::vector<std::string> positional;
};

Args Parse(int argc, char** argv, int first) {
    Args a;
    for (int i = first; i < argc; i++) {
        std::string s = argv[i];
        if (s.rfind("--", 0) == 0 && i + 1 < argc)
            a.options[s.substr(2)] = argv[++i];
        else
            a.positional.push_back(s);
    }
    return a;
}

int Fail(const std::string& message) {
    fprintf(stderr, "winecheck: %s\n", message.c_str());
    return 2;
}

bool ReadImage(const std::string& path, pngio::Image& out, std::string& error) {
    bool png = path.size() > 4 && path.compare(path.size() - 4, 4, ".png") == 0;
    return png ? pngio::Read(path, out, error) : xwdimage::Read(path, out, error);
}

std::string FramePath(const std::string& dir, int n) {
    char name[32];
    snprintf(name, sizeof(name), "/frame_%05d.png", n);
    return dir + name;
}

int Frames(const Args& a) {
    if (!a.options.count("reference") || !a.options.count("bound") || a.positional.empty())
        return Fail("frames needs --reference DIR --bound LEVELS and screenshots");
    const std::string dir = a.options.at("reference");
    double bound = atof(a.options.at("bound").c_str());
    int scale = a.options.count("scale") ? atoi(a.options.at("scale").c_str()) : 8;
    int ignoreFirst = -1, ignoreLast = -1;
    if (a.options.count("ignore-rows") &&
        sscanf(a.options.at("ignore-rows").c_str(), "%d-%d", &ignoreFirst, &ignoreLast) != 2)
        return Fail("--ignore-rows takes FIRST-LAST");
    auto thumb = [&](const pngio::Image& image) {
        framematch::Thumb t = framematch::Shrink(image, scale);
        if (ignoreFirst >= 0) framematch::MaskRows(t, scale, ignoreFirst, ignoreLast);
        return t;
    };
    std::string error;
    std::vector<framematch::Thumb> frames, shots;
    for (int n = 0;; n++) {
        pngio::Image image;
        if (!pngio::Read(FramePath(dir, n), image, error)) break;
        frames.push_back(thumb(image));
    }
    if (frames.empty()) return Fail("no frames in " + dir);
    for (const std::string& path : a.positional) {
        pngio::Image image;
        if (!ReadImage(path, image, error)) return Fail(error);
        shots.push_back(thumb(image));
    }
    std::vector<framematch::Match> m = framematch::MatchInOrder(shots, frames);
    if (m.empty()) return Fail("more screenshots than frames");
    int bad = 0;
    double worst = 0;
    printf("%-40s %8s %9s %8s %9s\n", "screenshot", "frame", "distance", "nearest", "distance");
    for (size_t i = 0; i < m.size(); i++) {
        bool over = m[i].distance > bound;
        bad += over;
        worst = std::max(worst, m[i].distance);
        std::string name = a.positional[i].substr(a.positional[i].find_last_of('/') + 1);
        printf("%-40s %8d %9.3f %8d %9.3f%s\n", name.c_str(), m[i].frame, m[i].distance,
               m[i].nearest, m[i].nearestDistance, over ? "  OVER" : "");
    }
    printf("%zu screenshots against %zu frames: worst %.3f levels, bound %.3f\n", m.size(),
           frames.size(), worst, bound);
    return bad ? 1 : 0;
}

int Sound(const Args& a) {
    if (!a.options.count("reference") || !a.options.count("played"))
        return Fail("sound needs --reference WAV --played RAW");
    std::vector<uint8_t> wav, raw;
    std::string error;
    if (!fileio::ReadAll(a.options.at("reference"), wav, error) ||
        !fileio::ReadAll(a.options.at("played"), raw, error))
        return Fail(error);
    soundmatch::Pcm reference;
    if (!soundmatch::ParseWav(wav, reference, error))
        return Fail(a.options.at("reference") + ": " + error);
    int rate = a.options.count("rate") ? atoi(a.options.at("rate").c_str()) : 44100;
    int channels = a.options.count("channels") ? atoi(a.options.at("channels").c_str()) : 2;
    if (rate != reference.rate || channels != reference.channels)
        return Fail("the played stream's format differs from the reference's");
    soundmatch::Pcm played = soundmatch::FromRaw(raw, channels, rate);
    // A quarter of a second of the music's opening marks each start.
    soundmatch::Result r = soundmatch::Compare(reference, played, (size_t)rate * channels / 4);
    printf("music starts: %zu in the reference, %zu in the played sound\n", r.referenceStarts,
           r.playedStarts);
    bool good = r.referenceStarts > 0 && r.referenceStarts == r.playedStarts;
    double perSecond = (double)rate * channels;
    for (const soundmatch::Segment& s : r.segments) {
        printf("  at %.3f s / %.3f s: %.3f s compared, %zu samples differ",
               s.referenceAt / perSecond, s.playedAt / perSecond, s.compared / perSecond,
               s.differing);
        if (s.differing) printf(" (first after %.3f s)", s.firstDifference / perSecond);
        printf("\n");
        good = good && !s.differing && s.compared > 0;
    }
    return good ? 0 : 1;
}

int Debug(const Args& a) {
    for (const char* need : {"program", "expected", "wine", "standin"})
        if (!a.options.count(need))
            return Fail("debug needs --program --expected --wine --standin");
    std::vector<uint8_t> expectedText, wineLog, standInLog;
    std::string error;
    if (!fileio::ReadAll(a.options.at("expected"), expectedText, error) ||
        !fileio::ReadAll(a.options.at("wine"), wineLog, error) ||
        !fileio::ReadAll(a.options.at("standin"), standInLog, error))
        return Fail(error);
    std::vector<debuglines::Expected> expected;
    if (!debuglines::ParseExpected(std::string(expectedText.begin(), expectedText.end()), expected,
                                   error))
        return Fail(a.options.at("expected") + ": " + error);
    const std::string program = a.options.at("program");
    std::vector<std::string> wine =
        debuglines::FromWineLog(std::string(wineLog.begin(), wineLog.end()));
    std::vector<std::string> standIn =
        debuglines::SplitLines(std::string(standInLog.begin(), standInLog.end()));
    std::vector<debuglines::Difference> d =
        debuglines::Compare(wine, standIn, program, expected, 20);
    printf("%zu debug lines under Wine, %zu on the stand-in\n", wine.size(), standIn.size());
    for (const debuglines::Expected& e : expected)
        if (e.program == "*" || e.program == program)
            printf("  expected difference (%d lines): %s\n      %s\n", e.used, e.source.c_str(),
                   e.reason.c_str());
    for (const debuglines::Difference& x : d)
        printf("  DIFFERS at line %zu:\n    wine:     %s\n    stand-in: %s\n", x.line,
               x.wine.c_str(), x.standIn.c_str());
    return d.empty() ? 0 : 1;
}

int Png(const Args& a) {
    if (a.positional.size() != 2) return Fail("png needs SHOT.xwd OUT.png");
    pngio::Image image;
    std::string error;
    if (!xwdimage::Read(a.positional[0], image, error)) return Fail(error);
    if (!pngio::Write(a.positional[1], image, error)) return Fail(error);
    return 0;
}

int Lit(const Args& a) {
    if (a.positional.size() != 1) return Fail("lit needs SHOT.xwd");
    pngio::Image image;
    std::string error;
    if (!xwdimage::Read(a.positional[0], image, error)) return Fail(error);
    // Most of the screen, so that the pointer X draws over an empty screen does not count.
    size_t drawn = 0, pixels = (size_t)image.width * image.height;
    for (size_t i = 0; i < pixels; i++)
        drawn += (image.samples[i * 3] | image.samples[i * 3 + 1] | image.samples[i * 3 + 2]) != 0;
    return drawn * 2 > pixels ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Fail("usage: winecheck frames|sound|debug|png|lit ...");
    std::string command = argv[1];
    Args a = Parse(argc, argv, 2);
    if (command == "frames") return Frames(a);
    if (command == "sound") return Sound(a);
    if (command == "debug") return Debug(a);
    if (command == "png") return Png(a);
    if (command == "lit") return Lit(a);
    return Fail("unknown command " + command);
}
