// vorel: start-up, banner, command line options, then the console loop.
#include <cstring>

#include "console/command_loop.h"
#include "console/line_cycle.h"
#include "core/line_input.h"
#include "core/messages.h"
#include "core/print.h"
#include "core/mode_flags.h"
#include "language/argument_grammar.h"
#include "language/completion.h"
#include "language/token_reader.h"
#include "platform/console.h"
#include "platform/input_stream.h"
#include "platform/line_editor.h"

namespace {

// The -c commands share one record and token buffer of their own.
ParsedCommand oneShotCommand;
char oneShotTokens[kLevelTokenStorage];

void RunOneShot(const char* text) {
  std::strncpy(lineBuffer, text, kLineBufferSize - 1);
  lineBuffer[kLineBufferSize - 1] = 0;
  readCursor = lineBuffer;
  tokenBuffer = tokenPosition = oneShotTokens;
  if (ParseCommand(oneShotCommand, StandardInput())) RunCycle(oneShotCommand);
}

void PrintBanner() {
  const char* const first[] = {"", kMessages[MSG_BANNER_NAME], kMessages[MSG_BANNER_NOTICE1], nullptr};
  const char* const second[] = {kMessages[MSG_BANNER_NOTICE2], "", kMessages[MSG_BANNER_HELP], "", nullptr};
  PageLines(first);
  PageLines(second);
}

void ReadOptions(int argc, char** argv) {
  for (int i = 1; i < argc && (argv[i][0] == '-' || argv[i][0] == '/'); ++i) {
    const char* letters = argv[i] + 1;
    for (const char* p = letters; *p; ++p) {
      if (*p == 'c') {
        if (i + 1 < argc) RunOneShot(argv[++i]);
      } else if (*p == 'e') {
        expertMode = 1;
      } else {
        ConsolePrint("vorel:  illegal option %c\n", *p);
      }
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  InitConsoleOutput();
  SetConsoleTitle(kMessages[MSG_TITLE]);
  PrintBanner();
  StartLineEditor(CompleteLine);
  ReadOptions(argc, argv);
  CommandLoop(StandardInput());
  return 0;
}
