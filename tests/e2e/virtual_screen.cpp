#include "virtual_screen.h"

#include "program.h"
#include "xwdimage.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

extern char** environ;

namespace e2e {
namespace {

bool OnPath(const std::string& tool) {
    std::string path = getenv("PATH") ? getenv("PATH") : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= path.size()) {
        size_t colon = path.find(':', start);
        if (colon == std::string::npos) colon = path.size();
        std::string candidate = path.substr(start, colon - start) + "/" + tool;
        if (access(candidate.c_str(), X_OK) == 0) return true;
        start = colon + 1;
    }
    return false;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (auto& s : strings) pointers.push_back(&s[0]);
    pointers.push_back(nullptr);
    return pointers;
}

// Starts `argv` with this process's environment plus `extra`, standard output to `outFd`
// (-1: /dev/null) and `keepFd` as its descriptor 3 (-1: none).
pid_t Spawn(std::vector<std::string> argv, const std::vector<std::string>& extra, int outFd = -1,
            int keepFd = -1) {
    std::vector<std::string> environment;
    for (char** e = environ; *e; e++)
        if (strncmp(*e, "DISPLAY=", 8) != 0) environment.push_back(*e);
    for (const auto& e : extra) environment.push_back(e);
    auto args = Pointers(argv);
    auto envp = Pointers(environment);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (outFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, outFd, 1);
    else
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (keepFd >= 0) posix_spawn_file_actions_adddup2(&actions, keepFd, 3);
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

void Stop(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    int status;
    for (int i = 0; i < 200 && waitpid(pid, &status, WNOHANG) == 0; i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (waitpid(pid, &status, WNOHANG) == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
}

// Reads what the child writes to `fd` until a newline, at most `seconds` long.
std::string ReadLine(int fd, int seconds) {
    std::string line;
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end) {
        struct pollfd p = {fd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        char c;
        if (read(fd, &c, 1) != 1) break;
        if (c == '\n') return line;
        line += c;
    }
    return line;
}

} // namespace

std::string MissingForScreen(bool windowManager) {
    std::vector<std::string> tools = {"Xvfb"};
    if (windowManager) tools.insert(tools.end(), {"openbox", "wmctrl", "xdotool"});
    for (const auto& tool : tools)
        if (!OnPath(tool)) return tool + " is not installed";
    return "";
}

VirtualScreen::VirtualScreen(int width, int height, bool withWindowManager) {
    if (!StartServer(width, height)) return;
    if (withWindowManager && !StartWindowManager()) ADD_FAILURE() << "openbox did not start";
}

VirtualScreen::~VirtualScreen() {
    Stop(windowManager);
    Stop(server);
}

bool VirtualScreen::StartServer(int width, int height) {
    frameBufferDir = MakeTempDirectory("screen");
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return false;
    std::string size = std::to_string(width) + "x" + std::to_string(height) + "x24";
    server = Spawn({"Xvfb", "-displayfd", "3", "-screen", "0", size, "-fbdir", frameBufferDir,
                    "-nolisten", "tcp", "-noreset"},
                   {}, -1, pipeFds[1]);
    close(pipeFds[1]);
    std::string number = server > 0 ? ReadLine(pipeFds[0], 20) : "";
    close(pipeFds[0]);
    if (number.empty()) {
        ADD_FAILURE() << "Xvfb did not start";
        return false;
    }
    display = ":" + number;
    return true;
}

bool VirtualScreen::StartWindowManager() {
    windowManager = Spawn({"openbox"}, {Variable()});
    // wmctrl answers once a window manager owns the screen.
    for (int i = 0; i < 200; i++) {
        if (Tool({"wmctrl", "-m"}) == 0) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

int VirtualScreen::Tool(const std::vector<std::string>& argv, std::string* output) const {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return -1;
    pid_t pid = Spawn(argv, {Variable()}, pipeFds[1]);
    close(pipeFds[1]);
    std::string text;
    char buffer[512];
    ssize_t n;
    while (pid > 0 && (n = read(pipeFds[0], buffer, sizeof buffer)) > 0) text.append(buffer, n);
    close(pipeFds[0]);
    if (output) *output = text;
    int status = 0;
    if (pid <= 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

bool VirtualScreen::Screenshot(pngio::Image& image, std::string& error) const {
    return xwdimage::Read(frameBufferDir + "/Xvfb_screen0", image, error);
}

} // namespace e2e
