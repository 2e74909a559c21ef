// The line buffer, the read cursor and the line reader.
#pragma once

struct InputStream;  // platform/input_stream.h

constexpr int kLineBufferSize = 4096;
// The current input line, zero-terminated; at most 4095 characters.
extern char lineBuffer[kLineBufferSize];
// Next unread character of lineBuffer; advanced by the token reader.
extern char* readCursor;

// Reads one line from the stream into lineBuffer and resets the cursor.
// Returns false at the end of input (or a byte 0xFF); a partial line is dropped.
// Lines from a command file are echoed through ConsoleOutput.
bool ReadLine(InputStream* stream);
