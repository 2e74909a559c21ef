// The prompting discipline: parse, and while that fails, prompt and read again.
#include "language/prompting.h"

#include "core/line_input.h"
#include "core/print.h"

bool WithPrompts(const char* format, const char* text, InputStream* in, const std::function<bool()>& parse) {
  const int savedQuiet = quietMode;
  quietMode = 0;
  bool ok = parse();
  while (!ok) {
    // The end of the input counts as an empty answer, so nothing prompts forever.
    // The line reader leaves the old line's bytes behind then; they must not
    // be read again as the following arguments.
    if (!ReadPromptedLine(in, LineUse::Answer, format, text)) {
      CutLine();
      break;
    }
    if (lineBuffer[0] == 0) break;
    ok = parse();
  }
  quietMode = savedQuiet;
  return ok;
}
