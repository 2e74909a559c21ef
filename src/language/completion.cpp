// Tab completion from the parser's own tables: the catalogue for the
// command word, the name tables, the open names and the help topics for
// the arguments.
#include "language/completion.h"

#include <vector>

#include "core/command_catalogue.h"
#include "core/mode_flags.h"
#include "help/help.h"
#include "registry/handle_registry.h"

AnswerWords answerWords;

namespace {

bool IsBlank(char c) { return c == ' ' || (c >= 0x09 && c <= 0x0D); }
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// The line before the cursor cut into arguments: a quoted string is one
// argument and so is a parenthesized list; the last, partial word is the
// one to complete.
struct Words {
  std::vector<std::string> arguments;  // the finished arguments
  std::vector<bool> quoted;            // per argument: it is a quoted string
  size_t wordStart = 0;                // where the partial word begins
  bool inString = false;               // the cursor is inside a quoted string
};

Words Split(const std::string& text, size_t from) {
  Words w;
  size_t i = from;
  for (;;) {
    while (i < text.size() && IsBlank(text[i])) ++i;
    const size_t start = i;
    bool quoted = false;
    int depth = 0;
    w.wordStart = i;
    while (i < text.size() && (depth > 0 || !IsBlank(text[i]))) {
      const char c = text[i++];
      if (c == '"') {
        quoted = true;
        w.inString = true;
        while (i < text.size() && text[i] != '"') i += text[i] == '\\' && i + 1 < text.size() ? 2 : 1;
        if (i >= text.size()) return w;
        w.inString = false;
        ++i;
      } else if (c == '(') {
        ++depth;
        w.wordStart = i;
      } else if (c == ')') {
        --depth;
        w.wordStart = i;
      } else if (c == ',' || (depth > 0 && IsBlank(c))) {
        w.wordStart = i;
      }
    }
    if (i >= text.size()) return w;
    w.arguments.push_back(text.substr(start, i - start));
    w.quoted.push_back(quoted);
  }
}

void AddTable(const NameRow* table, std::vector<std::string>& words) {
  for (const NameRow* row = table; row && row->name; ++row) words.push_back(row->name);
}

// The commands that can run now: the expert ones only in expert mode.
void AddCommands(std::vector<std::string>& words) {
  for (int i = 0; i < kCatalogueRows; ++i)
    if (IsLetter(kCatalogue[i].name[0]) && (expertMode || !IsExpertOnly(kCatalogue[i].code)))
      words.push_back(kCatalogue[i].name);
}

void AddOpenNames(std::vector<std::string>& words) {
  words = OpenNames();
  words.push_back(kBoardKey);
}

// The word list of argument `index` (counted from 0) of the command with
// this code; the arguments before it tell where a string ended.
void AddArgumentWords(int32_t code, size_t index, const Words& w, CompletionCandidates& out) {
  const bool afterString = index > 0 && w.quoted[w.quoted.size() - 1];
  switch (code) {
    case CODE_IBASK: if (index == 0) AddTable(kAskOptionNames, out.words); break;
    case CODE_IBCONFIG: if (index == 0) AddTable(kConfigOptionNames, out.words); break;
    case CODE_IBEXPERT: if (index == 0) AddTable(kExpertOptionNames, out.words); break;
    case CODE_BUFFER: if (index == 0) AddTable(kDisplayModeNames, out.words); break;
    case CODE_RAW: if (index == 0) AddTable(kOnOffNames, out.words); break;
    case CODE_SET: if (index == 0) AddOpenNames(out.words); break;
    case CODE_HELP: if (index == 0) out.words = HelpTopics(); break;
    case CODE_IBRDF: case CODE_IBWRTF: out.fileNames = index == 0; break;
    case CODE_RCVRESPMSG: if (index == 1) AddTable(kTerminationNames, out.words); break;
    case CODE_RECEIVE: if (index == 2) AddTable(kTerminationNames, out.words); break;
    case CODE_SENDDATABYTES: case CODE_SEND: case CODE_SENDLIST:
      if (afterString) AddTable(kEotModeNames, out.words);
      break;
    // A mask is one or more bit names; "all" heads the table but is none.
    case CODE_IBWAIT: case CODE_IBNOTIFY: case CODE_W: AddTable(kStatusBitNames + 1, out.words); break;
    default: break;
  }
}

// Skips a repeat prefix "N *" and gives where the command starts.
size_t CommandStart(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  size_t j = i;
  while (j < text.size() && (IsLetter(text[j]) || (text[j] >= '0' && text[j] <= '9'))) ++j;
  if (j == i || text[i] < '0' || text[i] > '9') return i;
  while (j < text.size() && IsBlank(text[j])) ++j;
  return j < text.size() && text[j] == '*' ? j + 1 : i;
}

// A string being typed completes only where a file name goes, inside its quotes.
void CompleteInString(const Words& w, bool fileName, CompletionCandidates& out) {
  out.wordStart = w.wordStart;
  out.fileNames = fileName;
  out.quoted = fileName;
}

void CompleteAnswer(const std::string& text, CompletionCandidates& out) {
  const Words w = Split(text, 0);
  if (w.inString) return CompleteInString(w, answerWords.fileNames, out);
  out.wordStart = w.wordStart;
  out.fileNames = answerWords.fileNames;
  if (answerWords.openNames) AddOpenNames(out.words);
  AddTable(answerWords.table, out.words);
}

}  // namespace

void CompleteLine(const std::string& text, bool commandLine, CompletionCandidates& out) {
  out = CompletionCandidates{};
  if (!commandLine) {
    CompleteAnswer(text, out);
    return;
  }
  size_t start = CommandStart(text);
  while (start < text.size() && IsBlank(text[start])) ++start;
  if (start < text.size() && text[start] == '$') {
    const Words w = Split(text, start + 1);
    if (w.inString) return CompleteInString(w, w.arguments.empty(), out);
    out.wordStart = w.wordStart;
    out.fileNames = w.arguments.empty();
    return;
  }
  const Words w = Split(text, start);
  out.wordStart = w.wordStart;
  if (w.arguments.empty()) {
    if (!w.inString) AddCommands(out.words);
    return;
  }
  const int row = FindCommand(w.arguments[0].c_str());
  if (row < 0) return;
  size_t index = w.arguments.size() - 1;
  // In raw mode a device code comes before the arguments of a driver call.
  if (rawMode && !(kCatalogue[row].flags & CMD_NO_HANDLE)) {
    if (index == 0) return;
    --index;
  }
  AddArgumentWords(kCatalogue[row].code, index, w, out);
  if (w.inString) {
    const bool fileName = out.fileNames;
    out = CompletionCandidates{};
    CompleteInString(w, fileName, out);
  }
}
