// sStream: the byte stream every part of the music code moves its bytes through.
// A subclass supplies the Raw* operations over its resource; the base adds read and write
// buffering, bit-level and typed access, a delegate (every operation forwarded) and a tee
// (a copy of every byte read, following every seek).
#ifndef PRISMATEL_STREAM_H
#define PRISMATEL_STREAM_H

#include <stdint.h>

#ifdef _WIN32
// The window menu's SC_SIZE would overwrite the control code of the same name below;
// with the system header read first, a later include of it leaves the code alone.
#include <windows.h>
#undef SC_SIZE
#endif

// Stream flags.
enum {
    SF_OPEN = 1,
    SF_READ = 2,
    SF_WRITE = 4,
    SF_SEEK = 8,
    SF_UPDATE = 16, // opened for reading and writing
};

// Control codes of the base class. Subclasses use their own codes and pass the rest on.
enum {
    SC_POSITION = 0,
    SC_TRANSFERRED = 1, // non-seekable: bytes transferred; seekable: position
    SC_END_OF_INPUT = 2,
    SC_END_OF_OUTPUT = 3,
    SC_SIZE = 4,
    SC_SHORT_READ = 9,
    SC_TAKE_SHORT_READ = 10, // also clears the flag
    SC_SHORT_WRITE = 11,
    SC_TAKE_SHORT_WRITE = 12, // also clears the flag
    SC_REMAINING = 13,        // size - position (14 too)
    SC_REMAINING2 = 14,
    SC_SET_READ_BUFFER = 15, // value: bytes; 0 unbuffered; returns 1, or 0 while bytes remain
    SC_READ_BUFFER = 16,
    SC_READ_BUFFERED = 17,    // unread bytes in the read buffer
    SC_SET_WRITE_BUFFER = 18, // seekable streams: the read buffer
    SC_WRITE_BUFFER = 19,
    SC_READ_OFFSET = 20,
    SC_SET_FILL_BYTE = 21, // -1 none; returns the old one
    SC_FILL_BYTE = 22,
    SC_SET_READ_BIT_ORDER = 23, // non-zero: most significant bit first; returns the old one
    SC_READ_BIT_ORDER = 24,
    SC_SET_BIT_ORDER = 25, // of the main direction: seekable read, else write
    SC_BIT_ORDER = 26,
    SC_SET_PAD = 27, // non-zero: pad with ones; returns the old pad value (0 or -1)
    SC_PAD = 28,
    SC_FLUSH0 = 29, // Flush modes 0, 1, 2
    SC_FLUSH1 = 30,
    SC_FLUSH2 = 31,
    SC_FLUSH_WRITE0 = 32, // FlushWrite modes 0, 1, 2
    SC_FLUSH_WRITE1 = 33,
    SC_FLUSH_WRITE2 = 34,
    SC_END_READING = 42,
    SC_END_WRITING = 43,
    SC_FLUSH_ALL = 44,
    SC_AT_END = 49,        // position equals size; subclasses redefine their end
    SC_OUTPUT_AT_END = 50, // end of output of a non-seekable stream (subclass; base 0)
    SC_SET_TEE = 51,       // pointer: the tee stream, or null
};

class sStream {
public:
    sStream();

    // The virtual interface, in this order.
    virtual int Close();
    virtual int RawRead(void* buffer, int n);
    virtual int RawPeek(void* buffer, int n);
    virtual int RawWrite(const void* buffer, int n);
    virtual int RawSeek(int position); // returns the position reached
    virtual int Control(int code, void* pointer, int value);
    virtual ~sStream();

    // Life cycle.
    void Begin(int flags, int position, int size);
    int Shutdown();
    int Attach(sStream* delegate, int ownsDelegate, int clearFlags, int position, int transferred,
               int size);

    // Bytes.
    int Read(void* buffer, int n); // null buffer: skip n bytes
    int Peek(void* buffer, int n);
    int Write(const void* buffer, int n);
    int Seek(int position);
    int Skip(int delta);
    int SeekEnd(int delta); // size + delta
    int Flush(int mode);
    int FlushWrite(int mode);

    // Bits, in the stream's bit order; multi-bit values (up to 32 bits) are big-endian when
    // the most significant bit comes first, little-endian otherwise.
    int ReadBit();
    int PeekBit();
    uint32_t ReadBits(int n);
    uint32_t PeekBits(int n);
    void WriteBit(int bit);
    void WriteBits(uint32_t value, int n);
    void AlignRead();
    int FlushBits();

