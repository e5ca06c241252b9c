// The process entry of a Windows GUI program: the loader calls WinMain with the
// instance, no previous instance, the command line and the show command, and ends the
// process with what WinMain returns.
#include <windows.h>

#include <stdlib.h>

#include <string>

// exit() (a fatal error's way out) ends the process as ExitProcess does, before the exit
// handlers registered at start-up run under threads that are still drawing.
// (The browser's C library has no on_exit; there the page's runtime ends the threads.)
#ifndef __EMSCRIPTEN__
static void EndLikeExitProcess(int status, void*) {
    ExitProcess((UINT)status);
}
#endif

int main(int argc, char** argv) {
#ifndef __EMSCRIPTEN__
    on_exit(EndLikeExitProcess, nullptr);
#endif
    std::string commandLine;
    for (int i = 1; i < argc; i++) {
        if (i > 1) commandLine += ' ';
        commandLine += argv[i];
    }
    HINSTANCE instance = GetModuleHandleA(NULL);
    ExitProcess((UINT)WinMain(instance, NULL, &commandLine[0], SW_SHOWNORMAL));
}
