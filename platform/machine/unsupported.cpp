// The stand-in's own voice about what it leaves out: once per method, so that a program
// calling one in every frame leaves one line, not thousands.
#include "unsupported.h"

#include <stdio.h>

#include <mutex>
#include <set>
#include <string>

namespace machine {

HRESULT Unsupported(const char* method, HRESULT result) {
    static std::mutex& lock = *new std::mutex;                       // outlives exit handlers
    static std::set<std::string>& said = *new std::set<std::string>; // likewise
    std::lock_guard<std::mutex> guard(lock);
    if (said.insert(method).second) {
        fprintf(stderr, "fixme: %s is not implemented\n", method);
        fflush(stderr);
    }
    return result;
}

} // namespace machine
