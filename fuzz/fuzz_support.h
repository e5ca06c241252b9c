// Support for the fuzz targets: the engine's failure routines end the run of one
// input by throwing instead of ending the thread, and inputs reach the engine as a
// file on disk, the only way sFile reads.
#ifndef PRISMATEL_FUZZ_SUPPORT_H
#define PRISMATEL_FUZZ_SUPPORT_H

#include <stddef.h>
#include <stdint.h>

#include <string>

// Thrown by Fatal, FatalBox and AssertionFailed; carries the message they were given.
struct FuzzStop {
    std::string message;
};

// Writes the input to a file of this process and returns its path.
const char* WriteInputFile(const uint8_t* data, size_t size);

#endif
