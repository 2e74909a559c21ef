// Runs one parsed command from the open check to the release of its memory.
#pragma once
#include "language/parsed_command.h"

// Works on a copy, so the caller's record can run again unchanged.
void RunCycle(const ParsedCommand& command);
