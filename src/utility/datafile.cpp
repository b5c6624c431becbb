#include "utility/datafile.h"

#include <cstring>
#include <string>

#include "utility/basepath.h"
#include "utility/fileio.h"
#include "utility/log.h"
#include "utility/zstring.h"

namespace {

int g_open_files = 0;
// Starting capacities of the text readers; a text that outgrows one doubles
// it for every later read of that kind.
int g_token_capacity = 20;
int g_symbol_capacity = 20;
int g_line_capacity = 20;

bool IsSeparator(int c) { return c == 10 || c == 13 || c == 32 || c == 9; }

// A text buffer that grows by doubling the shared capacity of its reader kind.
class TextBuffer {
public:
    explicit TextBuffer(int* capacity) : capacity_(capacity), data_(new char[*capacity]) {}
    ~TextBuffer() { delete[] data_; }
    void Push(char c) {
        if (length_ + 1 >= *capacity_) {
            *capacity_ *= 2;
            char* grown = new char[*capacity_];
            std::memcpy(grown, data_, length_);
            delete[] data_;
            data_ = grown;
        }
        data_[length_++] = c;
    }
    char* Release() {
        char* out = new char[length_ + 1];
        std::memcpy(out, data_, length_);
        out[length_] = '\0';
        return out;
    }

private:
    int* capacity_;
    char* data_;
    int length_ = 0;
};

char* CopyText(const char* s) {
    size_t n = std::strlen(s);
    char* c = new char[n + 1];
    std::memcpy(c, s, n + 1);
    return c;
}

}  // namespace

DataFile::~DataFile() {
    Close();
    delete[] path;
    path = nullptr;
}

bool DataFile::Open(const char* file_path) { return OpenMode(file_path, false); }

bool DataFile::Open(const String& file_path) { return OpenMode(file_path.c_str(), false); }

bool DataFile::Open(const char* file_path, bool for_writing) { return OpenMode(file_path, for_writing); }

bool DataFile::OpenMode(const char* path_as_passed, bool for_writing) {
    Close();
    delete[] path;
    path = nullptr;
    if (!path_as_passed) return false;
    path = CopyText(path_as_passed);
    const char* mode = for_writing ? "wb" : "rb";
    stream = OpenFile(path, mode);
    if (!stream) {
        std::string under_base = std::string(GetBasePath()) + path;
        stream = OpenFile(under_base.c_str(), mode);
    }
    if (!stream) return false;
    open = 1;
    at_end = 0;
    writing = for_writing ? 1 : 0;
    ++g_open_files;
    return true;
}

void DataFile::Close() {
    if (stream) {
        --g_open_files;
        std::fclose(stream);
        stream = nullptr;
    }
    open = 0;
}

long DataFile::Size() {
    if (!stream) return 0;
    long here = std::ftell(stream);
    if (std::fseek(stream, 0, SEEK_END) != 0) return 0;
    long size = std::ftell(stream);
    std::fseek(stream, here, SEEK_SET);
    return size < 0 ? 0 : size;
}

bool DataFile::Seek(long offset) {
    if (!stream || offset < 0) return false;
    return std::fseek(stream, offset, SEEK_SET) == 0;
}

long DataFile::Tell() { return stream ? std::ftell(stream) : 0; }

int DataFile::GetByte() {
    if (!stream) return -1;
    int c = std::fgetc(stream);
    return c == EOF ? -1 : c;
}

bool DataFile::ReadRaw(void* buffer, int count) {
    if (!stream) {
        std::memset(buffer, 0, count);
        at_end = 1;
        return false;
    }
    size_t n = std::fread(buffer, 1, count, stream);
    if (n != static_cast<size_t>(count)) {
        std::memset(buffer, 0, count);
        at_end = 1;
        return false;
    }
    return true;
}

char* DataFile::ReadToken() {
    int c;
    do c = GetByte();
    while (c >= 0 && IsSeparator(c));
    if (c < 0) {
        at_end = 1;
        return nullptr;
    }
    TextBuffer text(&g_token_capacity);
    while (c >= 0 && !IsSeparator(c)) {
        text.Push(static_cast<char>(c));
        c = GetByte();
    }
    return text.Release();
}

char* DataFile::ReadSymbol() {
    int c;
    do c = GetByte();
    while (c >= 0 && IsSeparator(c));
    if (c < 0) {
        at_end = 1;
        return nullptr;
    }
    TextBuffer text(&g_symbol_capacity);
    if (c == '"') {
        for (c = GetByte(); c >= 0 && c != '"' && c != 10 && c != 13; c = GetByte())
            text.Push(static_cast<char>(c));
        return text.Release();
    }
    text.Push(static_cast<char>(c));
    for (c = GetByte(); c >= 0 && !IsSeparator(c); c = GetByte()) {
        if (c == '(' || c == ')' || c == ',') {
            // The delimiter starts the next symbol.
            std::fseek(stream, -1, SEEK_CUR);
            break;
        }
        text.Push(static_cast<char>(c));
    }
    return text.Release();
}

