// DataFile: the engine's one reader and writer of data files. Opens a path as
// passed, then under the base path; reads whitespace-separated tokens, quoted
// symbols, lines and little-endian binary values; a failed read yields 0 /
// false / null and sets AtEnd() instead of throwing. Text results are new[]'d
// and the caller delete[]s them.
#ifndef ZENDAR_UTILITY_DATAFILE_H
#define ZENDAR_UTILITY_DATAFILE_H

#include <cstdint>
#include <cstdio>

class String;

class DataFile {
public:
    DataFile() = default;
    ~DataFile();
    DataFile(const DataFile&) = delete;
    DataFile& operator=(const DataFile&) = delete;

    // Reading, binary mode. Returns IsOpen().
    bool Open(const char* path);
    bool Open(const String& path);
    // writing = true opens in binary write mode (same two tries).
    bool Open(const char* path, bool writing);
    void Close();

    bool IsOpen() const { return open != 0; }
    bool AtEnd() const { return at_end != 0; }
    bool IsWriting() const { return writing != 0; }
    const char* Path() const { return path; }

    long Size();             // file length; the read position is kept
    bool Seek(long offset);  // absolute
    long Tell();

    // Text reads.
    char* ReadToken();
    char* ReadSymbol();
    char* ReadLine();

    // Binary reads, little-endian.
    float ReadFloat();
    int32_t ReadInt();
    char ReadChar();
    char ReadNonBlankChar();
    uint8_t ReadByte();
    int16_t ReadShort();        // silent
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
    bool OpenMode(const char* path_as_passed, bool for_writing);
    int GetByte();  // -1 at the end
    bool ReadRaw(void* buffer, int count);

    int open = 0;
    int at_end = 0;
    int writing = 0;
    FILE* stream = nullptr;
    char* path = nullptr;
};

#endif
