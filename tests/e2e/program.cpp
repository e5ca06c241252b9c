#include "program.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace e2e {

const char* const PROGRAM = PRISMATEL_BINARY_DIR "/bin/vd";

bool IsDirectory(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string DataDirectory() {
    std::string data = PRISMATEL_BINARY_DIR "/data";
    return IsDirectory(data) ? data : testing::TempDir();
}

std::string MakeTempDirectory(const std::string& name) {
    std::string path = testing::TempDir() + name + "_XXXXXX";
    if (!mkdtemp(&path[0])) ADD_FAILURE() << "cannot make " << path;
    return path;
}

Running StartProgram(const std::vector<std::string>& extraEnvironment, const std::string& program,
                     const std::string& workingDirectory) {
    auto nameOf = [](const std::string& e) { return e.substr(0, e.find('=')); };
    std::vector<std::string> environment;
    for (char** e = environ; *e; e++) {
        bool replaced = false;
        for (const auto& extra : extraEnvironment) replaced |= nameOf(extra) == nameOf(*e);
        if (!replaced) environment.push_back(*e);
    }
    for (const auto& e : extraEnvironment)
        if (e.find('=') != std::string::npos) environment.push_back(e);
    std::vector<char*> envp;
    for (auto& e : environment) envp.push_back(&e[0]);
    envp.push_back(nullptr);

    Running running;
    std::string base = MakeTempDirectory("run");
    running.outputPath = base + "/stdout.txt";
    running.errorsPath = base + "/stderr.txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, running.outputPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, running.errorsPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    char here[4096];
    if (!getcwd(here, sizeof here)) here[0] = 0;
    if (chdir(workingDirectory.c_str()) != 0) ADD_FAILURE() << "cannot enter " << workingDirectory;

    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    running.start = std::chrono::steady_clock::now();
    int spawned = posix_spawn(&running.pid, program.c_str(), &actions, nullptr, argv, envp.data());
    if (here[0] && chdir(here) != 0) ADD_FAILURE() << "cannot return to " << here;
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        ADD_FAILURE() << "cannot start " << program;
        running.pid = -1;
    }
    return running;
}

bool StillRunning(const Running& running) {
    siginfo_t info = {};
    return running.pid > 0 && waitid(P_PID, running.pid, &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == 0;
}

Outcome WaitForProgram(const Running& running, std::chrono::seconds limit) {
    Outcome outcome;
    if (running.pid <= 0) return outcome;
    int status = 0;
    bool killed = false;
    while (waitpid(running.pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() - running.start > limit) {
            kill(running.pid, SIGKILL);
            waitpid(running.pid, &status, 0);
            killed = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    outcome.took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - running.start);
    outcome.exited = !killed && WIFEXITED(status);
    outcome.status = outcome.exited ? WEXITSTATUS(status) : -1;
    outcome.signal = !killed && WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    outcome.output = ReadFile(running.outputPath);
    outcome.errors = ReadFile(running.errorsPath);
    return outcome;
}

Outcome RunProgram(const std::vector<std::string>& extraEnvironment, std::chrono::seconds limit,
                   const std::string& program, const std::string& workingDirectory) {
    return WaitForProgram(StartProgram(extraEnvironment, program, workingDirectory), limit);
}

} // namespace e2e
