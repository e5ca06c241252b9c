// sFileStream: a file through the C runtime's descriptor calls.
#include "filestream.h"

#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <sys/stat.h>
#include <errno.h>
#ifdef _WIN32
#include <io.h>
#define OWNER_READ_WRITE (_S_IREAD | _S_IWRITE)
#else
#include <unistd.h>
#define OWNER_READ_WRITE (S_IRUSR | S_IWUSR)
#endif
#ifndef O_BINARY
#define O_BINARY 0
#endif

// Indexed by the mode's two low bits.
static const int accessFlags[4] = {O_RDONLY, O_WRONLY, O_RDONLY, O_RDWR};
static const int streamFlags[4] = {SF_READ, SF_WRITE, SF_READ | SF_SEEK,
                                   SF_READ | SF_WRITE | SF_SEEK | SF_UPDATE};
// Indexed by the mode's next two bits.
static const int createFlags[4] = {0, O_CREAT, O_CREAT | O_TRUNC, O_CREAT | O_EXCL};

sFileStream::sFileStream() : descriptor(-1), update(0) {}

// The base destructor only reaches the base Close; the descriptor is given back here.
sFileStream::~sFileStream() {
    Shutdown();
}

static int FileLength(int descriptor) {
    off_t end = lseek(descriptor, 0, SEEK_END);
    lseek(descriptor, 0, SEEK_SET);
    if (end < 0) return 0;
    return end > INT_MAX ? INT_MAX : (int)end;
}

int sFileStream::Open(const char* name, int mode) {
    Shutdown();
    if (!name) return -1;
    int access = mode & 3;
    int fd =
        open(name, accessFlags[access] | createFlags[(mode >> 2) & 3] | O_BINARY, OWNER_READ_WRITE);
    if (fd < 0) return -1;
    int length = 0;
    if (access == 1) {
        lseek(fd, 0, SEEK_END); // writing appends
    } else {
        length = FileLength(fd);
    }
    descriptor = fd;
    Begin(streamFlags[access], 0, length);
    update = 0;
    return 0;
}

int sFileStream::Close() {
    CloseFlush();
    if (descriptor >= 0) close(descriptor);
    descriptor = -1;
    return 0;
}

int sFileStream::RawRead(void* buffer, int n) {
    if (descriptor < 0 || n <= 0) return 0;
    int got;
    do {
        got = (int)read(descriptor, buffer, n);
    } while (got < 0 && errno == EINTR);
    return got < 0 ? 0 : got;
}

int sFileStream::RawPeek(void* buffer, int n) {
    int got = RawRead(buffer, n);
    if (got > 0) lseek(descriptor, -got, SEEK_CUR);
    return got;
}

int sFileStream::RawWrite(const void* buffer, int n) {
    if (descriptor < 0 || n <= 0) return 0;
    int written;
    do {
        written = (int)write(descriptor, buffer, n);
    } while (written < 0 && errno == EINTR);
    return written < 0 ? 0 : written;
}

int sFileStream::RawSeek(int target) {
    if (descriptor < 0) return -1;
    off_t reached = lseek(descriptor, target, SEEK_SET);
    return reached < 0 ? -1 : (int)reached;
}

int sFileStream::Control(int code, void* pointer, int value) {
    switch (code) {
    case SC_SET_FILE_UPDATE: {
        int old = update;
        update = (value != 0 && (flags & SF_UPDATE)) ? 1 : 0;
        return old;
    }
    case SC_FILE_UPDATE: return update;
    }
    return sStream::Control(code, pointer, value);
}
