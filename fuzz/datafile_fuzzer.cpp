// The data-file reader every text and binary loader stands on. The first
// bytes choose a sequence of reads (tokens, quoted symbols, lines, binary
// values, blocks, seeks); the rest is the file.
#include <cstddef>
#include <cstdint>

#include "fuzz_common.h"
#include "utility/datafile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Setup();
    fuzz::Input in{data, size};
    uint8_t ops[16];
    for (uint8_t& op : ops) op = in.Byte();
    fuzz::WriteFile("data.txt", in.data, in.size);
    DataFile file;
    if (!file.Open("data.txt")) return 0;
    long fileSize = file.Size();
    for (int round = 0; round < 4 && !file.AtEnd(); ++round) {
        for (uint8_t op : ops) {
            switch (op % 16) {
            case 0: delete[] file.ReadToken(); break;
            case 1: delete[] file.ReadSymbol(); break;
            case 2: delete[] file.ReadLine(); break;
            case 3: file.ReadFloat(); break;
            case 4: file.ReadInt(); break;
            case 5: file.ReadChar(); break;
            case 6: file.ReadNonBlankChar(); break;
            case 7: file.ReadByte(); break;
            case 8: file.ReadShort(); break;
            case 9: file.ReadShortLogged(); break;
            case 10: file.ReadBool(); break;
            case 11: delete[] file.ReadBytes(op >> 4); break;
            case 12: delete[] file.ReadString(); break;
            case 13: file.Seek(fileSize ? (op >> 4) % (fileSize + 1) : 0); break;
            case 14: file.Tell(); break;
            default: file.Size(); break;
            }
        }
    }
    file.Close();
    return 0;
}
