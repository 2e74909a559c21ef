// The command loop, the repeat prefix, command files and paged lists.
#pragma once

struct InputStream;

// Reads an optional "N *" prefix; 1 when there is none, 0 to drop the line.
int ReadRepeatCount();
// Prompts, reads, parses and runs lines until the stream ends.
void CommandLoop(InputStream* stream);
// Runs a command file in a nested loop and restores the selection after it.
void RunCommandFile(const char* path);
// Prints a null-ended list of lines, 23 to a page.
void PageLines(const char* const* lines);

// How deep command files may nest before a file is refused.
constexpr int kMaxFileNesting = 16;
