// mkbmap [--kind index8|0565|0888|mono] [--levels N] IN.png OUT.scl
// mkbmap --png [--level L] IN.scl OUT.png
// Writes bitmap files the engine loads, from PNG pictures, and turns them back into PNG.
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "bmapbuild.h"
#include "bmapfile.h"
#include "pngio.h"

namespace {

struct Options {
    bool toPng = false;
    bool kindGiven = false;
    bmapbuild::Kind kind = bmapbuild::Kind::Index8;
    int levels = 1;
    int level = 0;
    std::string in, out;
};

int Usage() {
    fprintf(stderr, "usage: mkbmap [--kind index8|0565|0888|mono] [--levels N] IN.png OUT.scl\n"
                    "       mkbmap --png [--level L] IN.scl OUT.png\n");
    return 2;
}

int Fail(const std::string& message) {
    fprintf(stderr, "mkbmap: %s\n", message.c_str());
    return 1;
}

bool ParseNumber(const char* text, int low, int high, int& out) {
    char* end = nullptr;
    long v = strtol(text, &end, 10);
    if (!*text || *end || v < low || v > high) return false;
    out = int(v);
    return true;
}

bool ParseArguments(int argc, char** argv, Options& o) {
    int files = 0;
    for (int i = 1; i < argc; i++) {
        std::string arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == "--png") {
            o.toPng = true;
        } else if (arg == "--kind" && hasValue) {
            if (!bmapbuild::ParseKind(argv[++i], o.kind)) return false;
            o.kindGiven = true;
        } else if (arg == "--levels" && hasValue) {
            if (!ParseNumber(argv[++i], 1, bmapfile::MAX_LEVELS, o.levels)) return false;
        } else if (arg == "--level" && hasValue) {
            if (!ParseNumber(argv[++i], 0, bmapfile::MAX_LEVELS - 1, o.level)) return false;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return false;
        } else {
            (files++ == 0 ? o.in : o.out) = arg;
        }
    }
    return files == 2;
}

int ToBitmap(const Options& o) {
    pngio::Image png;
    std::string error;
    if (!pngio::Read(o.in, png, error)) return Fail(o.in + ": " + error);
    int step = 1 << (o.levels - 1);
    if (png.width % step || png.height % step)
        fprintf(stderr, "mkbmap: warning: %dx%d is padded to multiples of %d for %d levels\n",
                png.width, png.height, step, o.levels);
    bmapfile::Image image;
    if (!bmapbuild::FromPng(png, o.kindGiven ? &o.kind : nullptr, o.levels, image, error))
        return Fail(error);
    if (!bmapfile::WriteFile(o.out, image, error)) return Fail(error);
    return 0;
}

int ToPng(const Options& o) {
    bmapfile::Image image;
    std::string error;
    if (!bmapfile::ReadFile(o.in, image, error)) return Fail(o.in + ": " + error);
    pngio::Image png;
    if (!bmapbuild::ToPng(image, o.level, png, error)) return Fail(o.in + ": " + error);
    if (!pngio::Write(o.out, png, error)) return Fail(error);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    if (!ParseArguments(argc, argv, o)) return Usage();
    return o.toPng ? ToPng(o) : ToBitmap(o);
}
