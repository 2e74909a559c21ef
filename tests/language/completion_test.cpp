// Tab completion: which word is completed and from which table.
#include "language/completion.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "core/mode_flags.h"

namespace {

bool Has(const CompletionCandidates& c, const char* word) {
  return std::find(c.words.begin(), c.words.end(), word) != c.words.end();
}

TEST(Completion, CommandLines) {
  struct Row {
    const char* text;
    size_t wordStart;
    const char* offered;  // a candidate that must be offered; null: none at all
    bool fileNames;
  };
  const Row rows[] = {
      {"IBF", 0, "ibfind", false},
      {"  q", 2, "quit", false},
      {"3 * ibr", 4, "ibrd", false},
      {"ibask Iba", 6, "IbaPAD", false},
      {"IBCONFIG ibct", 9, "ibctmo", false},
      {"ibexpert ", 9, "IbeLck", false},
      {"buffer a", 7, "ascii", false},
      {"raw o", 4, "off", false},
      {"ibwait (timo e", 13, "end", false},
      {"ibwait timo,e", 12, "err", false},
      {"senddatabytes \"a b\" n", 20, "nlend", false},
      {"sendlist (1, 2) \"x\" ", 20, "dabend", false},
      {"rcvrespmsg 10 s", 14, "stopend", false},
      {"set 4", 4, "488.2", false},
      {"help ", 5, "expert", false},
      {"$ fi", 2, nullptr, true},
      {"$fi", 1, nullptr, true},
      {"ibwrtf out/d", 7, nullptr, true},
      {"senddatabytes \"a b", 0, nullptr, false},
      {"ibrd 1", 5, nullptr, false},
      {"buffer ascii f", 13, nullptr, false},
      {"nosuch a", 7, nullptr, false},
  };
  for (const Row& row : rows) {
    CompletionCandidates c;
    CompleteLine(row.text, true, c);
    SCOPED_TRACE(row.text);
    EXPECT_EQ(c.fileNames, row.fileNames);
    if (row.offered) {
      EXPECT_EQ(c.wordStart, row.wordStart);
      EXPECT_TRUE(Has(c, row.offered));
    } else {
      EXPECT_TRUE(c.words.empty());
    }
  }
}

// Inside a quote only a file name completes, from after the quote.
TEST(Completion, QuotedFileNames) {
  struct Row {
    const char* text;
    bool commandLine;
    bool fileNames;
    size_t wordStart;
  };
  const Row rows[] = {
      {"$ \"my fi", true, true, 2},
      {"ibrdf \"dir/a b", true, true, 6},
      {"ibwrtf \"", true, true, 7},
      {"ibwrt \"my fi", true, false, 0},
      {"\"my fi", false, true, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    ScopedAnswerWords words({nullptr, false, true});
    CompletionCandidates c;
    CompleteLine(row.text, row.commandLine, c);
    EXPECT_EQ(c.fileNames, row.fileNames);
    EXPECT_EQ(c.quoted, row.fileNames);
    if (row.fileNames) {
      EXPECT_EQ(c.wordStart, row.wordStart);
    }
    EXPECT_TRUE(c.words.empty());
  }
}

TEST(Completion, ExpertCommandsOnlyInExpertMode) {
  CompletionCandidates c;
  CompleteLine("ib", true, c);
  EXPECT_TRUE(Has(c, "ibwrt"));
  EXPECT_FALSE(Has(c, "ibwrtn"));
  EXPECT_FALSE(Has(c, "ibrdan"));
  expertMode = 1;
  CompleteLine("ib", true, c);
  expertMode = 0;
  EXPECT_TRUE(Has(c, "ibwrtn"));
}

TEST(Completion, MaskNamesLeaveOutAll) {
  CompletionCandidates c;
  CompleteLine("w ", true, c);
  EXPECT_TRUE(Has(c, "timo"));
  EXPECT_FALSE(Has(c, "all"));
}

TEST(Completion, AnswersUseThePromptsTable) {
  CompletionCandidates c;
  CompleteLine("n", false, c);
  EXPECT_TRUE(c.words.empty());
  {
    ScopedAnswerWords words({kEotModeNames});
    CompleteLine("n", false, c);
    EXPECT_TRUE(Has(c, "nlend"));
  }
  CompleteLine("n", false, c);
  EXPECT_TRUE(c.words.empty());
}

}  // namespace
