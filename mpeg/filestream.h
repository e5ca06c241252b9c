// sFileStream: a stream over a file, read and written through the C runtime's descriptor calls.
#ifndef PRISMATEL_FILESTREAM_H
#define PRISMATEL_FILESTREAM_H

#include "stream.h"

// Control codes of the file stream.
enum {
    SC_SET_FILE_UPDATE = 36, // value non-zero and opened for update; returns the old flag
    SC_FILE_UPDATE = 37,
};

class sFileStream : public sStream {
public:
    sFileStream();
    // mode & 3: 0 read, 1 write (appending), 2 read seekable, 3 read and write seekable;
    // mode & 12: 4 create, 8 create and truncate, 12 create exclusively. Returns 0 or -1.
    int Open(const char* name, int mode);

    int Close() override;
    int RawRead(void* buffer, int n) override;
    int RawPeek(void* buffer, int n) override;
    int RawWrite(const void* buffer, int n) override;
    int RawSeek(int position) override;
    int Control(int code, void* pointer, int value) override;
    ~sFileStream() override;

private:
    int descriptor;
    int update;
};

#endif
