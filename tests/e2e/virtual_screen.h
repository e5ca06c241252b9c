// A virtual X screen (Xvfb) for the runs that need a display, with or without a window
// manager (openbox). Xvfb keeps its frame buffer in a file, so copying it is a screenshot.
#ifndef TESTS_E2E_VIRTUAL_SCREEN_H
#define TESTS_E2E_VIRTUAL_SCREEN_H

#include <sys/types.h>

#include <string>
#include <vector>

#include "pngio.h"

namespace e2e {

// Why a screen cannot be had here ("" when it can): Xvfb, and with a window manager openbox,
// wmctrl and xdotool, must be installed.
std::string MissingForScreen(bool windowManager);

class VirtualScreen {
public:
    VirtualScreen(int width, int height, bool windowManager);
    ~VirtualScreen();
    VirtualScreen(const VirtualScreen&) = delete;
    VirtualScreen& operator=(const VirtualScreen&) = delete;

    // ":N", or "" when the server did not start.
    const std::string& Display() const { return display; }
    // "DISPLAY=:N", for a program's environment.
    std::string Variable() const { return "DISPLAY=" + display; }
    // Runs an X tool (wmctrl, xdotool) on this screen; its exit status, -1 if it did not end.
    int Tool(const std::vector<std::string>& argv, std::string* output = nullptr) const;
    // The screen as it is now.
    bool Screenshot(pngio::Image& image, std::string& error) const;

private:
    bool StartServer(int width, int height);
    bool StartWindowManager();

    std::string display;
    std::string frameBufferDir;
    pid_t server = -1;
    pid_t windowManager = -1;
};

} // namespace e2e

#endif
