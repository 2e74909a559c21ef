// Tab completion: the candidates for the word before the cursor, from the
// command catalogue and the name tables the parser reads.
#pragma once
#include <string>

#include "language/name_tables.h"
#include "platform/line_editor.h"

// What the answer to the prompt being shown may be completed from.
struct AnswerWords {
  const NameRow* table = nullptr;  // the names of a table
  bool openNames = false;          // the open boards and devices, and "488.2"
  bool fileNames = false;          // a file name
};
// Written by the prompting readers while they prompt, through ScopedAnswerWords.
extern AnswerWords answerWords;

struct ScopedAnswerWords {
  explicit ScopedAnswerWords(AnswerWords words) : saved(answerWords) { answerWords = words; }
  ~ScopedAnswerWords() { answerWords = saved; }
  ScopedAnswerWords(const ScopedAnswerWords&) = delete;
  ScopedAnswerWords& operator=(const ScopedAnswerWords&) = delete;
  AnswerWords saved;
};

// The line editor's completion source: on a command line, the command word
// and then the argument that the command's grammar reads at the cursor; on
// an answer, what answerWords names.
void CompleteLine(const std::string& text, bool commandLine, CompletionCandidates& out);
