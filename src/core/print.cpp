// The print routines: always, unless quiet, and the cut-and-print of messages.
#include "core/print.h"

#include <cstdarg>
#include <cstdio>

#include "core/line_input.h"
#include "core/messages.h"

int quietMode = 0;

void ConsolePrint(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
}

void ConsoleOutput(const char* format, ...) {
  if (quietMode) return;
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
}

void CutLine() {
  if (readCursor >= lineBuffer && readCursor < lineBuffer + kLineBufferSize) *readCursor = 0;
}

void PrintCut(const char* text) {
  CutLine();
  ConsolePrint("%s\n", text ? text : "");
}

void PrintMessage(int index) {
  PrintCut(index >= 0 && index < MSG_COUNT ? kMessages[index] : nullptr);
}
