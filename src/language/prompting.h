// The prompting discipline the value readers share.
#pragma once
#include <functional>

struct InputStream;

// Runs parse on the rest of the line; while it fails, prints the prompt
// (format with one %s for text) and parses a fresh line from in. An empty
// answer, or the end of the input, fails. Quiet mode is off meanwhile.
bool WithPrompts(const char* format, const char* text, InputStream* in, const std::function<bool()>& parse);
