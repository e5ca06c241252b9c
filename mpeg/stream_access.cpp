// sStream: the Control codes, bit access, typed access and strings.
#include "stream.h"

#include <string.h>

// ---- Control ----------------------------------------------------------------

int sStream::ControlFlags(int code, int value, bool* handled) {
    *handled = true;
    switch (code) {
    case SC_POSITION: return position;
    case SC_TRANSFERRED: return Seekable() ? position : transferred;
    case SC_END_OF_INPUT:
        if (!(flags & SF_READ)) return 1;
        if (readBuffer && readOffset < readFill) return 0;
        return Control(SC_AT_END, nullptr, 0);
    case SC_END_OF_OUTPUT:
        if (!(flags & SF_WRITE)) return 1;
        if (!Seekable()) return Control(SC_OUTPUT_AT_END, nullptr, 0);
        return position == size && !(flags & SF_UPDATE);
    case SC_SIZE: return size;
    case SC_SHORT_READ: return shortRead;
    case SC_TAKE_SHORT_READ: {
        int old = shortRead;
        shortRead = 0;
        return old;
    }
    case SC_SHORT_WRITE: return shortWrite;
    case SC_TAKE_SHORT_WRITE: {
        int old = shortWrite;
        shortWrite = 0;
        return old;
    }
    case SC_REMAINING:
    case SC_REMAINING2: return size - position;
    case SC_AT_END: return position == size;
    }
    (void)value;
    *handled = false;
    return 0;
}

int sStream::ControlBuffers(int code, int value, bool* handled) {
    *handled = true;
    switch (code) {
    case SC_SET_READ_BUFFER: return SetReadBufferSize(value);
    case SC_READ_BUFFER: return readCapacity;
    case SC_READ_BUFFERED: return readBuffer ? readFill - readOffset : 0;
    case SC_SET_WRITE_BUFFER: return SetWriteBufferSize(value);
    case SC_WRITE_BUFFER: return Seekable() ? readCapacity : writeCapacity;
    case SC_READ_OFFSET: return readOffset;
    case SC_FLUSH0:
    case SC_FLUSH1:
    case SC_FLUSH2: return Flush(code - SC_FLUSH0);
    case SC_FLUSH_WRITE0:
    case SC_FLUSH_WRITE1:
    case SC_FLUSH_WRITE2: return FlushWrite(code - SC_FLUSH_WRITE0);
    case SC_END_READING:
        AlignRead();
        if (!Flush(2)) return 0;
        if (!Seekable()) flags &= ~SF_READ;
        return 1;
    case SC_END_WRITING:
        FlushBits();
        if (!FlushWrite(0)) return 0;
        flags &= ~SF_WRITE;
        return 1;
    case SC_FLUSH_ALL:
        FlushBits();
        FlushWrite(1);
        return 1;
    }
    *handled = false;
    return 0;
}

int sStream::ControlBits(int code, int value, bool* handled) {
    *handled = true;
    int* mainOrder = Seekable() ? &readBitOrder : &writeBitOrder;
    int old;
    switch (code) {
    case SC_SET_FILL_BYTE:
        old = fillByte;
        fillByte = value == -1 ? -1 : (value & 0xFF);
        return old;
    case SC_FILL_BYTE: return fillByte;
    case SC_SET_READ_BIT_ORDER:
        old = readBitOrder;
        readBitOrder = value != 0;
        return old;
    case SC_READ_BIT_ORDER: return readBitOrder;
    case SC_SET_BIT_ORDER:
        old = *mainOrder;
        *mainOrder = value != 0;
        return old;
    case SC_BIT_ORDER: return *mainOrder;
    case SC_SET_PAD:
        old = padValue;
        padValue = value ? -1 : 0;
        return old;
    case SC_PAD: return padValue;
    }
    *handled = false;
    return 0;
}