    // Typed access. A short read yields zero (or the fill byte) for the missing bytes.
    int ReadByte(int* count); // the byte, with the count read (0 or 1)
    int PeekByte(int* count);
    uint8_t ReadU8();
    int8_t ReadS8();
    uint8_t PeekU8();
    int8_t PeekS8();
    uint16_t ReadU16LE();
    uint16_t ReadU16BE();
    int16_t ReadS16LE();
    int16_t ReadS16BE();
    uint16_t PeekU16LE();
    uint16_t PeekU16BE();
    int16_t PeekS16LE();
    int16_t PeekS16BE();
    uint32_t ReadU32LE();
    uint32_t ReadU32BE();
    int32_t ReadS32LE();
    int32_t ReadS32BE();
    uint32_t PeekU32LE();
    uint32_t PeekU32BE();
    int32_t PeekS32LE();
    int32_t PeekS32BE();
    uint64_t ReadU64LE();
    uint64_t ReadU64BE();
    int64_t ReadS64LE();
    int64_t ReadS64BE();
    uint64_t PeekU64LE();
    uint64_t PeekU64BE();
    int64_t PeekS64LE();
    int64_t PeekS64BE();
    int WriteU8(uint8_t value);
    int WriteU16LE(uint16_t value);
    int WriteU16BE(uint16_t value);
    int WriteU32LE(uint32_t value);
    int WriteU32BE(uint32_t value);
    int WriteU64LE(uint64_t value);
    int WriteU64BE(uint64_t value);

    // Strings. The read forms always zero-terminate the buffer (when it has room for
    // anything) and return 1 only when the terminator was found; the terminator is consumed
    // and not stored. When the buffer fills first, the rest of the string stays unread.
    int WriteString(const char* text, int withZero);
    int ReadString(char* buffer, int size, int terminator);
    int ReadStringZ(char* buffer, int size);

    // State, for subclasses and callers that hold the stream itself (not its delegate).
    int GetFlags() const { return flags; }
    int GetPosition() const { return position; }
    int GetSize() const { return size; }
    sStream* GetDelegate() const { return delegate; }

protected:
    // The flush that Close performs: pending bits, the read side, the write side, buffers
    // released. Subclasses' Close call it before giving up their resource.
    void CloseFlush();
    int SetReadBufferSize(int bytes);
    int SetWriteBufferSize(int bytes);

    uint8_t readInline[8];
    uint8_t* readBuffer;
    int readCapacity;
    int readFill;
    int readOffset;
    int bufferPosition; // stream position of the read buffer's first byte
    int dirty;
    uint8_t writeInline[8];
    uint8_t* writeBuffer;
    int writeCapacity;
    int writeFill;
    int readBitOrder;
    int readBitIndex;
    int readByte;
    int writeBitOrder;
    int writeBits;
    int writeBitCount;
    int padValue;
    int fillByte;
    int shortRead;
    int shortWrite;
    int position;
    int transferred;
    int size;
    sStream* delegate;
    int ownsDelegate;
    sStream* tee;
    int flags;

private:
    bool Seekable() const { return (flags & SF_SEEK) != 0; }
    int ReadBuffered(uint8_t* out, int n);
    int ReadSkipping(int n);
    int TakeBuffered(uint8_t* out, int n);
    int TopUpReadBuffer();
    int PeekSeekable(void* buffer, int n);
    int PeekBuffered(uint8_t* out, int n);
    int WriteSeekable(const uint8_t* data, int n);
    int WriteBufferedOut(const uint8_t* data, int n);
    void EmptyReadBuffer();
    void ReleaseReadBuffer();
    void ReleaseWriteBuffer();
    void FinishShortRead(void* buffer, int delivered, int n);
    int SeekBuffered(int target);
    int PeekQuiet(uint8_t* bytes, int count);
    void WriteBitSeekable(int bit);
    void WriteBitSequential(int bit);
    uint64_t ReadBytesLE(int count, bool peek);
    uint64_t ReadBytesBE(int count, bool peek);
    int WriteBytesLE(uint64_t value, int count);
    int WriteBytesBE(uint64_t value, int count);
    int ControlFlags(int code, int value, bool* handled);
    int ControlBuffers(int code, int value, bool* handled);
    int ControlBits(int code, int value, bool* handled);

    sStream(const sStream&) = delete;
    sStream& operator=(const sStream&) = delete;
};

#endif
