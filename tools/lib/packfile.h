// The packfile ("PACK" ... "pack") for the tools: build one from named members, and
// read a directory the way the engine's loader reads it, saying what is wrong instead
// of ending the program.
#ifndef TOOLS_PACKFILE_H
#define TOOLS_PACKFILE_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

namespace packfile {

// The loader keeps 63 name bytes and a NUL.
const size_t MAX_NAME_BYTES = 63;

struct Member {
    std::string name; // as stored (build) or as the loader keeps it (read)
    uint32_t offset = 0;
    uint32_t size = 0;
};

struct Directory {
    uint32_t count = 0;
    std::vector<Member> members;
    size_t directoryBytes = 0;         // head, entries and end tag
    std::vector<std::string> warnings; // things the loader accepts but that look wrong
};

// Lower case, forward slashes: the form the loader compares names in.
std::string NormaliseName(const std::string& name);

// The stored form of a name given on a command line: backslashes become forward slashes.
std::string StoredName(const std::string& name);

// Refuses names of 64 bytes or more, empty names, and names equal after normalisation.
bool CheckNames(const std::vector<std::string>& names, std::string& error);

struct Input {
    std::string name;
    std::vector<uint8_t> data;
};
bool Build(const std::vector<Input>& members, std::vector<uint8_t>& out, std::string& error);

// Reads the directory from a whole file. Errors start with the loader's own message
// ("Illegal Packfile", "Illegal Fastfile"). An empty directory is no error: the loader
// then leaves the disk in charge.
bool ReadDirectory(const uint8_t* data, size_t size, Directory& out, std::string& error);

} // namespace packfile

#endif
