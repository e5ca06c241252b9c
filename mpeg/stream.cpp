// sStream: life cycle, byte reads and writes, buffering and seeking.
#include "stream.h"

#include <stdlib.h>
#include <string.h>

static int AtLeastZero(int n) {
    return n < 0 ? 0 : n;
}
static int Smaller(int a, int b) {
    return a < b ? a : b;
}
static int ClampToInt(int64_t n) {
    return n > INT32_MAX ? INT32_MAX : n < INT32_MIN ? INT32_MIN : (int)n;
}

sStream::sStream()
    : readBuffer(nullptr), readCapacity(0), readFill(0), readOffset(0), bufferPosition(0), dirty(0),
      writeBuffer(nullptr), writeCapacity(0), writeFill(0), readBitOrder(1), readBitIndex(0),
      readByte(0), writeBitOrder(1), writeBits(0), writeBitCount(0), padValue(0), fillByte(-1),
      shortRead(0), shortWrite(0), position(0), transferred(0), size(0), delegate(nullptr),
      ownsDelegate(0), tee(nullptr), flags(0) {
    memset(readInline, 0, sizeof readInline);
    memset(writeInline, 0, sizeof writeInline);
}

sStream::~sStream() {
    Shutdown();
    // A Close that failed leaves its buffers; they go with the object.
    ReleaseReadBuffer();
    ReleaseWriteBuffer();
    if (delegate && ownsDelegate) delete delegate;
}

int sStream::Close() {
    CloseFlush();
    return 0;
}

int sStream::RawRead(void*, int) {
    return 0;
}
int sStream::RawPeek(void*, int) {
    return 0;
}
int sStream::RawWrite(const void*, int) {
    return 0;
}
int sStream::RawSeek(int) {
    return 0;
}

// ---- life cycle -------------------------------------------------------------

void sStream::Begin(int newFlags, int newPosition, int newSize) {
    ReleaseReadBuffer();
    ReleaseWriteBuffer();
    if (delegate && ownsDelegate) {
        delegate->Shutdown();
        delete delegate;
    }
    flags = newFlags | SF_OPEN;
    position = newPosition;
    size = newSize;
    bufferPosition = newPosition;
    readBitIndex = 0;
    readByte = 0;
    writeBits = 0;
    writeBitCount = 0;
    shortRead = 0;
    shortWrite = 0;
    transferred = 0;
    delegate = nullptr;
    ownsDelegate = 0;
    tee = nullptr;
    fillByte = -1;
}

int sStream::Shutdown() {
    if (delegate) {
        int result = delegate->Shutdown();
        if (result < 0) return result;
        if (ownsDelegate) delete delegate;
        delegate = nullptr;
        ownsDelegate = 0;
        return 0;
    }
    if (!(flags & SF_OPEN)) return 0;
    int result = Close();
    if (result >= 0) {
        flags = 0;
        position = 0;
        size = 0;
        delegate = nullptr;
    }
    return result;
}

int sStream::Attach(sStream* target, int owns, int clearFlags, int newPosition, int newTransferred,
                    int newSize) {
    if (delegate)
        return delegate->Attach(target, owns, clearFlags, newPosition, newTransferred, newSize);
    if (!target || target == this) return 0;
    delegate = target;
    ownsDelegate = owns ? 1 : 0;
    if (newPosition != -1) {
        // Relabel the buffered range with the new position so that it stays consistent.
        target->bufferPosition += newPosition - target->position;
        target->position = newPosition;
    }
    if (newTransferred != -1) target->transferred = newTransferred;
    if (newSize != -1) target->size = newSize;
    target->flags &= ~clearFlags;
    return target->flags;
}

void sStream::CloseFlush() {
    if (!Seekable() && writeBitCount > 0) FlushBits();
    Flush(1);
    ReleaseReadBuffer();
    if (Seekable()) {
        RawSeek(position);
    } else {
        FlushWrite(1);
    }
    ReleaseWriteBuffer();
}

// ---- buffers ----------------------------------------------------------------

static uint8_t* AllocateBuffer(int bytes, uint8_t* inlineSpace) {
    if (bytes <= 8) return inlineSpace;
    return static_cast<uint8_t*>(malloc(bytes));
}

void sStream::ReleaseReadBuffer() {
    if (readBuffer && readBuffer != readInline) free(readBuffer);
    readBuffer = nullptr;
    readCapacity = 0;
    readFill = 0;
    readOffset = 0;
    bufferPosition = position;
    dirty = 0;
}

void sStream::ReleaseWriteBuffer() {
    if (writeBuffer && writeBuffer != writeInline) free(writeBuffer);
    writeBuffer = nullptr;
    writeCapacity = 0;
    writeFill = 0;
}

int sStream::SetReadBufferSize(int bytes) {
    if (bytes < 0 || !Flush(0)) return 0;
    ReleaseReadBuffer();
    if (bytes == 0) return 1;
    readBuffer = AllocateBuffer(bytes, readInline);
    if (!readBuffer) return 0;
    readCapacity = bytes;
    return 1;
}

