// mkpack OUT.dat [-C DIR] NAME...: packs the named files into a packfile the engine's
// OpenPackfile reads. Members are stored under their names as given (backslashes
// turned to forward slashes), read from DIR when -C is given.
#include <stdio.h>

#include <string>
#include <vector>

#include "fileio.h"
#include "packfile.h"

namespace {

int Usage() {
    fprintf(stderr, "usage: mkpack OUT.dat [-C DIR] NAME...\n");
    return 2;
}

int Fail(const std::string& message) {
    fprintf(stderr, "mkpack: %s\n", message.c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    std::string out = argv[1], dir;
    std::vector<std::string> names;
    for (int i = 2; i < argc; i++) {
        std::string arg = argv[i];
        if (arg == "-C") {
            if (++i >= argc) return Usage();
            dir = argv[i];
        } else {
            names.push_back(arg);
        }
    }
    std::string error;
    std::vector<std::string> stored;
    for (const std::string& n : names) stored.push_back(packfile::StoredName(n));
    if (!packfile::CheckNames(stored, error)) return Fail(error);

    std::vector<packfile::Input> members;
    for (const std::string& name : names) {
        packfile::Input m;
        m.name = name;
        std::string path = dir.empty() ? name : dir + "/" + packfile::StoredName(name);
        if (!fileio::ReadAll(path, m.data, error)) return Fail(error);
        members.push_back(std::move(m));
    }
    std::vector<uint8_t> pack;
    if (!packfile::Build(members, pack, error)) return Fail(error);
    if (!fileio::WriteAll(out, pack, error)) return Fail(error);
    return 0;
}
