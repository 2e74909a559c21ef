// Turns one input line into a ParsedCommand, prompting for what is missing.
#pragma once
#include "language/parsed_command.h"

struct InputStream;

// Parses the line at the read cursor. True: run the command in `command`
// (which is written only when the whole line was accepted, and left as it
// was for "!"). False: run nothing.
bool ParseCommand(ParsedCommand& command, InputStream* input);