int sStream::SetWriteBufferSize(int bytes) {
    if (Seekable()) return SetReadBufferSize(bytes);
    if (bytes < 0 || !FlushWrite(0)) return 0;
    ReleaseWriteBuffer();
    if (bytes == 0) return 1;
    writeBuffer = AllocateBuffer(bytes, writeInline);
    if (!writeBuffer) return 0;
    writeCapacity = bytes;
    return 1;
}

void sStream::EmptyReadBuffer() {
    bufferPosition = position;
    readFill = 0;
    readOffset = 0;
}

int sStream::Flush(int mode) {
    if (delegate) return delegate->Flush(mode);
    if (!readBuffer) return 1;
    if (!Seekable()) {
        bool empty = readOffset >= readFill;
        if (!empty && mode != 2) return 0;
        readFill = 0;
        readOffset = 0;
        return 1;
    }
    bool rawAtPosition = !dirty && readOffset == readFill;
    if (dirty) {
        RawSeek(bufferPosition);
        int written = Smaller(AtLeastZero(RawWrite(readBuffer, readFill)), readFill);
        if (written < readFill) {
            if (mode == 0) {
                // Keep what is unwritten (and the bytes before the position, so that the
                // position stays inside the buffer); rewriting them later is harmless.
                int drop = Smaller(written, readOffset);
                memmove(readBuffer, readBuffer + drop, readFill - drop);
                bufferPosition += drop;
                readFill -= drop;
                readOffset -= drop;
                return 0;
            }
            shortWrite = 1;
            if (bufferPosition + readFill >= size) {
                size = bufferPosition + written;
                if (position > size) position = size;
            }
        }
        dirty = 0;
    }
    EmptyReadBuffer();
    if (!rawAtPosition) RawSeek(position);
    return 1;
}

int sStream::FlushWrite(int mode) {
    if (delegate) return delegate->FlushWrite(mode);
    if (Seekable()) return Flush(mode);
    if (!writeBuffer || writeFill == 0) return 1;
    if (mode == 2) {
        writeFill = 0;
        return 0;
    }
    int written = Smaller(AtLeastZero(RawWrite(writeBuffer, writeFill)), writeFill);
    bool all = written == writeFill;
    if (mode == 0) {
        memmove(writeBuffer, writeBuffer + written, writeFill - written);
        writeFill -= written;
    } else {
        if (!all) shortWrite = 1; // the rest is dropped: say so
        writeFill = 0;
    }
    return all ? 1 : 0;
}

// ---- reading ----------------------------------------------------------------

void sStream::FinishShortRead(void* buffer, int delivered, int n) {
    if (delivered >= n) return;
    shortRead = 1;
    if (fillByte != -1 && buffer)
        memset(static_cast<uint8_t*>(buffer) + delivered, fillByte, n - delivered);
}

int sStream::TakeBuffered(uint8_t* out, int n) {
    int count = Smaller(n, readFill - readOffset);
    if (count <= 0) return 0;
    memcpy(out, readBuffer + readOffset, count);
    readOffset += count;
    position += count;
    if (!Seekable()) transferred += count;
    return count;
}

int sStream::TopUpReadBuffer() {
    if (!Seekable() && readOffset > 0) {
        memmove(readBuffer, readBuffer + readOffset, readFill - readOffset);
        readFill -= readOffset;
        readOffset = 0;
    }
    int space = readCapacity - readFill;
    if (space <= 0) return 0;
    int got = Smaller(AtLeastZero(RawRead(readBuffer + readFill, space)), space);
    readFill += got;
    return got;
}

int sStream::ReadBuffered(uint8_t* out, int n) {
    // The raw position follows the buffer's end only while it is clean.
    if (readFill - readOffset < n && !dirty) TopUpReadBuffer();
    int got = TakeBuffered(out, n);
    if (got == n || !Flush(0)) return got;
    int rest = n - got;
    if (rest < readCapacity) {
        TopUpReadBuffer();
        return got + TakeBuffered(out + got, rest);
    }
    int direct = Smaller(AtLeastZero(RawRead(out + got, rest)), rest);
    position += direct;
    if (Seekable()) {
        bufferPosition = position;
    } else {
        transferred += direct;
    }
    return got + direct;
}

int sStream::ReadSkipping(int n) {
    uint8_t scratch[256];
    int total = 0;
    while (total < n) {
        int step = Smaller(n - total, (int)sizeof scratch);
        int got = Read(scratch, step);
        total += got;
        if (got < step) break;
    }
    return total;
}