int sStream::Control(int code, void* pointer, int value) {
    if (delegate) return delegate->Control(code, pointer, value);
    if (code == SC_SET_TEE) {
        sStream* newTee = static_cast<sStream*>(pointer);
        tee = newTee == this ? nullptr : newTee;
        return 1;
    }
    bool handled;
    int result = ControlFlags(code, value, &handled);
    if (handled) return result;
    result = ControlBuffers(code, value, &handled);
    if (handled) return result;
    result = ControlBits(code, value, &handled);
    if (handled) return result;
    return 0;
}

// ---- bits -------------------------------------------------------------------

static int BitOfByte(int byte, int index, int msbFirst) {
    return msbFirst ? (byte >> (7 - index)) & 1 : (byte >> index) & 1;
}

static uint32_t AppendBit(uint32_t value, int bit, int count, int msbFirst) {
    return msbFirst ? (value << 1) | bit : value | ((uint32_t)bit << count);
}

static int ClampBitCount(int n) {
    return n < 0 ? 0 : n > 32 ? 32 : n;
}

int sStream::PeekQuiet(uint8_t* bytes, int count) {
    // A look ahead that is no data read leaves the short-read flag alone.
    int savedShort = shortRead;
    int got = Peek(bytes, count);
    shortRead = savedShort;
    return got;
}

int sStream::ReadBit() {
    if (delegate) return delegate->ReadBit();
    int byte;
    if (Seekable()) {
        uint8_t current = 0;
        Peek(&current, 1);
        byte = current;
    } else {
        if (readBitIndex == 0) {
            uint8_t next = 0;
            Read(&next, 1);
            readByte = next;
        }
        byte = readByte;
    }
    int bit = BitOfByte(byte, readBitIndex, readBitOrder);
    if (++readBitIndex == 8) {
        readBitIndex = 0;
        if (Seekable()) {
            uint8_t consumed;
            Read(&consumed, 1);
        }
    }
    return bit;
}

uint32_t sStream::ReadBits(int n) {
    if (delegate) return delegate->ReadBits(n);
    n = ClampBitCount(n);
    uint32_t value = 0;
    for (int i = 0; i < n; i++) value = AppendBit(value, ReadBit(), i, readBitOrder);
    return value;
}

uint32_t sStream::PeekBits(int n) {
    if (delegate) return delegate->PeekBits(n);
    n = ClampBitCount(n);
    if (n == 0) return 0;
    uint8_t bytes[5] = {0, 0, 0, 0, 0};
    int count = (readBitIndex + n + 7) / 8;
    if (!Seekable() && readBitIndex > 0) {
        bytes[0] = (uint8_t)readByte;
        if (count > 1) Peek(bytes + 1, count - 1);
    } else {
        Peek(bytes, count);
    }
    uint32_t value = 0;
    for (int i = 0; i < n; i++) {
        int at = readBitIndex + i;
        value = AppendBit(value, BitOfByte(bytes[at >> 3], at & 7, readBitOrder), i, readBitOrder);
    }
    return value;
}

int sStream::PeekBit() {
    if (delegate) return delegate->PeekBit();
    return (int)PeekBits(1);
}

void sStream::WriteBitSequential(int bit) {
    int shift = writeBitOrder ? 7 - writeBitCount : writeBitCount;
    writeBits |= bit << shift;
    if (++writeBitCount < 8) return;
    uint8_t byte = (uint8_t)writeBits;
    writeBits = 0;
    writeBitCount = 0;
    Write(&byte, 1);
}

void sStream::WriteBitSeekable(int bit) {
    // Bits not written yet in a new byte carry the pad value.
    uint8_t byte = padValue ? 0xFF : 0x00;
    uint8_t existing;
    if (PeekQuiet(&existing, 1) == 1) byte = existing;
    int mask = readBitOrder ? 0x80 >> readBitIndex : 1 << readBitIndex;
    byte = bit ? (byte | mask) : (byte & ~mask);
    Write(&byte, 1);
    int index = readBitIndex + 1;
    if (index < 8) {
        Seek(position - 1); // stay on the byte until its last bit
        readBitIndex = index;
    } else {
        readBitIndex = 0;
    }
}

