// Line editing at a terminal: the prompt shown by the editor, history,
// incremental search and completion. Only this layer knows the editing
// library (libedit).
#pragma once
#include <cstddef>
#include <string>
#include <vector>

// What Tab may make of the word before the cursor.
struct CompletionCandidates {
  size_t wordStart = 0;            // where that word begins in the text
  std::vector<std::string> words;  // whole words it may become; compared ignoring case
  bool fileNames = false;          // the word is a file name: the editor looks in its folder
  bool quoted = false;             // the word is a string begun at wordStart: completed inside the quotes
};
// Fills out for text, the line up to the cursor; commandLine is false while
// the line answers a prompt.
using CompletionSource = void (*)(const std::string& text, bool commandLine, CompletionCandidates& out);

// Turns editing on when standard input and output are terminals and TERM is
// set and not "dumb": loads the history file and applies ~/.editrc. True
// when editing is on. A history file that cannot be used costs one warning
// on standard error.
bool StartLineEditor(CompletionSource source);
bool LineEditorOn();

enum class EditResult { Line, Interrupted, End };
// Shows prompt and lets the user edit one line, given back without its line
// end. Interrupted: Ctrl-C abandoned the line. End: Ctrl-D on an empty line
// ended the input; every later call gives End at once.
EditResult EditInputLine(const char* prompt, bool commandLine, std::string& line);
// Adds a command line to the history and appends it to the history file,
// unless it equals the line before it.
void RememberLine(const std::string& line);
