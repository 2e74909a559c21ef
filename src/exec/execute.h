// Turns one parsed command into exactly one driver call or own action.
#pragma once
#include <cstdint>

#include "language/parsed_command.h"

// True when the command was carried out; false when it was refused (after
// its message). newHandle receives the handle from ibfind and ibdev.
bool Execute(ParsedCommand& command, int32_t& newHandle);

// True when the command may run: something is selected with a handle of 0
// or more, raw mode is on, or the command needs no handle. Prints the
// "Use IBFIND or IBDEV" message otherwise.
bool OpenCheck(const ParsedCommand& command);

// The handle a command's driver call gets: the typed device code in raw
// mode, else the current selection's handle.
int32_t CallHandle(const ParsedCommand& command);

// The board number ibbna passes for a name: gpibN gives N (0 to 100), else -1.
int32_t BoardNumberFromName(const char* name);