void sStream::WriteBit(int bit) {
    if (delegate) return delegate->WriteBit(bit);
    if (!(flags & SF_WRITE)) return;
    if (Seekable()) {
        WriteBitSeekable(bit & 1);
    } else {
        WriteBitSequential(bit & 1);
    }
}

void sStream::WriteBits(uint32_t value, int n) {
    if (delegate) return delegate->WriteBits(value, n);
    n = ClampBitCount(n);
    int msbFirst = Seekable() ? readBitOrder : writeBitOrder;
    for (int i = 0; i < n; i++) WriteBit((value >> (msbFirst ? n - 1 - i : i)) & 1);
}

void sStream::AlignRead() {
    if (delegate) return delegate->AlignRead();
    if (readBitIndex == 0) return;
    readBitIndex = 0;
    if (Seekable()) {
        // The partly read byte is still at the position: consume it.
        uint8_t consumed;
        if (Read(&consumed, 1) == 0) Skip(1);
    }
}

int sStream::FlushBits() {
    if (delegate) return delegate->FlushBits();
    if (Seekable()) {
        AlignRead();
        return 1;
    }
    if (writeBitCount == 0) return 1;
    int pad = 0;
    if (padValue) pad = writeBitOrder ? 0xFF >> writeBitCount : (0xFF << writeBitCount) & 0xFF;
    uint8_t byte = (uint8_t)(writeBits | pad);
    writeBits = 0;
    writeBitCount = 0;
    return Write(&byte, 1);
}

// ---- typed access -----------------------------------------------------------

