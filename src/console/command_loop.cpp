// The command loop: prompt, read, parse, run; and command files.
#include "console/command_loop.h"

#include <memory>

#include "console/line_cycle.h"
#include "core/line_input.h"
#include "core/messages.h"
#include "core/print.h"
#include "language/argument_grammar.h"
#include "language/token_reader.h"
#include "platform/input_stream.h"
#include "platform/interrupt.h"
#include "registry/handle_registry.h"

namespace {
// What each level of the loop owns: its last command and its token buffer.
struct LoopLevel {
  ParsedCommand command{};
  char tokens[kLevelTokenStorage]{};
};

int fileNesting = 0;
}  // namespace

int ReadRepeatCount() {
  char* start = readCursor;
  Token number{TOK_NONE, 0};
  if (!ReadToken(number) || number.kind != TOK_NUMBER) {
    readCursor = start;
    return 1;
  }
  char* afterNumber = readCursor;
  Token star{TOK_NONE, 0};
  if (ReadToken(star) && star.kind == TOK_STAR) return number.value < 0 ? 0 : number.value;
  readCursor = afterNumber;
  PrintMessage(MSG_STAR_EXPECTED);
  return 0;
}

void CommandLoop(InputStream* stream) {
  auto level = std::make_unique<LoopLevel>();
  for (;;) {
    if (!ReadPromptedLine(stream, LineUse::Command, "\n%s: ", CurrentName())) return;
    tokenBuffer = tokenPosition = level->tokens;
    int repeat = ReadRepeatCount();
    if (repeat == 0 || !ParseCommand(level->command, stream)) continue;
    for (int i = 0; i < repeat && !InterruptRequested(); ++i) RunCycle(level->command);
    // Ctrl-C stops a command file as it stops a command.
    if (InterruptRequested() && !IsStandardInput(stream)) return;
  }
}

void RunCommandFile(const char* path) {
  if (fileNesting >= kMaxFileNesting) {
    PrintMessage(MSG_NESTING_TOO_DEEP);
    return;
  }
  char* savedTokens = tokenBuffer;
  char* savedPosition = tokenPosition;
  if (const char* key = CurrentKey()) {
    savedName = key;
    savedValue = CurrentHandle();
  }
  // The file is closed and the nesting undone however its loop ends.
  std::unique_ptr<InputStream, void (*)(InputStream*)> file(OpenTextFile(path), CloseTextFile);
  if (!file) {
    PrintMessage(MSG_CANNOT_OPEN_FILE);
    return;
  }
  struct Nesting {
    Nesting() { ++fileNesting; }
    ~Nesting() { --fileNesting; }
  };
  const int savedQuiet = quietMode;
  {
    Nesting nested;
    CommandLoop(file.get());
  }
  tokenBuffer = savedTokens;
  tokenPosition = savedPosition;
  quietMode = savedQuiet;
  if (savedName == kBoardKey)
    SelectBoard(savedValue);
  else
    SelectByName(savedName.c_str());
}

void PageLines(const char* const* lines) {
  constexpr int kPage = 23;
  for (int shown = 0; lines && lines[shown]; ++shown) {
    if (shown > 0 && shown % kPage == 0) {
      if (!ReadPromptedLine(StandardInput(), LineUse::Page, "\n>>> ") || lineInterrupted || lineBuffer[0] == 'n' ||
          lineBuffer[0] == 'N')
        return;
    }
    ConsolePrint("%s\n", lines[shown]);
  }
}
