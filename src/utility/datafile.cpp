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

// The first n characters of s as a terminated text of its own.
char* CopyText(const char* s, size_t n) {
    char* c = new char[n + 1];
    if (n > 0) std::memcpy(c, s, n);
    c[n] = '\0';
    return c;
}

char* CopyText(const char* s) { return CopyText(s, std::strlen(s)); }

}  // namespace

DataFile::~DataFile() {
    Close();
    delete[] path_;
    path_ = nullptr;
}

bool DataFile::Open(const char* file_path) { return OpenMode(file_path, false); }

bool DataFile::Open(const String& file_path) { return OpenMode(file_path.c_str(), false); }

bool DataFile::Open(const char* file_path, bool forWriting) { return OpenMode(file_path, forWriting); }

bool DataFile::OpenMode(const char* pathAsPassed, bool forWriting) {
    Close();
    delete[] path_;
    path_ = nullptr;
    if (!pathAsPassed) return false;
    path_ = CopyText(pathAsPassed);
    const char* mode = forWriting ? "wb" : "rb";
    stream_ = OpenFile(path_, mode);
    if (!stream_) {
        std::string under_base = std::string(GetBasePath()) + path_;
        stream_ = OpenFile(under_base.c_str(), mode);
    }
    if (!stream_) return false;
    if (!forWriting) {
        LoadBytes();
        std::fclose(stream_);
        stream_ = nullptr;
    }
    open_ = 1;
    atEnd_ = 0;
    writing_ = forWriting ? 1 : 0;
    ++g_open_files;
    return true;
}

// The whole stream into memory: one read of the size the file reports, then
// more only if it turns out longer (a stream that cannot seek reports none,
// and a folder reports sizes it does not hold, hence the cap on the first
// guess). A read error keeps what came before it, as the stream would have.
void DataFile::LoadBytes() {
    FreeBytes();
    const long kFirstGuessCap = 64L << 20;
    long hint = 0;
    if (std::fseek(stream_, 0, SEEK_END) == 0) hint = std::ftell(stream_);
    std::rewind(stream_);
    if (hint > kFirstGuessCap) hint = kFirstGuessCap;
    size_t capacity = hint > 0 ? static_cast<size_t>(hint) + 1 : 4096;
    unsigned char* data = new unsigned char[capacity];
    size_t length = 0;
    for (;;) {
        length += std::fread(data + length, 1, capacity - length, stream_);
        if (length < capacity) break;
        unsigned char* grown = new unsigned char[capacity * 2];
        std::memcpy(grown, data, length);
        delete[] data;
        data = grown;
        capacity *= 2;
    }
    bytes_ = data;
    size_ = static_cast<long>(length);
    pos_ = 0;
    inMemory_ = true;
}

void DataFile::FreeBytes() {
    delete[] bytes_;
    bytes_ = nullptr;
    size_ = 0;
    pos_ = 0;
    inMemory_ = false;
}

void DataFile::Close() {
    if (stream_ || inMemory_) {
        --g_open_files;
        if (stream_) std::fclose(stream_);
        stream_ = nullptr;
        FreeBytes();
    }
    open_ = 0;
}

long DataFile::Size() {
    if (inMemory_) return size_;
    if (!stream_) return 0;
    long here = std::ftell(stream_);
    if (std::fseek(stream_, 0, SEEK_END) != 0) return 0;
    long size = std::ftell(stream_);
    std::fseek(stream_, here, SEEK_SET);
    return size < 0 ? 0 : size;
}

bool DataFile::Seek(long offset) {
    if (!HasSource() || offset < 0) return false;
    if (inMemory_) {
        pos_ = offset;
        return true;
    }
    return std::fseek(stream_, offset, SEEK_SET) == 0;
}

long DataFile::Tell() {
    if (inMemory_) return pos_;
    return stream_ ? std::ftell(stream_) : 0;
}

