// lspack FILE.dat [-x DIR]: lists the members of a packfile (offset, length, name as
// the engine looks it up), checks the directory the way the engine's loader does and
// says what is wrong; -x extracts every member below DIR.
#include <stdio.h>

#include <set>
#include <string>
#include <vector>

#include "fileio.h"
#include "packfile.h"

namespace {

int Usage() {
    fprintf(stderr, "usage: lspack FILE.dat [-x DIR]\n");
    return 2;
}

// Extraction stays inside DIR: no absolute names, no ".." steps.
bool SafeRelativeName(const std::string& name) {
    if (name.empty() || name[0] == '/') return false;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find('/', start);
        if (end == std::string::npos) end = name.size();
        std::string step = name.substr(start, end - start);
        if (step == ".." || step == "." || step.empty()) return false;
        start = end + 1;
    }
    return true;
}

bool Extract(const std::vector<uint8_t>& pack, const packfile::Member& m, const std::string& dir) {
    std::string error;
    if (!SafeRelativeName(m.name)) {
        fprintf(stderr, "lspack: not extracting %s: the name leaves the folder\n", m.name.c_str());
        return false;
    }
    if (uint64_t(m.offset) + m.size > pack.size()) {
        fprintf(stderr, "lspack: not extracting %s: it reaches beyond the end of the file\n",
                m.name.c_str());
        return false;
    }
    std::string path = dir + "/" + m.name;
    std::vector<uint8_t> data(pack.begin() + m.offset, pack.begin() + m.offset + m.size);
    if (!fileio::MakeParentDirs(path, error) || !fileio::WriteAll(path, data, error)) {
        fprintf(stderr, "lspack: %s\n", error.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2 && !(argc == 4 && std::string(argv[2]) == "-x")) return Usage();
    std::string error;
    std::vector<uint8_t> pack;
    if (!fileio::ReadAll(argv[1], pack, error)) {
        fprintf(stderr, "lspack: %s\n", error.c_str());
        return 1;
    }
    packfile::Directory directory;
    if (!packfile::ReadDirectory(pack.data(), pack.size(), directory, error)) {
        fprintf(stderr, "lspack: %s: %s\n", argv[1], error.c_str());
        return 1;
    }
    for (const std::string& w : directory.warnings)
        fprintf(stderr, "lspack: warning: %s\n", w.c_str());
    printf("%10s %10s  %s\n", "offset", "length", "name");
    for (const packfile::Member& m : directory.members)
        printf("%10u %10u  %s\n", m.offset, m.size, m.name.c_str());
    if (argc == 4) {
        bool ok = true;
        std::set<std::string> done;
        // Only the first of equal names is what the engine opens.
        for (const packfile::Member& m : directory.members)
            if (done.insert(m.name).second) ok = Extract(pack, m, argv[3]) && ok;
        if (!ok) return 1;
    }
    return 0;
}
