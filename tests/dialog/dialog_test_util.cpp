#include "dialog_test_util.h"

namespace dlgtest {

std::string WriteDialogFile(const std::string& leaf, const std::vector<unsigned char>& bytes) {
    std::string name = TempPath(leaf);
    FILE* f = std::fopen((name + ".dlg").c_str(), "wb");
    EXPECT_NE(f, nullptr);
    if (f) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    return name;
}

std::vector<unsigned char> Compile(const std::string& source) {
    std::vector<unsigned char> bytes;
    DialogCompileError error;
    bool ok = CompileDialogSource(source, &bytes, &error);
    EXPECT_TRUE(ok) << error.line << ":" << error.column << ": " << error.message;
    return bytes;
}

std::string CompileToFile(const std::string& leaf, const std::string& source) {
    return WriteDialogFile(leaf, Compile(source));
}

}  // namespace dlgtest
