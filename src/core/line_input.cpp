// The line reader: one line into the line buffer, with backspace editing.
#include "core/line_input.h"

#include "core/print.h"
#include "platform/input_stream.h"

char lineBuffer[kLineBufferSize];
char* readCursor = lineBuffer;

bool ReadLine(InputStream* stream) {
  readCursor = lineBuffer;
  int stored = 0;
  for (;;) {
    int byte = ReadInputByte(stream);
    if (byte < 0 || byte == 0xFF) return false;
    if (byte == '\n') break;
    if (stored >= kLineBufferSize - 1) continue;  // the rest of a long line is dropped
    if (byte == '\b') {
      ConsolePrint(" ");
      if (stored > 0) {
        ConsolePrint("\b");
        lineBuffer[--stored] = ' ';
      }
      continue;
    }
    lineBuffer[stored++] = static_cast<char>(byte);
  }
  lineBuffer[stored] = 0;
  if (!IsStandardInput(stream)) ConsoleOutput("%s\n", lineBuffer);
  return true;
}
