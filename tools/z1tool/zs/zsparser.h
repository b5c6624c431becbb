// The script language's parser: tokens into a syntax tree. A mistake is
// reported and the parser skips to the next statement or declaration, so
// one run finds as many mistakes as it can.
#ifndef ZENDAR_TOOLS_Z1TOOL_ZS_ZSPARSER_H
#define ZENDAR_TOOLS_Z1TOOL_ZS_ZSPARSER_H

#include <vector>

#include "zsast.h"

// Expressions and statements nest at most this deep; deeper ones are
// reported, which keeps every pass over the tree within a small stack.
const int kZsMaxNesting = 200;

Unit ParseZs(const std::vector<Token>& tokens, Diagnostics& diag);

#endif
