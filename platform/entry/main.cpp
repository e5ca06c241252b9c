// The process entry of a Windows GUI program: the loader calls WinMain with the
// instance, no previous instance, the command line and the show command.
#include <windows.h>

#include <string>

int main(int argc, char** argv) {
    std::string commandLine;
    for (int i = 1; i < argc; i++) {
        if (i > 1) commandLine += ' ';
        commandLine += argv[i];
    }
    HINSTANCE instance = GetModuleHandleA(NULL);
    return WinMain(instance, NULL, &commandLine[0], SW_SHOWNORMAL);
}
