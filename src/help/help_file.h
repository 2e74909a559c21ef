// The help file: a plain-text file of topics, each with a page name, its
// keywords and its text. The format is described at the top of help/drovhelp.txt.
#pragma once
#include <string>
#include <string_view>
#include <vector>

struct HelpTopic {
  std::string page;                   // "drovmain.html" for the main page
  std::vector<std::string> keywords;  // looked up ignoring case
  std::vector<std::string> lines;     // the text, without line ends
};

struct HelpFile {
  std::vector<HelpTopic> topics;  // in file order
};

// A help file larger than this is read up to here, like a truncated one.
constexpr size_t kMaxHelpFileSize = 8u << 20;

// Parses topic file text. Nothing in it is an error: comments, text before
// the first topic and unknown directives are skipped, and a truncated file
// gives the topics it holds.
HelpFile ParseHelpFile(std::string_view text);
// Reads and parses the file at path; false when it cannot be opened or read.
bool ReadHelpFile(const char* path, HelpFile& file);

// The first topic whose page name equals page ignoring case, or null.
const HelpTopic* FindHelpPage(const HelpFile& file, std::string_view page);
// The first topic that carries keyword (ignoring case), or null.
const HelpTopic* FindHelpKeyword(const HelpFile& file, std::string_view keyword);