size_t DataFile::Pull(void* buffer, size_t count) {
    if (inMemory_) {
        long left = size_ - pos_;
        size_t n = left <= 0 ? 0 : static_cast<size_t>(left) < count ? static_cast<size_t>(left) : count;
        if (n > 0) std::memcpy(buffer, bytes_ + pos_, n);
        pos_ += static_cast<long>(n);
        return n;
    }
    return stream_ ? std::fread(buffer, 1, count, stream_) : 0;
}

bool DataFile::ReadArray(void* out, size_t count, size_t width) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    if (!inMemory_ || pos_ > size_ || count > static_cast<size_t>(size_ - pos_) / width) return false;
    // The file's order is the machine's: the bytes are the values.
    std::memcpy(out, bytes_ + pos_, count * width);
    pos_ += static_cast<long>(count * width);
    return true;
#else
    (void)out, (void)count, (void)width;
    return false;
#endif
}

int DataFile::GetByte() {
    if (inMemory_) return pos_ < size_ ? bytes_[pos_++] : -1;
    if (!stream_) return -1;
    int c = std::fgetc(stream_);
    return c == EOF ? -1 : c;
}

bool DataFile::ReadRaw(void* buffer, int count) {
    if (!HasSource()) {
        std::memset(buffer, 0, count);
        atEnd_ = 1;
        return false;
    }
    size_t n = Pull(buffer, count);
    if (n != static_cast<size_t>(count)) {
        std::memset(buffer, 0, count);
        atEnd_ = 1;
        return false;
    }
    return true;
}

int DataFile::FirstAfterSeparators() {
    int c;
    do c = GetByte();
    while (c >= 0 && IsSeparator(c));
    if (c < 0) atEnd_ = 1;
    return c;
}

char* DataFile::ReadToken() {
    int c = FirstAfterSeparators();
    if (c < 0) return nullptr;
    TextBuffer text(&g_token_capacity);
    while (c >= 0 && !IsSeparator(c)) {
        text.Push(static_cast<char>(c));
        c = GetByte();
    }
    return text.Release();
}

char* DataFile::ReadSymbol() {
    int c = FirstAfterSeparators();
    if (c < 0) return nullptr;
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
            if (inMemory_)
                --pos_;
            else
                std::fseek(stream_, -1, SEEK_CUR);
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
        atEnd_ = 1;
        return nullptr;
    }
    TextBuffer text(&g_line_capacity);
    while (c >= 0 && c != 10 && c != 13 && c != '"') {
        text.Push(static_cast<char>(c));
        c = GetByte();
    }
    return text.Release();
}

float DataFile::ReadFloatSlow() {
    unsigned char b[4];
    float value = 0.0f;
    size_t got = Pull(b, 4);
    if (got == 4) {
        uint32_t bits = Le32(b);
        std::memcpy(&value, &bits, 4);
        return value;
    }
    atEnd_ = 1;
    long before = HasSource() ? Tell() - static_cast<long>(got) : 0;
    LogLine("ERROR reading float at pos %i, readjusting. Return value is : %f", static_cast<int>(before),
            static_cast<double>(value));
    LogLine("size of symbol : %i", 4);
    if (HasSource()) Seek(before + 4);
    return value;
}

int32_t DataFile::ReadIntSlow() {
    unsigned char b[4];
    if (!ReadRaw(b, 4)) return 0;
    return static_cast<int32_t>(Le32(b));
}

