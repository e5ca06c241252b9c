// Screenshots in X's window-dump format (XWD), the file Xvfb keeps its frame buffer in when
// started with -fbdir: copying that file is a screenshot of the virtual screen.
#ifndef TOOLS_XWDIMAGE_H
#define TOOLS_XWDIMAGE_H

#include <stdint.h>

#include <string>
#include <vector>

#include "pngio.h"

namespace xwdimage {

// Decodes a true-colour ZPixmap dump (24 or 32 bits per pixel, either byte order) into an
// RGB image. Anything else (a palette visual, a damaged or cut header, pixel data shorter
// than the header promises) is refused with a reason.
bool Decode(const std::vector<uint8_t>& file, pngio::Image& out, std::string& error);
bool Read(const std::string& path, pngio::Image& out, std::string& error);

} // namespace xwdimage

#endif
