#include "z1script/scriptfile.h"

#include "utility/datafile.h"

const char* TriggerName(int type) {
    switch (type) {
    case kTriggerNever: return "trigger never";
    case kTriggerInit: return "init";
    case kTriggerClick: return "click";
    case kTriggerCollision: return "collision";
    case kTriggerPickup: return "pickup";
    default: return "unknown triggertype";
    }
}

namespace {

std::string ReadText(DataFile& file) {
    char* text = file.ReadString();
    std::string result = text ? text : "";
    delete[] text;
    return result;
}

}  // namespace

void ReadScriptRecordHeader(DataFile& file, ScriptRecord& r) {
    r.name = ReadText(file);
    if (r.type == kScriptFunctionRecord) {
        r.param_count = file.ReadByte();
        r.reserved_byte = file.ReadByte();
        r.frame_size = file.ReadByte();
        r.reserved_short = static_cast<uint16_t>(file.ReadShort());
    } else {
        r.local_count = file.ReadByte();
        r.reserved_short = static_cast<uint16_t>(file.ReadShort());
        r.synchronized = file.ReadByte();
        r.trigger = file.ReadByte();
    }
    r.constant_count = file.ReadByte();
    r.label_count = file.ReadByte();
    r.code_size = static_cast<uint32_t>(file.ReadInt());
}

void ReadScriptConstant(DataFile& file, ScriptConstantEntry& c) {
    c.type = file.ReadByte();
    switch (c.type) {
    case kScriptConstInt: c.integer = file.ReadInt(); break;
    case kScriptConstText: c.text = ReadText(file); break;
    case kScriptConstFloat: c.number = file.ReadFloat(); break;
    case kScriptConstVector:
        for (float& f : c.vector) f = file.ReadFloat();
        break;
    default: break;  // no payload; the slot stays unset
    }
}

void ReadScriptRecordBody(DataFile& file, ScriptRecord& r) {
    r.constants.assign(r.constant_count, ScriptConstantEntry());
    for (ScriptConstantEntry& c : r.constants) ReadScriptConstant(file, c);
    r.labels.assign(r.label_count, 0);
    for (int32_t& l : r.labels) l = file.ReadInt();
    r.code.assign(r.code_size, 0);
    for (uint8_t& b : r.code) {
        if (file.AtEnd()) break;
        b = file.ReadByte();
    }
}

bool WriteScriptFile(const char* path, const std::vector<ScriptRecord>& records, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    for (const ScriptRecord& r : records) {
        if (r.type != kScriptFunctionRecord && r.type != kScriptProgramRecord) continue;
        if (r.name.size() > kScriptMaxFileText || r.name.find('\0') != std::string::npos)
            return fail("name too long for the file format: " + r.name.substr(0, 40));
        if (r.constants.size() > 255) return fail("more than 255 constants in " + r.name);
        if (r.labels.size() > 255) return fail("more than 255 labels in " + r.name);
        for (const ScriptConstantEntry& c : r.constants)
            if (c.type == kScriptConstText &&
                (c.text.size() > kScriptMaxFileText || c.text.find('\0') != std::string::npos))
                return fail("text constant too long for the file format in " + r.name);
    }
    DataFile file;
    if (!file.Open(path, true)) return fail(std::string("cannot write ") + path);
    bool ok = true;
    for (const ScriptRecord& r : records) {
        ok &= file.WriteByte(r.type);
        if (r.type != kScriptFunctionRecord && r.type != kScriptProgramRecord) continue;
        ok &= file.WriteString(r.name.c_str());
        if (r.type == kScriptFunctionRecord) {
            ok &= file.WriteByte(r.param_count);
            ok &= file.WriteByte(r.reserved_byte);
            ok &= file.WriteByte(r.frame_size);
            ok &= file.WriteShort(static_cast<int16_t>(r.reserved_short));
        } else {
            ok &= file.WriteByte(r.local_count);
            ok &= file.WriteShort(static_cast<int16_t>(r.reserved_short));
            ok &= file.WriteByte(r.synchronized);
            ok &= file.WriteByte(r.trigger);
        }
        ok &= file.WriteByte(static_cast<uint8_t>(r.constants.size()));
        ok &= file.WriteByte(static_cast<uint8_t>(r.labels.size()));
        ok &= file.WriteInt(static_cast<int32_t>(r.code.size()));
        for (const ScriptConstantEntry& c : r.constants) {
            ok &= file.WriteByte(c.type);
            switch (c.type) {
            case kScriptConstInt: ok &= file.WriteInt(c.integer); break;
            case kScriptConstText: ok &= file.WriteString(c.text.c_str()); break;
            case kScriptConstFloat: ok &= file.WriteFloat(c.number); break;
            case kScriptConstVector:
                for (float f : c.vector) ok &= file.WriteFloat(f);
                break;
            default: break;
            }
        }
        for (int32_t l : r.labels) ok &= file.WriteInt(l);
        for (uint8_t b : r.code) ok &= file.WriteByte(b);
    }
    file.Close();
    if (!ok) return fail(std::string("error writing ") + path);
    return true;
}

bool ReadScriptFile(const char* path, std::vector<ScriptRecord>* records, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    DataFile file;
    if (!file.Open(path)) return fail(std::string("cannot open ") + path);
    records->clear();
    for (;;) {
        uint8_t type = file.ReadByte();
        if (file.AtEnd()) break;
        ScriptRecord r;
        r.type = type;
        if (type == kScriptFunctionRecord || type == kScriptProgramRecord) {
            ReadScriptRecordHeader(file, r);
            if (file.AtEnd()) return fail("truncated record header of '" + r.name + "'");
            if (r.code_size >= kScriptCodeSegmentSize)
                return fail("code of '" + r.name + "' does not fit the code segment");
            ReadScriptRecordBody(file, r);
            if (file.AtEnd()) return fail("truncated record '" + r.name + "'");
        }
        records->push_back(std::move(r));
    }
    return true;
}
