// The line reader: one line into the line buffer, with backspace editing,
// from a stream or from the line editor at a terminal.
#include "core/line_input.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "core/print.h"
#include "platform/input_stream.h"
#include "platform/interrupt.h"
#include "platform/line_editor.h"

char lineBuffer[kLineBufferSize];
char* readCursor = lineBuffer;
bool lineInterrupted = false;

namespace {

// Gathers the bytes of one line into the line buffer.
class LineStore {
 public:
  LineStore() { readCursor = lineBuffer; }
  void Add(int byte) {
    if (stored_ >= kLineBufferSize - 1) return;  // the rest of a long line is dropped
    if (byte == '\b') {
      ConsolePrint(" ");
      if (stored_ > 0) {
        ConsolePrint("\b");
        lineBuffer[--stored_] = ' ';
      }
      return;
    }
    lineBuffer[stored_++] = static_cast<char>(byte);
  }
  void Finish() { lineBuffer[stored_] = 0; }

 private:
  int stored_ = 0;
};

std::string Format(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  const int size = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text(size > 0 ? static_cast<size_t>(size) : 0, '\0');
  if (size > 0) std::vsnprintf(text.data(), text.size() + 1, format, args);
  return text;
}

bool IsBlankLine(const char* text) {
  for (; *text; ++text)
    if (*text != ' ' && *text != '\t') return false;
  return true;
}

// The edited line goes through the same byte rules as a line on a pipe.
bool ReadEditedLine(LineUse use, const std::string& prompt) {
  readCursor = lineBuffer;
  const size_t lead = prompt.find_first_not_of('\n');
  if (lead == std::string::npos) {
    ConsolePrint("%s", prompt.c_str());
  } else if (lead > 0) {
    ConsolePrint("%s", prompt.substr(0, lead).c_str());
  }
  std::string text;
  const EditResult result = EditInputLine(lead == std::string::npos ? "" : prompt.c_str() + lead, use == LineUse::Command, text);
  if (result == EditResult::End) return false;
  lineInterrupted = result == EditResult::Interrupted;
  LineStore store;
  for (char c : text) {
    const int byte = static_cast<unsigned char>(c);
    if (byte == 0xFF) return false;
    store.Add(byte);
  }
  store.Finish();
  if (use == LineUse::Command && !IsBlankLine(lineBuffer)) RememberLine(lineBuffer);
  return true;
}

}  // namespace

bool ReadLine(InputStream* stream) {
  LineStore store;
  for (;;) {
    int byte = ReadInputByte(stream);
    if (byte < 0 || byte == 0xFF) return false;
    if (byte == '\n') break;
    store.Add(byte);
  }
  store.Finish();
  if (!IsStandardInput(stream)) ConsoleOutput("%s\n", lineBuffer);
  return true;
}

bool ReadPromptedLine(InputStream* stream, LineUse use, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string prompt = Format(format, args);
  va_end(args);
  lineInterrupted = false;
  if (!IsStandardInput(stream)) {
    ConsolePrint("%s", prompt.c_str());
    return ReadLine(stream);
  }
  // While vorel waits for the user, Ctrl-C is the editor's key, or ends vorel.
  SetCommandRunning(false);
  ClearInterrupt();
  bool read = false;
  if (LineEditorOn()) {
    read = ReadEditedLine(use, prompt);
  } else {
    ConsolePrint("%s", prompt.c_str());
    read = ReadLine(stream);
  }
  SetCommandRunning(true);
  return read;
}
