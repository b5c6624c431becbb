#include "utility/datafile.h"

// Being filled in; every read fails cleanly for now.
DataFile::~DataFile() { Close(); }
bool DataFile::Open(const char*) { at_end = 1; return false; }
bool DataFile::Open(const String&) { at_end = 1; return false; }
bool DataFile::Open(const char*, bool) { at_end = 1; return false; }
void DataFile::Close() {}
long DataFile::Size() { return 0; }
bool DataFile::Seek(long) { return false; }
long DataFile::Tell() { return 0; }
char* DataFile::ReadToken() { at_end = 1; return nullptr; }
char* DataFile::ReadSymbol() { at_end = 1; return nullptr; }
char* DataFile::ReadLine() { at_end = 1; return nullptr; }
float DataFile::ReadFloat() { at_end = 1; return 0; }
int32_t DataFile::ReadInt() { at_end = 1; return 0; }
char DataFile::ReadChar() { at_end = 1; return 0; }
char DataFile::ReadNonBlankChar() { at_end = 1; return 0; }
uint8_t DataFile::ReadByte() { at_end = 1; return 0; }
int16_t DataFile::ReadShort() { at_end = 1; return 0; }
int16_t DataFile::ReadShortLogged() { at_end = 1; return 0; }
bool DataFile::ReadBool() { at_end = 1; return false; }
char* DataFile::ReadBytes(int) { at_end = 1; return nullptr; }
char* DataFile::ReadString() { at_end = 1; return nullptr; }
bool DataFile::WriteByte(uint8_t) { return false; }
bool DataFile::WriteBool(bool) { return false; }
bool DataFile::WriteShort(int16_t) { return false; }
bool DataFile::WriteInt(int32_t) { return false; }
bool DataFile::WriteFloat(float) { return false; }
bool DataFile::WriteString(const char*) { return false; }
int DataFile::OpenCount() { return 0; }
int DataFile::TokenCapacity() { return 20; }
int DataFile::SymbolCapacity() { return 20; }
int DataFile::LineCapacity() { return 20; }
bool DataFile::OpenMode(const char*, bool) { return false; }
int DataFile::GetByte() { return -1; }
bool DataFile::ReadRaw(void*, int) { return false; }
