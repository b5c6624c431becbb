// Positions and the diagnostics list the compiler's stages share.
#ifndef ZENDAR_TOOLS_Z1TOOL_ZS_ZSDIAG_H
#define ZENDAR_TOOLS_Z1TOOL_ZS_ZSDIAG_H

#include <string>
#include <vector>

#include "zs.h"

struct ZsPos {
    int line = 1;
    int column = 1;
};

class Diagnostics {
public:
    // After this many errors the rest are not worth reading.
    static const int kMaxErrors = 50;

    void Error(ZsPos at, const std::string& message) { Add(at, false, message); }
    void Warning(ZsPos at, const std::string& message) { Add(at, true, message); }
    int Errors() const { return errors_; }
    bool Full() const { return errors_ >= kMaxErrors; }
    // In source order; errors and warnings at one place keep their order.
    std::vector<ZsDiagnostic> Sorted() const;

private:
    void Add(ZsPos at, bool warning, const std::string& message);
    std::vector<ZsDiagnostic> list_;
    int errors_ = 0;
};

#endif
