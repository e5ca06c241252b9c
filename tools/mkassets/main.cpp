// mkassets OUTDIR: writes the show's default data from nothing but this source: the ten
// images as bitmap files under OUTDIR/vd/, a PNG preview of each (and of two screen
// layouts) under OUTDIR/preview/, and the music as OUTDIR/music.wav.
#include <errno.h>
#include <stdio.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "assets_art.h"
#include "assets_layout.h"
#include "assets_music.h"
#include "assets_wav.h"
#include "bmapfile.h"
#include "pngio.h"

namespace {

const char* FONT_DIR = "/usr/share/fonts/truetype/dejavu";

bool MakeDir(const std::string& path) {
    return mkdir(path.c_str(), 0755) == 0 || errno == EEXIST;
}

bool WriteBitmap(const std::string& path, const assets::IndexedImage& image, std::string& error) {
    bmapfile::Image file;
    file.bitsPerPixel = 8;
    for (const assets::Rgb& c : image.palette)
        file.palette.push_back(pngio::Rgba{c.r, c.g, c.b, 255});
    file.width = image.width;
    file.height = image.height;
    file.rowBytes = image.width;
    file.levels.push_back(image.pixels);
    return bmapfile::WriteFile(path, file, error);
}

bool WritePreview(const std::string& path, int width, int height,
                  const std::vector<assets::Rgb>& rgb, std::string& error) {
    pngio::Image png;
    png.width = width;
    png.height = height;
    png.layout = pngio::Layout::Rgb;
    for (const assets::Rgb& c : rgb) png.samples.insert(png.samples.end(), {c.r, c.g, c.b});
    return pngio::Write(path, png, error);
}

// "vd/q47_back.scl" -> "q47_back"
std::string BaseName(const std::string& name) {
    size_t slash = name.rfind('/'), dot = name.rfind('.');
    return name.substr(slash + 1, dot - slash - 1);
}

bool WriteImages(const std::string& out, std::string& error) {
    std::vector<assets::ArtImage> art;
    if (!assets::MakeAllArt(FONT_DIR, art, error)) return false;
    for (const assets::ArtImage& a : art) {
        const assets::IndexedImage& image = a.image;
        if (!WriteBitmap(out + "/" + a.name, image, error)) return false;
        std::string preview = out + "/preview/" + BaseName(a.name) + ".png";
        if (!WritePreview(preview, image.width, image.height, assets::Preview(a), error))
            return false;
    }
    using assets::SCREEN_H;
    using assets::SCREEN_W;
    return WritePreview(out + "/preview/layout_titles.png", SCREEN_W, SCREEN_H,
                        assets::TitleLayoutPreview(art), error) &&
           WritePreview(out + "/preview/layout_panels.png", SCREEN_W, SCREEN_H,
                        assets::PanelLayoutPreview(art), error);
}

bool WriteMusic(const std::string& out, std::string& error) {
    assets::StereoBuffer music = assets::RenderMusic();
    return assets::WriteWav(out + "/music.wav", music, error);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2 && !(argc == 3 && std::string(argv[2]) == "--images")) {
        fprintf(stderr, "usage: mkassets OUTDIR [--images]\n");
        return 2;
    }
    std::string out = argv[1];
    std::string error;
    if (!MakeDir(out) || !MakeDir(out + "/vd") || !MakeDir(out + "/preview")) {
        fprintf(stderr, "mkassets: cannot create folders under %s\n", out.c_str());
        return 1;
    }
    bool ok = WriteImages(out, error) && (argc == 3 || WriteMusic(out, error));
    if (!ok) {
        fprintf(stderr, "mkassets: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
