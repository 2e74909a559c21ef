// Showing help pages on the console. Pages are help text, so they go
// through ConsoleOutput and quiet mode silences them.
#include "help/help_viewer.h"

#include <string>
#include <string_view>

#include "core/print.h"
#include "help/help_file.h"
#include "platform/console.h"

namespace {

constexpr std::string_view kPageSeparator = "::/";

// Control bytes in a damaged file must not reach the terminal as escape
// sequences; tabs are kept.
void PrintLine(const std::string& line) {
  std::string shown = line;
  for (char& c : shown) {
    unsigned char u = static_cast<unsigned char>(c);
    if ((u < 0x20 && u != '\t') || u == 0x7F) c = '?';
  }
  ConsoleOutput("%s\n", shown.c_str());
}

void PrintTopic(const HelpTopic& topic) {
  ConsoleOutput("\n");
  for (const std::string& line : topic.lines) PrintLine(line);
}

// Prints the page, or says that the file has no such page, as a help
// window would.
void ShowPage(const HelpFile& help, std::string_view page) {
  if (const HelpTopic* topic = FindHelpPage(help, page)) {
    PrintTopic(*topic);
    return;
  }
  ConsoleOutput("\nThe help file has no page %.*s.\n", static_cast<int>(page.size()), page.data());
}

void ShowIndex(const HelpFile& help) {
  ConsoleOutput("\nKeywords:\n");
  for (const HelpTopic& topic : help.topics)
    for (const std::string& keyword : topic.keywords) PrintLine("  " + keyword);
}

const HelpTopic* FindFirstKeyword(const HelpFile& help, std::string_view keywords) {
  while (!keywords.empty()) {
    size_t end = keywords.find(';');
    std::string_view keyword = keywords.substr(0, end);
    keywords.remove_prefix(end == std::string_view::npos ? keywords.size() : end + 1);
    while (!keyword.empty() && keyword.front() == ' ') keyword.remove_prefix(1);
    while (!keyword.empty() && keyword.back() == ' ') keyword.remove_suffix(1);
    if (keyword.empty()) continue;
    if (const HelpTopic* topic = FindHelpKeyword(help, keyword)) return topic;
  }
  return nullptr;
}

}  // namespace

bool DisplayHelpTopic(const char* location) {
  if (location == nullptr) return false;
  std::string file = location;
  std::string page;
  if (size_t at = file.rfind(kPageSeparator); at != std::string::npos) {
    page = file.substr(at + kPageSeparator.size());
    file.resize(at);
  }
  HelpFile help;
  if (!ReadHelpFile(file.c_str(), help)) return false;
  if (!page.empty()) ShowPage(help, page);
  return true;
}

bool LookUpHelpKeyword(const char* file, const KeywordRequest& request) {
  HelpFile help;
  if (file == nullptr || !ReadHelpFile(file, help)) return false;
  if (const HelpTopic* topic = FindFirstKeyword(help, request.keywords ? request.keywords : "")) {
    PrintTopic(*topic);
  } else if (request.url != nullptr) {
    ShowPage(help, request.url);
  } else if (request.msgText != nullptr) {
    ShowErrorMessage(request.msgText);
  } else if (request.indexOnFail) {
    ShowIndex(help);
  }
  return true;
}