uint64_t sStream::ReadBytesLE(int count, bool peek) {
    uint8_t bytes[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    if (peek) {
        Peek(bytes, count);
    } else {
        Read(bytes, count);
    }
    uint64_t value = 0;
    for (int i = count - 1; i >= 0; i--) value = (value << 8) | bytes[i];
    return value;
}

uint64_t sStream::ReadBytesBE(int count, bool peek) {
    uint8_t bytes[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    if (peek) {
        Peek(bytes, count);
    } else {
        Read(bytes, count);
    }
    uint64_t value = 0;
    for (int i = 0; i < count; i++) value = (value << 8) | bytes[i];
    return value;
}

int sStream::WriteBytesLE(uint64_t value, int count) {
    uint8_t bytes[8];
    for (int i = 0; i < count; i++) bytes[i] = (uint8_t)(value >> (8 * i));
    return Write(bytes, count);
}

int sStream::WriteBytesBE(uint64_t value, int count) {
    uint8_t bytes[8];
    for (int i = 0; i < count; i++) bytes[i] = (uint8_t)(value >> (8 * (count - 1 - i)));
    return Write(bytes, count);
}

int sStream::ReadByte(int* count) {
    uint8_t byte = 0;
    int got = Read(&byte, 1);
    if (count) *count = got;
    return byte;
}

int sStream::PeekByte(int* count) {
    uint8_t byte = 0;
    int got = Peek(&byte, 1);
    if (count) *count = got;
    return byte;
}

uint8_t sStream::ReadU8() {
    return (uint8_t)ReadBytesLE(1, false);
}
int8_t sStream::ReadS8() {
    return (int8_t)ReadBytesLE(1, false);
}
uint8_t sStream::PeekU8() {
    return (uint8_t)ReadBytesLE(1, true);
}
int8_t sStream::PeekS8() {
    return (int8_t)ReadBytesLE(1, true);
}
uint16_t sStream::ReadU16LE() {
    return (uint16_t)ReadBytesLE(2, false);
}
uint16_t sStream::ReadU16BE() {
    return (uint16_t)ReadBytesBE(2, false);
}
int16_t sStream::ReadS16LE() {
    return (int16_t)ReadBytesLE(2, false);
}
int16_t sStream::ReadS16BE() {
    return (int16_t)ReadBytesBE(2, false);
}
uint16_t sStream::PeekU16LE() {
    return (uint16_t)ReadBytesLE(2, true);
}
uint16_t sStream::PeekU16BE() {
    return (uint16_t)ReadBytesBE(2, true);
}
int16_t sStream::PeekS16LE() {
    return (int16_t)ReadBytesLE(2, true);
}
int16_t sStream::PeekS16BE() {
    return (int16_t)ReadBytesBE(2, true);
}
uint32_t sStream::ReadU32LE() {
    return (uint32_t)ReadBytesLE(4, false);
}
uint32_t sStream::ReadU32BE() {
    return (uint32_t)ReadBytesBE(4, false);
}
int32_t sStream::ReadS32LE() {
    return (int32_t)ReadBytesLE(4, false);
}
int32_t sStream::ReadS32BE() {
    return (int32_t)ReadBytesBE(4, false);
}
uint32_t sStream::PeekU32LE() {
    return (uint32_t)ReadBytesLE(4, true);
}
uint32_t sStream::PeekU32BE() {
    return (uint32_t)ReadBytesBE(4, true);
}
int32_t sStream::PeekS32LE() {
    return (int32_t)ReadBytesLE(4, true);
}
int32_t sStream::PeekS32BE() {
    return (int32_t)ReadBytesBE(4, true);
}
uint64_t sStream::ReadU64LE() {
    return ReadBytesLE(8, false);
}
uint64_t sStream::ReadU64BE() {
    return ReadBytesBE(8, false);
}
int64_t sStream::ReadS64LE() {
    return (int64_t)ReadBytesLE(8, false);
}
int64_t sStream::ReadS64BE() {
    return (int64_t)ReadBytesBE(8, false);
}
uint64_t sStream::PeekU64LE() {
    return ReadBytesLE(8, true);
}
uint64_t sStream::PeekU64BE() {
    return ReadBytesBE(8, true);
}
int64_t sStream::PeekS64LE() {
    return (int64_t)ReadBytesLE(8, true);
}
int64_t sStream::PeekS64BE() {
    return (int64_t)ReadBytesBE(8, true);
}
int sStream::WriteU8(uint8_t value) {
    return WriteBytesLE(value, 1);
}
int sStream::WriteU16LE(uint16_t value) {
    return WriteBytesLE(value, 2);
}
int sStream::WriteU16BE(uint16_t value) {
    return WriteBytesBE(value, 2);
}
int sStream::WriteU32LE(uint32_t value) {
    return WriteBytesLE(value, 4);
}
int sStream::WriteU32BE(uint32_t value) {
    return WriteBytesBE(value, 4);
}
int sStream::WriteU64LE(uint64_t value) {
    return WriteBytesLE(value, 8);
}
int sStream::WriteU64BE(uint64_t value) {
    return WriteBytesBE(value, 8);
}

// ---- strings ----------------------------------------------------------------

int sStream::WriteString(const char* text, int withZero) {
    if (!text) return 0;
    return Write(text, (int)strlen(text) + (withZero ? 1 : 0));
}

int sStream::ReadString(char* buffer, int bufferSize, int terminator) {
    if (delegate) return delegate->ReadString(buffer, bufferSize, terminator);
    if (!buffer || bufferSize <= 0) return 0;
    const uint8_t end = (uint8_t)terminator;
    int length = 0;
    uint8_t c;
    while (length < bufferSize - 1) {
        if (Read(&c, 1) != 1) break;
        if (c == end) {
            buffer[length] = 0;
            return 1;
        }
        buffer[length++] = (char)c;
    }
    buffer[length] = 0;
    // A string that exactly fills the buffer still counts when its terminator follows.
    if (length == bufferSize - 1 && PeekQuiet(&c, 1) == 1 && c == end) {
        Read(&c, 1);
        return 1;
    }
    return 0;
}

int sStream::ReadStringZ(char* buffer, int bufferSize) {
    return ReadString(buffer, bufferSize, 0);
}
