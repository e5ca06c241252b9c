// Scripted input, PRISMATEL_INPUT: keys and mouse buttons pressed at given clock times.
#ifndef PRISMATEL_HOST_HEADLESS_INPUT_SCRIPT_H
#define PRISMATEL_HOST_HEADLESS_INPUT_SCRIPT_H

#include <stdint.h>

#include <string>
#include <vector>

namespace host {
namespace headless {

struct ScriptedInput {
    int64_t timeMs;
    bool mouse; // a mouse button instead of a key
    int code;   // scan code or button number
    bool pressed;
    int pressIndex; // for the release half of a plain KEY: the index of its press, else -1
};

// Parses "T:KEY,…": items are separated by commas; "T:" sets the time (milliseconds) for
// this and the following items; KEY is a DirectInput key name without DIK_ or MOUSE0-MOUSE3;
// "+KEY" holds, "-KEY" releases, a plain KEY presses and releases one frame later. Items that
// cannot be read are reported in `errors` and skipped.
std::vector<ScriptedInput> ParseInputScript(const std::string& script,
                                            std::vector<std::string>* errors);
// Replaces the script (tests); otherwise the settings' script is loaded on first use.
void LoadInputScript(const std::string& script);
// Forgets the script and its progress: the settings' script is loaded again on next use.
void ResetInputScript();

// The scan code of a DirectInput key name without DIK_ ("ESCAPE", "LSHIFT", "A"), or -1.
int ScanCodeFromName(const std::string& name);

} // namespace headless
} // namespace host

#endif
