// The strict reader of numbers, strings, byte counts, names and file names.
#include "core/line_input.h"
#include "core/messages.h"
#include "core/print.h"
#include "language/token_reader.h"
#include "language/value_parsers.h"
#include "platform/input_stream.h"

bool ReadValue(const char* prompt, ValueKind kind, InputStream* in, int32_t& value) {
  const int savedQuiet = quietMode;
  quietMode = 0;
  bool ok = false;
  for (;;) {
    char* start = readCursor;
    Token t{kind == ValueKind::Name ? TOK_RAW_WORD : TOK_NONE, 0};
    if (ReadToken(t) && ((kind == ValueKind::Number && t.kind == TOK_NUMBER) ||
                         (kind == ValueKind::String && t.kind == TOK_STRING) ||
                         (kind == ValueKind::Name && t.kind == TOK_RAW_WORD))) {
      value = t.value;
      ok = true;
      break;
    }
    readCursor = start;
    if (!IsStandardInput(in)) {
      ConsolePrint("    %s\n", kMessages[MSG_COMMAND_FILE_ERROR]);
      break;
    }
    if (!ReadPromptedLine(in, LineUse::Answer, "    %s: ", prompt) || lineBuffer[0] == 0) break;
  }
  quietMode = savedQuiet;
  return ok;
}
