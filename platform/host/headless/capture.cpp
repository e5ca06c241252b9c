// The recording folder and its frames' names (PNG itself: png.cpp).
#include "capture.h"

#include <stdio.h>

#include <filesystem>
#include <system_error>

namespace capture {

std::string FramePath(const std::string& dir, int64_t n) {
    char name[32];
    snprintf(name, sizeof(name), "frame_%05lld.png", (long long)n);
    return dir + "/" + name;
}

bool MakeFolder(const std::string& dir) {
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    return std::filesystem::is_directory(dir, error);
}

} // namespace capture
