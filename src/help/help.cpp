// The help command: the expert command list, and the help file's topics.
#include "help/help.h"

#include <strings.h>

#include "console/print.h"
#include "platform/console.h"

namespace {
const char* const kExpertHelp[] = {
    "\nTurn expert mode on/off by typing \"expert\".",
    "\nCommands available in expert mode:",
    "\n       raw on/off   - in raw mode, user enters GPIB handle value.",
    nullptr,  // the slopcheck line, printed with the number of slop bytes
    "\n",
    "\n       ibrd(a)n  N  - read N bytes and confirm sequence",
    "\n       ibwrt(a)n N  - write N consecutive bytes",
    "\n       ibnotify M   - call ibnotify with a mask value of M.",
    "\n                      The callback does NOT rearm ibnotify.",
    "\n",
    "\n       FindAllLstn  - finds all listeners on the GPIB.",
    "\n",
    "\n       ibexpert     - call ibexpert.",
    "\n",
};
}  // namespace

void ShowHelp(const char* topic) {
  if (topic && strcasecmp(topic, "expert") == 0) {
    for (const char* line : kExpertHelp) {
      if (line)
        ConsoleOutput("%s", line);
      else
        ConsoleOutput("\n       slopcheck    - vorel prints out %d 'read-slop' bytes", 8);
    }
    return;
  }
  // The topic file is not installed yet.
  ShowErrorMessage("couldn't find help file 'vexon.chm'");
}
