// libedit at the terminal: one editor for the whole session, its history
// kept in the history file, Tab and Ctrl-C bound to functions of our own.
#include "platform/line_editor.h"

#include <dirent.h>
#include <histedit.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <csignal>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/console.h"
#include "platform/history_file.h"

namespace {

constexpr int kHistoryLines = 1000;

struct Editor {
  EditLine* el = nullptr;
  History* history = nullptr;
  CompletionSource source = nullptr;
  std::string prompt;
  bool commandLine = true;
  bool interrupted = false;
  bool ended = false;  // Ctrl-D ended the input, as the end of a pipe does
  std::string historyPath;  // empty when no file is kept
  std::string lastLine;     // the newest history line
  // The text before the cursor when a Tab found nothing to add: a second
  // Tab there lists the candidates.
  std::string listOn;
  bool listArmed = false;
};
Editor editor;

void HistoryWarning(const std::string& reason) {
  ShowErrorMessage(("vorel: history is not kept in a file: " + reason).c_str());
  editor.historyPath.clear();
}

char* Prompt(EditLine*) { return editor.prompt.data(); }

bool SameStart(const std::string& word, const std::string& start, bool ignoreCase) {
  if (word.size() < start.size()) return false;
  return ignoreCase ? strncasecmp(word.c_str(), start.c_str(), start.size()) == 0
                    : word.compare(0, start.size(), start) == 0;
}

// The entries of the word's folder whose names begin as the word's last part
// does; folders end with '/'. Hidden entries only when asked for with a '.'.
std::vector<std::string> FileMatches(const std::string& word) {
  std::vector<std::string> matches;
  const size_t slash = word.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : word.substr(0, slash + 1);
  const std::string start = word.substr(folder.size());
  DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return matches;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == ".." || (name[0] == '.' && start.empty())) continue;
    if (!SameStart(name, start, false)) continue;
    std::string path = folder + name;
    struct stat info;
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) path += '/';
    matches.push_back(path);
  }
  closedir(dir);
  std::sort(matches.begin(), matches.end());
  return matches;
}

// Prints the candidates in columns below the line; the editor then draws
// the prompt and the line again.
void ListMatches(const std::vector<std::string>& matches, bool fileNames) {
  std::vector<std::string> shown;
  size_t width = 0;
  for (const std::string& match : matches) {
    std::string name = match;
    if (fileNames) {
      size_t slash = name.rfind('/', name.size() > 1 ? name.size() - 2 : 0);
      if (slash != std::string::npos) name.erase(0, slash + 1);
    }
    width = std::max(width, name.size() + 2);
    shown.push_back(name);
  }
  int columns = 80;
  if (el_get(editor.el, EL_GETTC, "co", &columns) != 0 || columns <= 0) columns = 80;
  const size_t perRow = std::max<size_t>(1, static_cast<size_t>(columns) / width);
  const size_t rows = (shown.size() + perRow - 1) / perRow;
  std::fputc('\n', stdout);
  for (size_t row = 0; row < rows; ++row) {
    for (size_t column = 0; column < perRow; ++column) {
      const size_t i = column * rows + row;
      if (i >= shown.size()) break;
      const bool last = column + 1 == perRow || i + rows >= shown.size();
      if (last)
        std::fputs(shown[i].c_str(), stdout);
      else
        std::printf("%-*s", static_cast<int>(width), shown[i].c_str());
    }
    std::fputc('\n', stdout);
  }
  std::fflush(stdout);
}

unsigned char Complete(EditLine* el, int) {
  const LineInfo* info = el_line(el);
  const std::string before(info->buffer, static_cast<size_t>(info->cursor - info->buffer));
  CompletionCandidates found;
  if (editor.source) editor.source(before, editor.commandLine, found);
  if (found.wordStart > before.size()) return CC_ERROR;
  const std::string word = before.substr(found.wordStart);
  std::vector<std::string> matches;
  if (found.fileNames) {
    matches = FileMatches(word);
  } else {
    for (const std::string& candidate : found.words)
      if (SameStart(candidate, word, true) && std::find(matches.begin(), matches.end(), candidate) == matches.end())
        matches.push_back(candidate);
  }
  if (matches.empty()) return CC_ERROR;

  std::string common = matches[0];
  for (const std::string& match : matches) {
    size_t n = 0;
    while (n < common.size() && n < match.size() &&
           (found.fileNames ? common[n] == match[n]
                            : std::tolower(static_cast<unsigned char>(common[n])) ==
                                  std::tolower(static_cast<unsigned char>(match[n]))))
      ++n;
    common.resize(n);
  }
  if (matches.size() == 1 && !common.empty() && common.back() != '/') common += ' ';
  if (common != word) {
    el_deletestr(el, static_cast<int>(word.size()));
    el_insertstr(el, common.c_str());
    editor.listOn = before.substr(0, found.wordStart) + common;
    editor.listArmed = matches.size() > 1;
    return CC_REFRESH;
  }
  if (matches.size() > 1 && editor.listArmed && editor.listOn == before) {
    ListMatches(matches, found.fileNames);
    return CC_REDISPLAY;
  }
  editor.listOn = before;
  editor.listArmed = true;
  return CC_ERROR;
}

