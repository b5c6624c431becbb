// The script language's code generator: a checked tree into the records of a
// compiled script file, in the instruction sequences the machine fuses
// (z1script/scriptdecoded.h), with a line map beside them.
#ifndef ZENDAR_TOOLS_Z1TOOL_ZS_ZSGEN_H
#define ZENDAR_TOOLS_Z1TOOL_ZS_ZSGEN_H

#include "zsast.h"

// Fills out->records, out->lines and out->codeSize. Limits of the file
// format (constants, jump labels and locals per record, the code segment)
// are reported as errors.
void GenerateZs(const Unit& unit, Diagnostics& diag, ZsOutput* out);

#endif
