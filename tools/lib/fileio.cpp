#include "fileio.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

namespace fileio {

bool ReadAll(const std::string& path, std::vector<uint8_t>& out, std::string& error) {
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) {
        error = "cannot open " + path + ": " + strerror(errno);
        return false;
    }
    out.clear();
    uint8_t chunk[65536];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) out.insert(out.end(), chunk, chunk + n);
    bool ok = !ferror(f);
    fclose(f);
    if (!ok) error = "read error on " + path;
    return ok;
}

bool WriteAll(const std::string& path, const std::vector<uint8_t>& data, std::string& error) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) {
        error = "cannot create " + path + ": " + strerror(errno);
        return false;
    }
    bool ok = fwrite(data.data(), 1, data.size(), f) == data.size();
    ok = fclose(f) == 0 && ok;
    if (!ok) error = "write error on " + path;
    return ok;
}

bool MakeParentDirs(const std::string& path, std::string& error) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        std::string dir = path.substr(0, slash);
        if (mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) {
            error = "cannot create folder " + dir + ": " + strerror(errno);
            return false;
        }
    }
    return true;
}

} // namespace fileio
