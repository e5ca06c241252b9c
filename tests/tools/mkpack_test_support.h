// Helpers for the tool tests: run a built tool and capture what it said, scratch folders.
#ifndef TESTS_MKPACK_TEST_SUPPORT_H
#define TESTS_MKPACK_TEST_SUPPORT_H

#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <fstream>
#include <string>
#include <vector>

namespace tooltest {

struct ToolRun {
    int status = -1; // exit status, -1 when the tool did not exit normally
    std::string output;
};

inline std::string Tool(const std::string& name) {
    return std::string(PRISMATEL_BINARY_DIR) + "/bin/" + name;
}

inline ToolRun RunTool(const std::string& name, const std::string& arguments) {
    ToolRun r;
    std::string command = "'" + Tool(name) + "' " + arguments + " 2>&1";
    FILE* p = popen(command.c_str(), "r");
    if (!p) return r;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) r.output.append(buffer, n);
    int status = pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

class Scratch {
public:
    Scratch() {
        char name[] = "/tmp/prismatel-tools-XXXXXX";
        path_ = mkdtemp(name);
    }
    ~Scratch() { (void)!system(("rm -rf '" + path_ + "'").c_str()); }
    std::string Path(const std::string& name) const { return path_ + "/" + name; }
    std::string Write(const std::string& name, const std::vector<uint8_t>& data) const {
        std::string p = Path(name);
        (void)!system(("mkdir -p \"$(dirname '" + p + "')\"").c_str());
        std::ofstream(p, std::ios::binary)
            .write(reinterpret_cast<const char*>(data.data()), data.size());
        return p;
    }
    std::vector<uint8_t> Read(const std::string& name) const {
        std::ifstream in(Path(name), std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(in),
                                    std::istreambuf_iterator<char>());
    }

private:
    std::string path_;
};

} // namespace tooltest

#endif
