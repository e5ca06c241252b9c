// sFile: the engine's file object, reading either a disk file or, once the packfile
// is open, a member of the packfile. Every failure ends the program.
#ifndef PRISMATEL_FILE_H
#define PRISMATEL_FILE_H

#include <windows.h>

#include <stdint.h>

class sFile {
public:
    sFile();
    ~sFile();

    // locking 1 reads, 2 creates or truncates for writing (disk only).
    void Open(const char* name, int locking);
    void Read(void* buffer, int count);
    void Seek(int position);
    // Stops after the NUL; a longer string is cut to capacity - 1 bytes and the rest skipped.
    void ReadString(char* buffer, int capacity);
    void Close();
    // Bytes between the current position and the end of the underlying disk file (for a
    // member, the end of the packfile): the most any read from here can deliver.
    int64_t BytesLeft();

    HANDLE handle;
    int32_t size;
    bool inPack;
    int32_t position;
    int32_t base;

private:
    sFile(const sFile&) = delete;
    sFile& operator=(const sFile&) = delete;
};

const int PACK_NAME_CAPACITY = 64;

struct PackEntry {
    char name[PACK_NAME_CAPACITY]; // at most 63 characters, lower case, forward slashes
    uint32_t offset;
    uint32_t size;
};

// The process's packfile: once OpenPackfile has read a non-empty directory, every read
// open is answered from it and the disk is no longer consulted.
extern sFile Packfile;
extern bool packfileMode;
extern int32_t packEntryCount;
extern PackEntry* packDirectory;

void OpenPackfile(const char* name);

// Closes the packfile and returns to disk mode: for tests and tools that read more
// than one packfile in a process. The program itself keeps its packfile to the end.
void ForgetPackfile();

#endif
