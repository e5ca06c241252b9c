// Recording of shown frames as PNG files (libpng, png.cpp), and reading them back (tests).
#ifndef PRISMATEL_CAPTURE_H
#define PRISMATEL_CAPTURE_H

#include <stdint.h>

#include <string>
#include <vector>

namespace capture {

// Writes width * height 0x00RRGGBB pixels as an 8-bit RGB PNG; false on any failure.
bool WritePng(const std::string& path, const uint32_t* rgb, int width, int height);
// Reads an 8-bit RGB or RGBA PNG into 0x00RRGGBB pixels; false on any failure.
bool ReadPng(const std::string& path, std::vector<uint32_t>& rgb, int& width, int& height);
// "<dir>/frame_NNNNN.png" for frame number n.
std::string FramePath(const std::string& dir, int64_t n);
// Creates the recording folder and any missing parents; false when it cannot be made.
bool MakeFolder(const std::string& dir);

} // namespace capture

#endif
