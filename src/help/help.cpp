// The help command: the expert command list, and the help file's pages and
// topics, shown by the terminal help viewer.
#include "help/help.h"

#include <strings.h>

#include <cstdio>

#include "core/print.h"
#include "help/help_file.h"
#include "help/help_viewer.h"
#include "platform/console.h"
#include "platform/installation.h"
#include "platform/user_locale.h"

namespace {

constexpr int kInstallPathSize = 256;
constexpr int kSlopBytes = 8;
// The message names the driver's help file, whichever file was tried.
constexpr const char kNoHelpFile[] = "couldn't find help file 'vexon.chm'";

struct KeywordRow {
  const char* topic;
  const char* keyword;
};

const KeywordRow kKeywords[] = {
    {"ibsta", "ibsta Status Bit Values"},
    {"iberr", "iberr Error Codes and Solutions"},
    {"ibcntl", "Checking Global Status After Each Vexon Call"},
    {"ibcnt", "Checking Global Status After Each Vexon Call"},
};

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

void PrintExpertHelp() {
  for (const char* line : kExpertHelp) {
    if (line)
      ConsoleOutput("%s", line);
    else
      ConsoleOutput("\n       slopcheck    - vorel prints out %d 'read-slop' bytes", kSlopBytes);
  }
}

}  // namespace

bool BuildHelpPath(char (&path)[kHelpPathSize], const char* installPath, bool japanese, const char* page) {
  const char* name = japanese ? "drovhelpjpn.chm" : "drovhelp.chm";
  int n = page ? std::snprintf(path, sizeof path, "%shelp/%s::/%s", installPath, name, page)
               : std::snprintf(path, sizeof path, "%shelp/%s", installPath, name);
  // A cut path would name some other file: refuse it instead.
  if (n < 0 || n >= kHelpPathSize) {
    path[0] = 0;
    return false;
  }
  return true;
}

std::vector<std::string> HelpTopics() {
  std::vector<std::string> topics = {"expert"};
  for (const KeywordRow& row : kKeywords) topics.push_back(row.topic);
  char installPath[kInstallPathSize];
  char path[kHelpPathSize];
  HelpFile help;
  if (!InstallationPath(installPath, sizeof installPath)) installPath[0] = 0;
  if (!BuildHelpPath(path, installPath, UserLanguageIsJapanese(), nullptr) || !ReadHelpFile(path, help)) return topics;
  for (const HelpTopic& topic : help.topics)
    for (const std::string& keyword : topic.keywords)
      if (!keyword.empty() && keyword.find(' ') == std::string::npos) topics.push_back(keyword);
  return topics;
}

const char* HelpKeyword(const char* topic) {
  for (const KeywordRow& row : kKeywords)
    if (strcasecmp(topic, row.topic) == 0) return row.keyword;
  return topic;
}

void ShowHelp(const char* topic) {
  // Without an installation path the file is looked for under help/ of the
  // current directory.
  char installPath[kInstallPathSize];
  if (!InstallationPath(installPath, sizeof installPath)) installPath[0] = 0;
  const bool japanese = UserLanguageIsJapanese();
  char path[kHelpPathSize];

  if (topic == nullptr || topic[0] == 0) {
    if (!BuildHelpPath(path, installPath, japanese, kHelpMainPage) || !DisplayHelpTopic(path))
      ShowErrorMessage(kNoHelpFile);
    return;
  }
  if (strcasecmp(topic, "expert") == 0) {
    PrintExpertHelp();
    return;
  }
  if (!BuildHelpPath(path, installPath, japanese, nullptr) || !DisplayHelpTopic(path))
    ShowErrorMessage(kNoHelpFile);
  // The lookup is made whether or not the file opened; its own failure is
  // not looked at.
  const KeywordRequest request = {HelpKeyword(topic), kHelpMainPage, nullptr, nullptr, "Main", false};
  LookUpHelpKeyword(path, request);
}
