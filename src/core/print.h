// The print routines every part uses.
#pragma once

// Quiet mode: while non-zero, ConsoleOutput prints nothing. Written by the
// argument parser ("-" and "+" lines, the prompting readers) and command files.
extern int quietMode;

// Always prints to standard output.
void ConsolePrint(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Prints only while quiet mode is off.
void ConsoleOutput(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Cuts the line at the read cursor, then prints message `index` and a newline.
void PrintMessage(int index);
// Cuts the line at the read cursor, then prints text and a newline.
void PrintCut(const char* text);
// Writes a zero byte at the read cursor so nothing more of the line is read.
void CutLine();
