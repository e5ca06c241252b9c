// Runs build/bin/vd (or another program) as a user would, from the show's data folder,
// with extra environment, and collects its status and output.
#ifndef TESTS_E2E_PROGRAM_H
#define TESTS_E2E_PROGRAM_H

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace e2e {

extern const char* const PROGRAM;

struct Outcome {
    bool exited = false;
    int status = -1;
    int signal = 0; // the signal that ended it, if one did
    std::chrono::milliseconds took{0};
    std::string output; // standard output
    std::string errors; // standard error
};

bool IsDirectory(const std::string& path);
std::string ReadFile(const std::string& path);
// The show's data, once the build has made it.
std::string DataDirectory();
// A program started and not yet waited for.
struct Running {
    pid_t pid = -1;
    std::chrono::steady_clock::time_point start;
    std::string outputPath, errorsPath;
};

// `extraEnvironment` ("NAME=VALUE") replaces what this process has of the same names; a
// bare "NAME" removes it.
Running StartProgram(const std::vector<std::string>& extraEnvironment,
                     const std::string& program = PROGRAM,
                     const std::string& workingDirectory = DataDirectory());
// Whether it still runs (it is not reaped: WaitForProgram gets its status).
bool StillRunning(const Running& running);
// Kills the program after `limit` from its start; `exited` is false then.
Outcome WaitForProgram(const Running& running, std::chrono::seconds limit);
// Both at once.
Outcome RunProgram(const std::vector<std::string>& extraEnvironment, std::chrono::seconds limit,
                   const std::string& program = PROGRAM,
                   const std::string& workingDirectory = DataDirectory());
// A fresh empty folder under the test's temporary directory.
std::string MakeTempDirectory(const std::string& name);

} // namespace e2e

#endif
