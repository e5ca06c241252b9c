// The real program, started as a user would start it, without a display.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

const char* const PROGRAM = PRISMATEL_BINARY_DIR "/bin/vd";

struct Outcome {
    bool exited = false;
    int status = -1;
    std::chrono::milliseconds took{0};
    std::string errors;
};

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

// Runs the program with the given extra environment; kills it after `limit`.
Outcome RunProgram(const std::vector<std::string>& extraEnvironment, std::chrono::seconds limit) {
    std::vector<std::string> environment;
    for (char** e = environ; *e; e++) environment.push_back(*e);
    for (const auto& e : extraEnvironment) environment.push_back(e);
    std::vector<char*> envp;
    for (auto& e : environment) envp.push_back(&e[0]);
    envp.push_back(nullptr);

    std::string errorsPath = testing::TempDir() + "vd_startup_stderr.txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, errorsPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    // The show's data lives in build/data once it has been made.
    std::string data = PRISMATEL_BINARY_DIR "/data";
    std::string workingDirectory = IsDirectory(data) ? data : testing::TempDir();
    char here[4096];
    if (!getcwd(here, sizeof here)) here[0] = 0;
    if (chdir(workingDirectory.c_str()) != 0) ADD_FAILURE() << "cannot enter " << workingDirectory;

    Outcome outcome;
    char* argv[] = {const_cast<char*>(PROGRAM), nullptr};
    pid_t pid;
    auto start = std::chrono::steady_clock::now();
    int spawned = posix_spawn(&pid, PROGRAM, &actions, nullptr, argv, envp.data());
    if (here[0] && chdir(here) != 0) ADD_FAILURE() << "cannot return to " << here;
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        ADD_FAILURE() << "cannot start " << PROGRAM;
        return outcome;
    }
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() - start > limit) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            outcome.errors = ReadFile(errorsPath);
            return outcome;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    outcome.took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    outcome.exited = WIFEXITED(status);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    outcome.errors = ReadFile(errorsPath);
    return outcome;
}

TEST(Startup, HeadlessRunStartsItsThreadsAndEndsWithStatusZeroQuickly) {
    if (access(PROGRAM, X_OK) != 0) GTEST_SKIP() << PROGRAM << " not built";
    // Escape at once, for a demo that would otherwise run until a key.
    Outcome run =
        RunProgram({"PRISMATEL_HEADLESS=1", "PRISMATEL_INPUT=0:ESCAPE"}, std::chrono::seconds(20));
    ASSERT_TRUE(run.exited) << "did not end; stderr:\n" << run.errors;
    EXPECT_EQ(run.status, 0) << run.errors;
    EXPECT_LT(run.took.count(), 1000) << "the audio thread's quit takes at most two polls";
    EXPECT_EQ(run.errors.find("Fatal:"), std::string::npos) << run.errors;
}

} // namespace
