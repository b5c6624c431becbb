// DataFile: the engine's one reader and writer of data files. Opens a path as
// passed, then under the base path; reads whitespace-separated tokens, quoted
// symbols, lines and little-endian binary values; a failed read yields 0 /
// false / null and sets AtEnd() instead of throwing. Text results are new[]'d
// and the caller delete[]s them.
//
// A file opened for reading is read whole into memory once, at Open; every
// later read decodes from there (loaders read hundreds of thousands of small
// values, and a library call for each one cost more than the decoding). The
// position, the end and the short reads behave as they would on the stream.
#ifndef ZENDAR_UTILITY_DATAFILE_H
#define ZENDAR_UTILITY_DATAFILE_H

#include <cstdint>
#include <cstdio>
#include <cstring>

class String;

class DataFile {
public:
    DataFile() = default;
    ~DataFile();
    DataFile(const DataFile&) = delete;
    DataFile& operator=(const DataFile&) = delete;

    // Reading, binary mode. Returns IsOpen().
    bool Open(const char* path_);
    bool Open(const String& path_);
    // writing = true opens in binary write mode (same two tries).
    bool Open(const char* path_, bool writing_);
    void Close();

    bool IsOpen() const { return open_ != 0; }
    bool AtEnd() const { return atEnd_ != 0; }
    bool IsWriting() const { return writing_ != 0; }
    const char* Path() const { return path_; }

    long Size();             // file length; the read position is kept
    bool Seek(long offset);  // absolute
    long Tell();

    // Text reads.
    char* ReadToken();
    char* ReadSymbol();
    char* ReadLine();

    // Binary reads, little-endian. The common case (the bytes are there) is
    // decoded inline; the rest goes through the general path.
    float ReadFloat() {
        if (size_ - pos_ >= 4) {
            uint32_t bits = Le32(bytes_ + pos_);
            pos_ += 4;
            float value;
            std::memcpy(&value, &bits, 4);
            return value;
        }
        return ReadFloatSlow();
    }
    int32_t ReadInt() {
        if (size_ - pos_ >= 4) {
            uint32_t bits = Le32(bytes_ + pos_);
            pos_ += 4;
            return static_cast<int32_t>(bits);
        }
        return ReadIntSlow();
    }
    char ReadChar();
    char ReadNonBlankChar();
    uint8_t ReadByte() {
        if (size_ - pos_ >= 1) return bytes_[pos_++];
        return ReadByteSlow();
    }
    int16_t ReadShort() {  // silent
        if (size_ - pos_ >= 2) {
            int16_t value = static_cast<int16_t>(bytes_[pos_] | (bytes_[pos_ + 1] << 8));
            pos_ += 2;
            return value;
        }
        return ReadShortSlow();
    }
    // Many values at once, for the large arrays of the binary formats:
    // false, and nothing read, unless all count of them are there in memory
    // (the caller then reads them one by one, which reports a short file).
    bool ReadFloats(float* out, size_t count) { return ReadArray(out, count, 4); }
    bool ReadShorts(uint16_t* out, size_t count) { return ReadArray(out, count, 2); }
    int16_t ReadShortLogged();  // logs "ReadByte returned %i" on a short read
    bool ReadBool();
    char* ReadBytes(int count);  // new[]'d block or null
    char* ReadString();          // NUL-terminated text, at most 255 bytes read

    // Binary writes; false when the stream refused the bytes.
    bool WriteByte(uint8_t value);
    bool WriteBool(bool value);
    bool WriteShort(int16_t value);
    bool WriteInt(int32_t value);
    bool WriteFloat(float value);
    bool WriteString(const char* text);  // its bytes and one 0 byte

    // Process-wide state, exposed for diagnostics and tests.
    static int OpenCount();
    static int TokenCapacity();
    static int SymbolCapacity();
    static int LineCapacity();

private:
    static uint32_t Le32(const unsigned char* b) {
        return b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
    }
    bool ReadArray(void* out, size_t count, size_t width);
    bool OpenMode(const char* pathAsPassed, bool forWriting);
    void LoadBytes();
    void FreeBytes();
    // The byte source: the loaded bytes when reading, else the stream (a
    // write stream, on which reads fail as stdio makes them fail).
    bool HasSource() const { return inMemory_ || stream_; }
    size_t Pull(void* buffer, size_t count);  // bytes read, the position advanced by as many
    int GetByte();                            // -1 at the end
    int FirstAfterSeparators();               // -1, the end marked, when none
    bool ReadRaw(void* buffer, int count);
    float ReadFloatSlow();
    int32_t ReadIntSlow();
    uint8_t ReadByteSlow();
    int16_t ReadShortSlow();

    int open_ = 0;
    int atEnd_ = 0;
    int writing_ = 0;
    FILE* stream_ = nullptr;
    char* path_ = nullptr;
    // The file's bytes while open for reading. pos_ may lie past size_ (a
    // seek, or the readjustment after a short float), as on a stream.
    unsigned char* bytes_ = nullptr;
    long size_ = 0;
    long pos_ = 0;
    bool inMemory_ = false;
};

#endif
