#include "file.h"

#include <stdlib.h>

#include "system.h"

sFile Packfile;
bool packfileMode = false;
int32_t packEntryCount = 0;
PackEntry* packDirectory = nullptr;

namespace {

const uint32_t PACK_HEAD_TAG = 0x4B434150; // "PACK"
const uint32_t PACK_END_TAG = 0x6B636170;  // "pack"
const int LOCK_READ = 1;
const int LOCK_WRITE = 2;

// The smallest possible directory: head tag, two reserved words, count, end tag; each
// entry then needs its two words and at least the NUL of its name.
const uint64_t PACK_FIXED_BYTES = 20;
const uint64_t PACK_MIN_ENTRY_BYTES = 9;

void ClosePackfileAtExit() {
    Packfile.Close();
}
const int packfileExitHandler = atexit(ClosePackfileAtExit);

void NormaliseName(char* name) {
    for (; *name; name++) {
        if (*name >= 'A' && *name <= 'Z') *name = char(*name - 'A' + 'a');
        if (*name == '\\') *name = '/';
    }
}

int64_t DiskFileSize(HANDLE handle) {
    DWORD high = 0;
    DWORD low = GetFileSize(handle, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != 0) return 0;
    return int64_t(uint64_t(high) << 32 | low);
}

// A count whose entries could not fit in the file is not a directory: refusing it
// keeps a damaged header from asking for gigabytes.
bool EntryCountFits(uint32_t count) {
    uint64_t fileSize = uint64_t(DiskFileSize(Packfile.handle));
    if (fileSize < PACK_FIXED_BYTES) return false;
    return count <= (fileSize - PACK_FIXED_BYTES) / PACK_MIN_ENTRY_BYTES;
}

void ReadDirectory(uint32_t count) {
    packDirectory = new PackEntry[count];
    for (uint32_t i = 0; i < count; i++) {
        PackEntry& entry = packDirectory[i];
        entry.size = 0;
        entry.offset = 0;
        Packfile.Read(&entry.size, 4);
        Packfile.Read(&entry.offset, 4);
        Packfile.ReadString(entry.name, PACK_NAME_CAPACITY);
        NormaliseName(entry.name);
    }
}

bool OpenFromPack(sFile& file, const char* name) {
    for (int i = 0; i < packEntryCount; i++) {
        if (StrCmpNoCase(name, packDirectory[i].name) != 0) continue;
        file.handle = Packfile.handle;
        file.inPack = true;
        file.size = int32_t(packDirectory[i].size);
        file.base = int32_t(packDirectory[i].offset);
        file.Seek(0);
        return true;
    }
    return false;
}

HANDLE OpenFromDisk(const char* name, int locking) {
    if (locking == LOCK_READ)
        return CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (locking == LOCK_WRITE)
        return CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    Fatal("sFile::Open() Illegal file locking");
}

[[noreturn]] void CouldNotOpen(const char* name) {
    DebugPrint("sFile::Open() filename %s", name);
    Fatal("sFile::Open() could not open file");
}

} // namespace

sFile::sFile() : handle(INVALID_HANDLE_VALUE), size(0), inPack(false), position(0), base(0) {}

sFile::~sFile() {
    Close();
}

void sFile::Open(const char* name, int locking) {
    handle = INVALID_HANDLE_VALUE;
    position = 0;
    base = 0;
    inPack = false;
    if (packfileMode) {
        if (locking != LOCK_READ) Fatal("sFile::Open() packfile can only be read");
        if (!OpenFromPack(*this, name)) CouldNotOpen(name);
        return;
    }
    handle = OpenFromDisk(name, locking);
    if (handle == INVALID_HANDLE_VALUE) CouldNotOpen(name);
}

void sFile::Read(void* buffer, int count) {
    ASSERT(handle != INVALID_HANDLE_VALUE);
    ASSERT(count >= 0);
    DWORD delivered = 0;
    if (!ReadFile(handle, buffer, DWORD(count), &delivered, nullptr))
        Fatal("sFile::Read() read error");
    position += count;
}

void sFile::Seek(int newPosition) {
    ASSERT(handle != INVALID_HANDLE_VALUE);
    position = newPosition;
    // Members may lie beyond 2 GiB: the offset is unsigned, so seek with the high word.
    int64_t target = int64_t(uint32_t(base)) + newPosition;
    LONG high = LONG(target >> 32);
    SetLastError(0);
    DWORD low = SetFilePointer(handle, LONG(uint32_t(target)), &high, FILE_BEGIN);
    if (target < 0 || (low == INVALID_SET_FILE_POINTER && GetLastError() != 0))
        Fatal("sFile::Seek() failed");
}

void sFile::ReadString(char* buffer, int capacity) {
    ASSERT(capacity >= 1);
    // A read past the end delivers nothing and leaves the byte 0, so a file that ends
    // inside a string ends the string instead of looping for ever.
    for (int stored = 0; stored < capacity - 1; stored++) {
        char c = 0;
        Read(&c, 1);
        buffer[stored] = c;
        if (c == 0) return;
    }
    buffer[capacity - 1] = 0;
    char c;
    do {
        c = 0;
        Read(&c, 1);
    } while (c != 0);
}

void sFile::Close() {
    if (handle != INVALID_HANDLE_VALUE && !packfileMode) CloseHandle(handle);
    handle = INVALID_HANDLE_VALUE;
    inPack = false;
    position = 0;
}

int64_t sFile::BytesLeft() {
    ASSERT(handle != INVALID_HANDLE_VALUE);
    int64_t left = DiskFileSize(handle) - (int64_t(uint32_t(base)) + position);
    return left > 0 ? left : 0;
}

void OpenPackfile(const char* name) {
    Packfile.Open(name, LOCK_READ);
    uint32_t tag = 0, reserved = 0, count = 0;
    Packfile.Read(&tag, 4);
    if (tag != PACK_HEAD_TAG) Fatal("Illegal Packfile");
    Packfile.Read(&reserved, 4);
    Packfile.Read(&reserved, 4);
    Packfile.Read(&count, 4);
    packEntryCount = int32_t(count);
    if (count == 0) return;
    if (!EntryCountFits(count)) Fatal("Illegal Packfile");
    ReadDirectory(count);
    tag = 0;
    Packfile.Read(&tag, 4);
    if (tag != PACK_END_TAG) Fatal("Illegal Fastfile");
    packfileMode = true;
}

void ForgetPackfile() {
    if (Packfile.handle != INVALID_HANDLE_VALUE) CloseHandle(Packfile.handle);
    Packfile.handle = INVALID_HANDLE_VALUE;
    Packfile.Close();
    delete[] packDirectory;
    packDirectory = nullptr;
    packEntryCount = 0;
    packfileMode = false;
}