char* DataFile::ReadLine() {
    int c;
    do c = GetByte();
    while (c >= 0 && (IsSeparator(c) || c == '"'));
    if (c < 0) {
        LogLine("Failed read - probably end of file");
        at_end = 1;
        return nullptr;
    }
    TextBuffer text(&g_line_capacity);
    while (c >= 0 && c != 10 && c != 13 && c != '"') {
        text.Push(static_cast<char>(c));
        c = GetByte();
    }
    return text.Release();
}

float DataFile::ReadFloat() {
    unsigned char b[4];
    float value = 0.0f;
    size_t got = stream ? std::fread(b, 1, 4, stream) : 0;
    if (got == 4) {
        // A full read always advances the stream by exactly four bytes, so the
        // position check below is only needed after a short one (and asking
        // for the position on every float costs a system call each).
        uint32_t bits = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
        std::memcpy(&value, &bits, 4);
        return value;
    }
    at_end = 1;
    long before = stream ? Tell() - static_cast<long>(got) : 0;
    LogLine("ERROR reading float at pos %i, readjusting. Return value is : %f", static_cast<int>(before),
            static_cast<double>(value));
    LogLine("size of symbol : %i", 4);
    if (stream) std::fseek(stream, before + 4, SEEK_SET);
    return value;
}

int32_t DataFile::ReadInt() {
    unsigned char b[4];
    if (!ReadRaw(b, 4)) return 0;
    return static_cast<int32_t>(b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24));
}

char DataFile::ReadChar() {
    if (!stream) {
        at_end = 1;
        LogLine("ReadChar returned %i", 0);
        return 0;
    }
    char c = 0;
    size_t n = std::fread(&c, 1, 1, stream);
    if (n != 1) {
        LogLine("ReadChar returned %i", static_cast<int>(n));
        at_end = 1;
        return 0;
    }
    return c;
}

char DataFile::ReadNonBlankChar() {
    char c;
    do c = ReadChar();
    while (c == ' ');
    return c;
}

uint8_t DataFile::ReadByte() {
    uint8_t b = 0;
    ReadRaw(&b, 1);
    return b;
}

int16_t DataFile::ReadShort() {
    unsigned char b[2];
    if (!ReadRaw(b, 2)) return 0;
    return static_cast<int16_t>(b[0] | (b[1] << 8));
}

int16_t DataFile::ReadShortLogged() {
    unsigned char b[2] = {0, 0};
    size_t n = stream ? std::fread(b, 1, 2, stream) : 0;
    if (n != 2) {
        LogLine("ReadByte returned %i", static_cast<int>(n));
        at_end = 1;
        return 0;
    }
    return static_cast<int16_t>(b[0] | (b[1] << 8));
}

bool DataFile::ReadBool() {
    unsigned char b = 0;
    size_t n = stream ? std::fread(&b, 1, 1, stream) : 0;
    if (n != 1) {
        LogLine("ReadByte returned %i", static_cast<int>(n));
        at_end = 1;
        return false;
    }
    return b != 0;
}

char* DataFile::ReadBytes(int count) {
    if (count < 0 || !stream) {
        at_end = 1;
        return nullptr;
    }
    // A count from a damaged file must not allocate more than the file holds.
    long here = Tell();
    long size = Size();
    if (here < 0 || static_cast<long>(count) > size - here) {
        std::fseek(stream, 0, SEEK_END);
        at_end = 1;
        return nullptr;
    }
    char* block = new char[count > 0 ? count : 1];
    for (int i = 0; i < count; ++i) {
        int c = GetByte();
        if (c < 0) {
            delete[] block;
            at_end = 1;
            return nullptr;
        }
        block[i] = static_cast<char>(c);
    }
    return block;
}

char* DataFile::ReadString() {
    char buffer[256];
    int n = 0;
    while (n < 255) {
        int c = GetByte();
        if (c < 0) {
            at_end = 1;
            break;
        }
        buffer[n++] = static_cast<char>(c);
        if (c == 0) break;
    }
    // 255 bytes without a terminator: the text is cut there and terminated.
    buffer[n] = '\0';
    return CopyText(buffer);
}

bool DataFile::WriteByte(uint8_t value) { return stream && std::fwrite(&value, 1, 1, stream) == 1; }

bool DataFile::WriteBool(bool value) { return WriteByte(value ? 1 : 0); }

bool DataFile::WriteShort(int16_t value) {
    uint16_t v = static_cast<uint16_t>(value);
    unsigned char b[2] = {static_cast<unsigned char>(v & 0xff), static_cast<unsigned char>(v >> 8)};
    return stream && std::fwrite(b, 1, 2, stream) == 2;
}

bool DataFile::WriteInt(int32_t value) {
    uint32_t v = static_cast<uint32_t>(value);
    unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                          static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
    return stream && std::fwrite(b, 1, 4, stream) == 4;
}

bool DataFile::WriteFloat(float value) {
    int32_t bits;
    std::memcpy(&bits, &value, 4);
    return WriteInt(bits);
}

bool DataFile::WriteString(const char* text) {
    if (!stream) return false;
    if (!text) text = "";
    size_t n = std::strlen(text) + 1;
    return std::fwrite(text, 1, n, stream) == n;
}

int DataFile::OpenCount() { return g_open_files; }
int DataFile::TokenCapacity() { return g_token_capacity; }
int DataFile::SymbolCapacity() { return g_symbol_capacity; }
int DataFile::LineCapacity() { return g_line_capacity; }
