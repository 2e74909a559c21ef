// The report printed after each command that Execute carried out.
#pragma once
#include <cstdint>

#include "language/parsed_command.h"

// Prints the sections that `flags` asks for, from the status copies and the
// command's buffers. Reads only within the buffers the line cycle sized for it.
void StatusReport(uint32_t flags, const ParsedCommand& command);

// The status line for a status word, as "[c100]   ( err timo cmpl )\n".
// Writes at most size bytes including the zero; returns the length.
int FormatStatusLine(int32_t status, char* out, int size);
// The mnemonic of an iberr code, or null when it has none.
const char* ErrorName(int32_t code);
// How many 16-bit entries the line cycle allocates in resultList for the command.
uint32_t ResultListCapacity(const ParsedCommand& command);
