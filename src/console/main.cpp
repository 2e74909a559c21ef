// vorel: start-up, banner, command line options, then the console loop.
#include <cstring>
#include <string>

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
#include "driver/entry_stubs.h"
#include "driver/library_loader.h"
#include "help/help.h"
#include "platform/input_stream.h"
#include "platform/installation.h"
#include "platform/interrupt.h"
#include "platform/line_editor.h"
#include "platform/process.h"
#include "platform/user_locale.h"

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

// The driver line of the banner: the library the first call loads and, for
// libvexon, the bus it drives.
std::string DriverLine() {
  const DriverDescription d = DescribeDriver();
  std::string line = kMessages[MSG_BANNER_NOTICE2];
  if (!d.found) return line + "none usable (" + d.file + "): every driver call fails with EDVR";
  line += d.file;
  if (!d.version.empty()) line += " (vexon " + d.version + ")";
  if (d.knowsBus) line += d.busFile.empty() ? ", the built-in simulated bus" : ", bus file " + d.busFile;
  return line;
}

void PrintBanner() {
  const std::string driver = DriverLine();
  const char* const first[] = {"", kMessages[MSG_BANNER_NAME], kMessages[MSG_BANNER_NOTICE1], nullptr};
  const char* const second[] = {driver.c_str(), "", kMessages[MSG_BANNER_HELP], "", nullptr};
  PageLines(first);
  PageLines(second);
}

void PrintUsage() {
  char install[kHelpPathSize] = "";
  char help[kHelpPathSize] = "";
  if (!InstallationPath(install, sizeof install) || !BuildHelpPath(help, install, UserLanguageIsJapanese(), nullptr))
    std::strcpy(help, "not found");
  ConsolePrint(
      "usage: vorel [-e] [-c COMMAND]...\n"
      "An interactive console for GPIB (IEEE 488) instruments: type driver calls\n"
      "(ibfind, ibwrt, ibrd, ...) one per line; commands also come from a pipe.\n"
      "\n"
      "  -c COMMAND   run COMMAND before the first prompt (may be given again)\n"
      "  -e           expert mode on\n"
      "  --help       show this text and exit\n"
      "  --version    show the versions of vorel and of its driver and exit\n"
      "Letters combine: -ec COMMAND is -e -c COMMAND.\n"
      "\n"
      "%s\n"
      "  The bus comes from VOREL_BUS, ~/.config/vorel/bus.yaml, /etc/vorel/bus.yaml\n"
      "  or the built-in bus; vorel-bus shows it. LD_LIBRARY_PATH puts another\n"
      "  driver library first.\n"
      "Help: type help, or help COMMAND, at the prompt; the help file is\n"
      "  %s\n",
      DriverLine().c_str(), help);
}

void PrintVersion() {
  const DriverDescription d = DescribeDriver();
  ConsolePrint("%s\n", kMessages[MSG_BANNER_NOTICE1]);
  if (!d.found)
    ConsolePrint("driver: none usable (%s)\n", d.file.c_str());
  else if (d.version.empty())
    ConsolePrint("driver: %s (version unknown)\n", d.file.c_str());
  else
    ConsolePrint("driver: vexon %s (%s)\n", d.version.c_str(), d.file.c_str());
}

// --help and --version, as whole words before the letters are read: the
// text goes to standard output and vorel ends.
void ReadWordOptions(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0) {
      PrintUsage();
      EndProcess(0);
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      PrintVersion();
      EndProcess(0);
    }
  }
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
  ReadWordOptions(argc, argv);
  InitConsoleOutput();
  SetConsoleTitle(kMessages[MSG_TITLE]);
  PrintBanner();
  StartLineEditor(CompleteLine);
  StartInterruptWatch(StopRunningDriverCall);
  ReadOptions(argc, argv);
  CommandLoop(StandardInput());
  return 0;
}
