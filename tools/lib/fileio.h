// Whole-file reading and writing for the tools.
#ifndef TOOLS_FILEIO_H
#define TOOLS_FILEIO_H

#include <stdint.h>

#include <string>
#include <vector>

namespace fileio {

bool ReadAll(const std::string& path, std::vector<uint8_t>& out, std::string& error);
bool WriteAll(const std::string& path, const std::vector<uint8_t>& data, std::string& error);
// Creates the folders leading to path (not path itself).
bool MakeParentDirs(const std::string& path, std::string& error);

} // namespace fileio

#endif