char DataFile::ReadChar() {
    if (!HasSource()) {
        atEnd_ = 1;
        LogLine("ReadChar returned %i", 0);
        return 0;
    }
    char c = 0;
    size_t n = Pull(&c, 1);
    if (n != 1) {
        LogLine("ReadChar returned %i", static_cast<int>(n));
        atEnd_ = 1;
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

uint8_t DataFile::ReadByteSlow() {
    uint8_t b = 0;
    ReadRaw(&b, 1);
    return b;
}

int16_t DataFile::ReadShortSlow() {
    unsigned char b[2];
    if (!ReadRaw(b, 2)) return 0;
    return static_cast<int16_t>(b[0] | (b[1] << 8));
}

int16_t DataFile::ReadShortLogged() {
    unsigned char b[2] = {0, 0};
    size_t n = Pull(b, 2);
    if (n != 2) {
        LogLine("ReadByte returned %i", static_cast<int>(n));
        atEnd_ = 1;
        return 0;
    }
    return static_cast<int16_t>(b[0] | (b[1] << 8));
}

bool DataFile::ReadBool() {
    unsigned char b = 0;
    size_t n = Pull(&b, 1);
    if (n != 1) {
        LogLine("ReadByte returned %i", static_cast<int>(n));
        atEnd_ = 1;
        return false;
    }
    return b != 0;
}

char* DataFile::ReadBytes(int count) {
    if (count < 0 || !HasSource()) {
        atEnd_ = 1;
        return nullptr;
    }
    // A count from a damaged file must not allocate more than the file holds.
    long here = Tell();
    long size = Size();
    if (here < 0 || static_cast<long>(count) > size - here) {
        if (inMemory_)
            pos_ = size_;
        else
            std::fseek(stream_, 0, SEEK_END);
        atEnd_ = 1;
        return nullptr;
    }
    char* block = new char[count > 0 ? count : 1];
    if (inMemory_) {
        // The check above left every byte there.
        if (count > 0) std::memcpy(block, bytes_ + pos_, count);
        pos_ += count;
        return block;
    }
    for (int i = 0; i < count; ++i) {
        int c = GetByte();
        if (c < 0) {
            delete[] block;
            atEnd_ = 1;
            return nullptr;
        }
        block[i] = static_cast<char>(c);
    }
    return block;
}

char* DataFile::ReadString() {
    // From memory: the terminator found with one search, the text copied
    // once. The same cuts as the loop below.
    if (inMemory_) {
        const long left = pos_ < size_ ? size_ - pos_ : 0;
        const long window = left < 255 ? left : 255;
        const char* from = reinterpret_cast<const char*>(bytes_) + (pos_ < size_ ? pos_ : 0);
        const void* zero = window > 0 ? std::memchr(from, 0, static_cast<size_t>(window)) : nullptr;
        const long n = zero ? static_cast<const char*>(zero) - from : window;
        if (!zero && window < 255) atEnd_ = 1;
        pos_ += zero ? n + 1 : n;
        return CopyText(from, static_cast<size_t>(n));
    }
    char buffer[256];
    int n = 0;
    while (n < 255) {
        int c = GetByte();
        if (c < 0) {
            atEnd_ = 1;
            break;
        }
        buffer[n++] = static_cast<char>(c);
        if (c == 0) break;
    }
    // 255 bytes without a terminator: the text is cut there and terminated.
    buffer[n] = '\0';
    return CopyText(buffer);
}

bool DataFile::WriteByte(uint8_t value) { return stream_ && std::fwrite(&value, 1, 1, stream_) == 1; }

bool DataFile::WriteBool(bool value) { return WriteByte(value ? 1 : 0); }

bool DataFile::WriteShort(int16_t value) {
    uint16_t v = static_cast<uint16_t>(value);
    unsigned char b[2] = {static_cast<unsigned char>(v & 0xff), static_cast<unsigned char>(v >> 8)};
    return stream_ && std::fwrite(b, 1, 2, stream_) == 2;
}

bool DataFile::WriteInt(int32_t value) {
    uint32_t v = static_cast<uint32_t>(value);
    unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                          static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
    return stream_ && std::fwrite(b, 1, 4, stream_) == 4;
}

bool DataFile::WriteFloat(float value) {
    int32_t bits;
    std::memcpy(&bits, &value, 4);
    return WriteInt(bits);
}

bool DataFile::WriteString(const char* text) {
    if (!stream_) return false;
    if (!text) text = "";
    size_t n = std::strlen(text) + 1;
    return std::fwrite(text, 1, n, stream_) == n;
}

int DataFile::OpenCount() { return g_open_files; }
int DataFile::TokenCapacity() { return g_token_capacity; }
int DataFile::SymbolCapacity() { return g_symbol_capacity; }
int DataFile::LineCapacity() { return g_line_capacity; }
