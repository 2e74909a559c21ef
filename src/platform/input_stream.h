// Byte-wise input from standard input and from text files.
#pragma once

struct InputStream;

InputStream* StandardInput();
// Opens a text file for reading; null when it cannot be opened.
InputStream* OpenTextFile(const char* path);
void CloseTextFile(InputStream* stream);
// The next byte (0..255), or -1 at the end of input. Before standard input
// blocks for more bytes, standard output is flushed so prompts are seen.
int ReadInputByte(InputStream* stream);
bool IsStandardInput(const InputStream* stream);
