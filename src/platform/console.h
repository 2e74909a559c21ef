// The console window: its title and the set-up of standard output.
#pragma once

// Shows title in the terminal's title bar when standard output is a terminal;
// control bytes are written as '?'. Does nothing for pipes and files.
void SetConsoleTitle(const char* title);
// Gives standard output a large buffer; input reads flush it before waiting.
void InitConsoleOutput();
// Writes text and a newline on standard error (after flushing standard output).
void ShowErrorMessage(const char* text);
