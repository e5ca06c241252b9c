// Kernel file handles over POSIX descriptors: CreateFileA, ReadFile, WriteFile,
// SetFilePointer, GetFileSize and the file side of CloseHandle. Handles are numbers
// of their own range, so a file handle never equals a thread handle.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <mutex>
#include <string>

#include "file_handles.h"

namespace {

const DWORD ERROR_FILE_NOT_FOUND_CODE = 2;
const DWORD ERROR_PATH_NOT_FOUND_CODE = 3;
const DWORD ERROR_ACCESS_DENIED_CODE = 5;
const DWORD ERROR_INVALID_HANDLE_CODE = 6;
const DWORD ERROR_READ_FAULT_CODE = 30;
const DWORD ERROR_WRITE_FAULT_CODE = 29;
const DWORD ERROR_FILE_EXISTS_CODE = 80;
const DWORD ERROR_INVALID_PARAMETER_CODE = 87;
const DWORD ERROR_NEGATIVE_SEEK_CODE = 131;

const uintptr_t FIRST_FILE_HANDLE = 0x10000000;

struct FileTable {
    std::mutex lock;
    std::map<uintptr_t, int> descriptors;
    uintptr_t next = FIRST_FILE_HANDLE;
};

FileTable& Files() {
    static FileTable* table = new FileTable; // exit handlers may still close files
    return *table;
}

int DescriptorOf(HANDLE handle) {
    FileTable& t = Files();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.descriptors.find((uintptr_t)handle);
    return it == t.descriptors.end() ? -1 : it->second;
}

HANDLE AddDescriptor(int fd) {
    FileTable& t = Files();
    std::lock_guard<std::mutex> guard(t.lock);
    uintptr_t handle = t.next;
    t.next += 4;
    t.descriptors[handle] = fd;
    return (HANDLE)handle;
}

DWORD ErrorFromErrno(int error) {
    switch (error) {
    case ENOENT: return ERROR_FILE_NOT_FOUND_CODE;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND_CODE;
    case EEXIST: return ERROR_FILE_EXISTS_CODE;
    default: return ERROR_ACCESS_DENIED_CODE;
    }
}

int OpenFlags(DWORD access, DWORD disposition, bool& ok) {
    ok = true;
    int flags = O_CLOEXEC;
    bool read = (access & GENERIC_READ) != 0, write = (access & GENERIC_WRITE) != 0;
    flags |= read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY;
    switch (disposition) {
    case CREATE_NEW: return flags | O_CREAT | O_EXCL;
    case CREATE_ALWAYS: return flags | O_CREAT | O_TRUNC;
    case OPEN_EXISTING: return flags;
    case OPEN_ALWAYS: return flags | O_CREAT;
    case TRUNCATE_EXISTING: return flags | O_TRUNC;
    }
    ok = false;
    return flags;
}

// Windows accepts either separator; the host only the forward one.
std::string HostPath(const char* name) {
    std::string path(name);
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}

} // namespace

HANDLE WINAPI CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode,
                          LPSECURITY_ATTRIBUTES securityAttributes, DWORD creationDisposition,
                          DWORD flagsAndAttributes, HANDLE templateFile) {
    (void)shareMode;
    (void)securityAttributes;
    (void)flagsAndAttributes;
    (void)templateFile;
    bool ok;
    int flags = OpenFlags(desiredAccess, creationDisposition, ok);
    if (!fileName || !ok) {
        SetLastError(ERROR_INVALID_PARAMETER_CODE);
        return INVALID_HANDLE_VALUE;
    }
    int fd = open(HostPath(fileName).c_str(), flags, 0644);
    if (fd < 0) {
        SetLastError(ErrorFromErrno(errno));
        return INVALID_HANDLE_VALUE;
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        // Directories are not files to CreateFile without backup semantics.
        close(fd);
        SetLastError(ERROR_ACCESS_DENIED_CODE);
        return INVALID_HANDLE_VALUE;
    }
    return AddDescriptor(fd);
}

BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead,
                     LPOVERLAPPED overlapped) {
    (void)overlapped;
    if (bytesRead) *bytesRead = 0;
    int fd = DescriptorOf(file);
    if (fd < 0) {
        SetLastError(ERROR_INVALID_HANDLE_CODE);
        return FALSE;
    }
    DWORD done = 0;
    while (done < bytesToRead) {
        ssize_t n = read(fd, static_cast<char*>(buffer) + done, bytesToRead - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            SetLastError(errno == EBADF ? ERROR_ACCESS_DENIED_CODE : ERROR_READ_FAULT_CODE);
            return FALSE;
        }
        if (n == 0) break; // end of file: success with fewer bytes
        done += DWORD(n);
    }
    if (bytesRead) *bytesRead = done;
    return TRUE;
}

BOOL WINAPI WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten,
                      LPOVERLAPPED overlapped) {
    (void)overlapped;
    if (bytesWritten) *bytesWritten = 0;
    int fd = DescriptorOf(file);
    if (fd < 0) {
        SetLastError(ERROR_INVALID_HANDLE_CODE);
        return FALSE;
    }
    DWORD done = 0;
    while (done < bytesToWrite) {
        ssize_t n = write(fd, static_cast<const char*>(buffer) + done, bytesToWrite - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            SetLastError(errno == EBADF ? ERROR_ACCESS_DENIED_CODE : ERROR_WRITE_FAULT_CODE);
            return FALSE;
        }
        done += DWORD(n);
    }
    if (bytesWritten) *bytesWritten = done;
    return TRUE;
}

DWORD WINAPI SetFilePointer(HANDLE file, LONG distanceToMove, LONG* distanceToMoveHigh,
                            DWORD moveMethod) {
    int fd = DescriptorOf(file);
    if (fd < 0) {
        SetLastError(ERROR_INVALID_HANDLE_CODE);
        return INVALID_SET_FILE_POINTER;
    }
    // Without the high word the distance is a signed 32-bit value.
    int64_t distance =
        distanceToMoveHigh
            ? int64_t(uint64_t(uint32_t(*distanceToMoveHigh)) << 32 | uint32_t(distanceToMove))
            : int64_t(distanceToMove);
    int whence = moveMethod == FILE_BEGIN     ? SEEK_SET
                 : moveMethod == FILE_CURRENT ? SEEK_CUR
                 : moveMethod == FILE_END     ? SEEK_END
                                              : -1;
    if (whence < 0) {
        SetLastError(ERROR_INVALID_PARAMETER_CODE);
        return INVALID_SET_FILE_POINTER;
    }
    off_t from = whence == SEEK_SET ? 0 : lseek(fd, 0, whence);
    if (from < 0 || from + distance < 0) {
        SetLastError(ERROR_NEGATIVE_SEEK_CODE);
        return INVALID_SET_FILE_POINTER;
    }
    off_t at = lseek(fd, from + distance, SEEK_SET);
    if (at < 0) {
        SetLastError(ERROR_INVALID_PARAMETER_CODE);
        return INVALID_SET_FILE_POINTER;
    }
    if (distanceToMoveHigh) *distanceToMoveHigh = LONG(uint64_t(at) >> 32);
    SetLastError(0);
    return DWORD(uint64_t(at));
}

DWORD WINAPI GetFileSize(HANDLE file, LPDWORD fileSizeHigh) {
    int fd = DescriptorOf(file);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0) {
        SetLastError(ERROR_INVALID_HANDLE_CODE);
        return INVALID_FILE_SIZE;
    }
    if (fileSizeHigh) *fileSizeHigh = DWORD(uint64_t(st.st_size) >> 32);
    SetLastError(0);
    return DWORD(uint64_t(st.st_size));
}

bool CloseFileHandle(HANDLE handle) {
    FileTable& t = Files();
    int fd;
    {
        std::lock_guard<std::mutex> guard(t.lock);
        auto it = t.descriptors.find((uintptr_t)handle);
        if (it == t.descriptors.end()) return false;
        fd = it->second;
        t.descriptors.erase(it);
    }
    close(fd);
    return true;
}

bool IsFileHandle(HANDLE handle) {
    return DescriptorOf(handle) >= 0;
}

namespace kernel32 {

int OpenFileHandles() {
    FileTable& t = Files();
    std::lock_guard<std::mutex> guard(t.lock);
    return int(t.descriptors.size());
}

} // namespace kernel32