int sStream::Read(void* buffer, int n) {
    if (delegate) return delegate->Read(buffer, n);
    if (!(flags & SF_READ) || n <= 0) return 0;
    if (!buffer) return ReadSkipping(n);
    uint8_t* out = static_cast<uint8_t*>(buffer);
    int delivered;
    if (readBuffer) {
        delivered = ReadBuffered(out, n);
    } else {
        delivered = Smaller(AtLeastZero(RawRead(out, n)), n);
        position += delivered;
        if (Seekable()) {
            bufferPosition = position;
        } else {
            transferred += delivered;
        }
    }
    if (tee && delivered > 0) tee->Write(out, delivered);
    FinishShortRead(buffer, delivered, n);
    return delivered;
}

int sStream::PeekSeekable(void* buffer, int n) {
    sStream* savedTee = tee;
    int savedPosition = position;
    int savedBitIndex = readBitIndex;
    tee = nullptr; // a peek is not a read: the tee sees nothing
    int got = Read(buffer, n);
    Seek(savedPosition);
    tee = savedTee;
    readBitIndex = savedBitIndex;
    return got;
}

int sStream::PeekBuffered(uint8_t* out, int n) {
    while (readFill - readOffset < n && TopUpReadBuffer() > 0) {
    }
    int count = Smaller(n, readFill - readOffset);
    memcpy(out, readBuffer + readOffset, count);
    return count;
}

int sStream::Peek(void* buffer, int n) {
    if (delegate) return delegate->Peek(buffer, n);
    if (!(flags & SF_READ) || n <= 0 || !buffer) return 0;
    int got;
    if (Seekable()) {
        got = PeekSeekable(buffer, n);
    } else if (readBuffer) {
        got = PeekBuffered(static_cast<uint8_t*>(buffer), n);
    } else {
        got = Smaller(AtLeastZero(RawPeek(buffer, n)), n);
    }
    FinishShortRead(buffer, got, n);
    return got;
}

// ---- writing ----------------------------------------------------------------

int sStream::WriteSeekable(const uint8_t* data, int n) {
    int done = 0;
    while (done < n) {
        if (readOffset >= readCapacity && !Flush(0) && readOffset >= readCapacity) break;
        int count = Smaller(n - done, readCapacity - readOffset);
        memcpy(readBuffer + readOffset, data + done, count);
        readOffset += count;
        if (readOffset > readFill) readFill = readOffset;
        dirty = 1;
        position += count;
        done += count;
        if (readOffset == readCapacity) Flush(0);
    }
    return done;
}

int sStream::WriteBufferedOut(const uint8_t* data, int n) {
    if (n >= writeCapacity && n > writeCapacity - writeFill) {
        // Too big to gather: what is buffered goes first, then the request itself.
        if (!FlushWrite(0)) return 0;
        int written = Smaller(AtLeastZero(RawWrite(data, n)), n);
        transferred += written;
        return written;
    }
    int done = 0;
    while (done < n) {
        int count = Smaller(n - done, writeCapacity - writeFill);
        memcpy(writeBuffer + writeFill, data + done, count);
        writeFill += count;
        done += count;
        transferred += count;
        if (writeFill == writeCapacity && !FlushWrite(0) && writeFill == writeCapacity) break;
    }
    return done;
}

int sStream::Write(const void* buffer, int n) {
    if (delegate) return delegate->Write(buffer, n);
    if (!(flags & SF_WRITE) || n <= 0 || !buffer) return 0;
    const uint8_t* data = static_cast<const uint8_t*>(buffer);
    int accepted;
    if (Seekable() && readBuffer) {
        accepted = WriteSeekable(data, n);
    } else if (!Seekable() && writeBuffer) {
        accepted = WriteBufferedOut(data, n);
    } else {
        accepted = Smaller(AtLeastZero(RawWrite(data, n)), n);
        if (Seekable()) {
            position += accepted;
            bufferPosition = position;
        } else {
            transferred += accepted;
        }
    }
    if (Seekable() && position > size) size = position;
    if (accepted < n) shortWrite = 1;
    return accepted;
}

// ---- seeking ----------------------------------------------------------------

int sStream::SeekBuffered(int target) {
    if (target >= bufferPosition && target <= bufferPosition + readFill) {
        readOffset = target - bufferPosition;
        position = target;
        return position;
    }
    Flush(1);
    if (target > size) target = size;
    int reached = RawSeek(target);
    if (reached >= 0) position = reached;
    EmptyReadBuffer();
    return position;
}

int sStream::Seek(int target) {
    if (delegate) return delegate->Seek(target);
    if (!Seekable()) return position;
    if (target < 0) target = 0;
    readBitIndex = 0;
    if (readBuffer) {
        SeekBuffered(target);
    } else {
        int reached = RawSeek(target);
        if (reached >= 0) position = reached;
        bufferPosition = position;
    }
    if (tee) tee->Seek(position);
    return position;
}

int sStream::Skip(int delta) {
    if (delegate) return delegate->Skip(delta);
    return Seek(ClampToInt((int64_t)position + delta));
}

int sStream::SeekEnd(int delta) {
    if (delegate) return delegate->SeekEnd(delta);
    return Seek(ClampToInt((int64_t)size + delta));
}
