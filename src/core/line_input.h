// The line buffer, the read cursor and the line reader.
#pragma once

struct InputStream;  // platform/input_stream.h

constexpr int kLineBufferSize = 4096;
// The current input line, zero-terminated; at most 4095 characters.
extern char lineBuffer[kLineBufferSize];
// Next unread character of lineBuffer; advanced by the token reader.
extern char* readCursor;
// True when the last prompted line was abandoned with Ctrl-C at the
// terminal; written by ReadPromptedLine.
extern bool lineInterrupted;

// Reads one line from the stream into lineBuffer and resets the cursor.
// Returns false at the end of input (or a byte 0xFF); a partial line is dropped.
// Lines from a command file are echoed through ConsoleOutput.
bool ReadLine(InputStream* stream);

// What a prompted line is for: command lines go into the history.
enum class LineUse { Command, Answer, Page };
// Prints the prompt (printf format) and reads a line as ReadLine does. When
// the line editor reads standard input, it shows the prompt instead, after
// any line ends the prompt starts with; Ctrl-C there gives an empty line.
bool ReadPromptedLine(InputStream* stream, LineUse use, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