// Ctrl-C: the line, marked "^C", is ended and thrown away.
unsigned char Interrupt(EditLine* el, int) {
  const LineInfo* info = el_line(el);
  el_cursor(el, static_cast<int>(info->lastchar - info->cursor));
  el_insertstr(el, "^C");
  editor.interrupted = true;
  el_push(el, "\n");
  return CC_REFRESH;
}

// Ctrl-Z: the editor's own signal handling gives the terminal back while
// the program is stopped; when it goes on, the line is drawn again.
unsigned char Suspend(EditLine*, int) {
  kill(0, SIGTSTP);
  return CC_REDISPLAY;
}

void BindKeys() {
  el_set(editor.el, EL_BIND, "^I", "vorel-complete", nullptr);
  el_set(editor.el, EL_BIND, "^C", "vorel-interrupt", nullptr);
  el_set(editor.el, EL_BIND, "^Z", "vorel-suspend", nullptr);
  // libedit leaves the incremental search unbound.
  el_set(editor.el, EL_BIND, "^R", "em-inc-search-prev", nullptr);
}

void LoadHistory() {
  editor.historyPath = HistoryFilePath(std::getenv("XDG_STATE_HOME"), std::getenv("HOME"));
  if (editor.historyPath.empty()) {
    HistoryWarning("neither XDG_STATE_HOME nor HOME is set");
    return;
  }
  std::vector<std::string> lines;
  std::string error;
  if (!LoadHistoryFile(editor.historyPath, kHistoryLines, lines, error)) HistoryWarning(error);
  HistEvent event;
  for (const std::string& line : lines) history(editor.history, &event, H_ENTER, line.c_str());
  if (!lines.empty()) editor.lastLine = lines.back();
}

}  // namespace

bool StartLineEditor(CompletionSource source) {
  if (editor.el) return true;
  const char* term = std::getenv("TERM");
  if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO) || !term || !term[0] || std::strcmp(term, "dumb") == 0)
    return false;
  // The editor shows and takes characters of the user's locale.
  std::setlocale(LC_CTYPE, "");
  editor.el = el_init("vorel", stdin, stdout, stderr);
  editor.history = history_init();
  if (!editor.el || !editor.history) return false;
  editor.source = source;
  HistEvent event;
  history(editor.history, &event, H_SETSIZE, kHistoryLines);
  history(editor.history, &event, H_SETUNIQUE, 1);
  el_set(editor.el, EL_HIST, history, editor.history);
  el_set(editor.el, EL_PROMPT, Prompt);
  el_set(editor.el, EL_EDITOR, "emacs");
  el_set(editor.el, EL_SIGNAL, 1);
  // Ctrl-C and Ctrl-Z reach the editor as keys, so that Ctrl-C can abandon
  // the line; Ctrl-Z still stops the program.
  el_set(editor.el, EL_SETTY, "-d", "-isig", nullptr);
  el_set(editor.el, EL_ADDFN, "vorel-complete", "Complete the word before the cursor", Complete);
  el_set(editor.el, EL_ADDFN, "vorel-interrupt", "Abandon the line", Interrupt);
  el_set(editor.el, EL_ADDFN, "vorel-suspend", "Stop the program", Suspend);
  BindKeys();
  el_source(editor.el, nullptr);
  // "bind -v" in ~/.editrc sets up the vi keys afresh, without ours.
  const char* mode = nullptr;
  if (el_get(editor.el, EL_EDITOR, &mode) == 0 && mode && std::strcmp(mode, "emacs") != 0) BindKeys();
  LoadHistory();
  return true;
}

bool LineEditorOn() { return editor.el != nullptr; }

EditResult EditInputLine(const char* prompt, bool commandLine, std::string& line) {
  if (editor.ended) return EditResult::End;
  editor.prompt = prompt ? prompt : "";
  editor.commandLine = commandLine;
  editor.interrupted = false;
  editor.listArmed = false;
  std::fflush(stdout);
  int count = 0;
  const char* text = el_gets(editor.el, &count);
  if (editor.interrupted) {
    line.clear();
    return EditResult::Interrupted;
  }
  if (!text || count <= 0) {
    editor.ended = true;
    std::fputc('\n', stdout);
    return EditResult::End;
  }
  line.assign(text, static_cast<size_t>(count));
  if (!line.empty() && line.back() == '\n') line.pop_back();
  return EditResult::Line;
}

void RememberLine(const std::string& line) {
  if (!editor.el || line == editor.lastLine) return;
  HistEvent event;
  history(editor.history, &event, H_ENTER, line.c_str());
  editor.lastLine = line;
  std::string error;
  if (!editor.historyPath.empty() && !AppendHistoryLine(editor.historyPath, line, error)) HistoryWarning(error);
}
