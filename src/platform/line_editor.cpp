// libedit at the terminal: one editor for the whole session, its history
// kept in the history file, Tab and Ctrl-C bound to functions of our own.
#include "platform/line_editor.h"

#include <dirent.h>
#include <histedit.h>
#include <langinfo.h>
#include <poll.h>
#include <pthread.h>
#include <strings.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cwchar>
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

// A file name holding a blank or a quote is given to the command language as
// a quoted string.
bool NeedsQuotes(const std::string& name) {
  return name.find_first_of(" \t\"\\") != std::string::npos;
}

std::string Quoted(const std::string& name) {
  std::string text = "\"";
  for (char c : name) {
    if (c == '"' || c == '\\') text += '\\';
    text += c;
  }
  return text;
}

unsigned char Complete(EditLine* el, int) {
  const LineInfo* info = el_line(el);
  const std::string before(info->buffer, static_cast<size_t>(info->cursor - info->buffer));
  CompletionCandidates found;
  if (editor.source) editor.source(before, editor.commandLine, found);
  if (found.wordStart > before.size()) return CC_ERROR;
  const std::string typed = before.substr(found.wordStart);
  // Inside a string the name starts after its quote; escapes are not undone.
  const bool inQuotes = found.quoted && !typed.empty() && typed[0] == '"';
  const std::string word = inQuotes ? typed.substr(1) : typed;
  std::vector<std::string> matches;
  if (found.fileNames) {
    matches = FileMatches(word);
  } else {
    for (const std::string& candidate : found.words)
      if (SameStart(candidate, word, true) && std::find(matches.begin(), matches.end(), candidate) == matches.end())
        matches.push_back(candidate);
    std::sort(matches.begin(), matches.end(),
              [](const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) < 0; });
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
  const bool whole = matches.size() == 1 && !common.empty() && common.back() != '/';
  std::string text = common;
  if (found.fileNames && (inQuotes || std::any_of(matches.begin(), matches.end(), NeedsQuotes))) {
    text = Quoted(common);
    if (whole) text += '"';
  }
  if (whole) text += ' ';
  if (text != typed) {
    el_deletestr(el, static_cast<int>(typed.size()));
    el_insertstr(el, text.c_str());
    editor.listOn = before.substr(0, found.wordStart) + text;
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

// Changes of the terminal's size: SIGWINCH is kept blocked and read from
// this descriptor, so that no signal handler runs for it (the editor's own
// would reallocate its buffers inside the handler).
int resizeSignals = -1;

// True when the size changed since the last call.
bool DropResizeNotes() {
  signalfd_siginfo note;
  bool any = false;
  while (resizeSignals >= 0 && read(resizeSignals, &note, sizeof note) == static_cast<ssize_t>(sizeof note)) any = true;
  return any;
}

// The terminal reflows what it shows to its new width; the line is drawn
// again at once from its first row, with everything below it cleared, so
// that nothing of the old drawing stays.
void RedrawAfterResize(EditLine* el) {
  DropResizeNotes();
  el_resize(el);
  int columns = 80;
  if (el_get(el, EL_GETTC, "co", &columns) != 0 || columns <= 0) columns = 80;
  const LineInfo* info = el_line(el);
  const std::string before = editor.prompt + std::string(info->buffer, static_cast<size_t>(info->cursor - info->buffer));
  const size_t characters = std::mbstowcs(nullptr, before.c_str(), 0);
  const size_t rows = (characters == static_cast<size_t>(-1) ? before.size() : characters) / static_cast<size_t>(columns);
  std::fputc('\r', stdout);
  if (rows > 0) std::printf("\x1b[%zuA", rows);
  std::fputs("\x1b[J", stdout);
  std::fflush(stdout);
  el_set(el, EL_REFRESH);
}

// The editor's reader: one character of the locale from standard input, and
// a redraw whenever the terminal's size changes while the user types.
int ReadCharacter(EditLine* el, wchar_t* out) {
  std::mbstate_t state{};
  for (;;) {
    pollfd waits[2] = {{STDIN_FILENO, POLLIN, 0}, {resizeSignals, POLLIN, 0}};
    if (poll(waits, resizeSignals >= 0 ? 2 : 1, -1) < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (waits[1].revents & POLLIN) {
      RedrawAfterResize(el);
      continue;
    }
    if (!waits[0].revents) continue;
    char byte;
    const ssize_t n = read(STDIN_FILENO, &byte, 1);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) return static_cast<int>(n);
    wchar_t character;
    const size_t used = std::mbrtowc(&character, &byte, 1, &state);
    if (used == static_cast<size_t>(-2)) continue;  // more bytes to come
    if (used == static_cast<size_t>(-1)) {          // not a character of the locale
      state = std::mbstate_t{};
      continue;
    }
    *out = used == 0 ? L'\0' : character;
    return 1;
  }
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
  // The editor shows and takes characters of the user's locale. The C
  // locale knows nothing beyond ASCII, and the editor would drop every other
  // byte typed; terminals send UTF-8, so it reads that instead.
  const char* locale = std::setlocale(LC_CTYPE, "");
  if (!locale || std::strcmp(nl_langinfo(CODESET), "ANSI_X3.4-1968") == 0) std::setlocale(LC_CTYPE, "C.UTF-8");
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
  // Before any other thread starts, which then keeps it blocked too.
  sigset_t resize;
  sigemptyset(&resize);
  sigaddset(&resize, SIGWINCH);
  if (pthread_sigmask(SIG_BLOCK, &resize, nullptr) == 0)
    resizeSignals = signalfd(-1, &resize, SFD_NONBLOCK | SFD_CLOEXEC);
  el_set(editor.el, EL_GETCFN, ReadCharacter);
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
  // A size that changed while a command ran is taken before the prompt is drawn.
  if (DropResizeNotes()) el_resize(editor.el);
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
