// Helpers for the file and bitmap tests: scratch folders, little-endian byte building,
// and running engine code on a thread of its own, since Fatal ends the calling thread.
#ifndef TESTS_FILE_TEST_SUPPORT_H
#define TESTS_FILE_TEST_SUPPORT_H

#include <stdint.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <windows.h>

#include "machine/machine.h"

namespace filetest {

using Bytes = std::vector<uint8_t>;

inline void PutU8(Bytes& b, unsigned v) {
    b.push_back(uint8_t(v));
}
inline void PutU16(Bytes& b, unsigned v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
inline void PutU32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; i++) b.push_back(uint8_t(v >> (8 * i)));
}
inline void PutText(Bytes& b, const std::string& s) {
    b.insert(b.end(), s.begin(), s.end());
}

class ScratchDir {
public:
    ScratchDir() {
        char name[] = "/tmp/prismatel-files-XXXXXX";
        path_ = mkdtemp(name);
    }
    ~ScratchDir() { (void)!system(("rm -rf '" + path_ + "'").c_str()); }
    std::string Path(const std::string& name) const { return path_ + "/" + name; }
    std::string Write(const std::string& name, const Bytes& data) const {
        std::string p = Path(name);
        std::ofstream(p, std::ios::binary)
            .write(reinterpret_cast<const char*>(data.data()), data.size());
        return p;
    }

private:
    std::string path_;
};

inline Bytes ReadBack(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct ThreadOutcome {
    DWORD exitCode = 0;
    bool finished = false;
    std::vector<std::string> debugLines; // lines written while the thread ran

    bool Fatal(const std::string& message) const {
        for (const std::string& line : debugLines)
            if (line == "Fatal:" + message + "\n") return true;
        return false;
    }
    bool Asserted() const {
        for (const std::string& line : debugLines)
            if (line.rfind("Fatal:Assertion in line ", 0) == 0) return true;
        return false;
    }
    bool Printed(const std::string& text) const {
        for (const std::string& line : debugLines)
            if (line == text) return true;
        return false;
    }
};

const DWORD FATAL_EXIT_CODE = 666;

inline DWORD WINAPI RunFunction(LPVOID parameter) {
    (*static_cast<std::function<void()>*>(parameter))();
    return 0;
}

// Runs work on a thread of the kernel stand-in and reports how it ended.
inline ThreadOutcome RunOnThread(std::function<void()> work, DWORD timeoutMs = 20000) {
    size_t before = machine::DebugLines().size();
    ThreadOutcome outcome;
    // A thread that hangs keeps its job: it is leaked rather than freed under it.
    auto* job = new std::function<void()>(std::move(work));
    HANDLE thread = CreateThread(nullptr, 0, RunFunction, job, 0, nullptr);
    if (!thread) return outcome;
    outcome.finished = WaitForSingleObject(thread, timeoutMs) == WAIT_OBJECT_0;
    if (!outcome.finished) return outcome;
    delete job;
    GetExitCodeThread(thread, &outcome.exitCode);
    CloseHandle(thread);
    std::vector<std::string> lines = machine::DebugLines();
    for (size_t i = before; i < lines.size(); i++) outcome.debugLines.push_back(lines[i]);
    return outcome;
}

} // namespace filetest

#endif
