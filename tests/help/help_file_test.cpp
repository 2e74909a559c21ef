// The topic file parser and the page and keyword lookups.
#include "help/help_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "help_fixture.h"

namespace {

using Lines = std::vector<std::string>;

TEST(HelpFile, TopicsKeywordsAndText) {
  const HelpFile file = ParseHelpFile(
      "# a comment before any topic\n"
      "text before the first topic is skipped\n"
      "@page drovmain.html\n"
      "\n"
      "Main page\n"
      "  indented line  \n"
      "\n"
      "@page ibwrt\n"
      "@keyword ibwrt\n"
      "@keyword   ibsta Status Bit Values  \n"
      "@keyword\n"
      "ibwrt \"text\"\n"
      "# a comment inside a topic\n"
      "\\# not a comment\n"
      "\\@page not a directive\n"
      "\\\\ one backslash\n"
      "@title unknown directives are skipped\n"
      "@pagefoo is no page directive\n"
      "last line\n");
  ASSERT_EQ(file.topics.size(), 2u);
  EXPECT_EQ(file.topics[0].page, "drovmain.html");
  EXPECT_TRUE(file.topics[0].keywords.empty());
  EXPECT_EQ(file.topics[0].lines, (Lines{"Main page", "  indented line  "}));

  EXPECT_EQ(file.topics[1].page, "ibwrt");
  EXPECT_EQ(file.topics[1].keywords, (Lines{"ibwrt", "ibsta Status Bit Values"}));
  EXPECT_EQ(file.topics[1].lines, (Lines{"ibwrt \"text\"", "# not a comment", "@page not a directive",
                                         "\\ one backslash", "last line"}));
}

TEST(HelpFile, LineEndsAndTruncation) {
  struct Row {
    const char* text;
    Lines lines;
  };
  const Row rows[] = {
      {"@page p\r\nwindows\r\nline ends\r\n", {"windows", "line ends"}},
      {"@page p\nno line feed at the end", {"no line feed at the end"}},
      {"@page p\n\n\n  \n", {}},
      {"@page p\n\ttab\n", {"\ttab"}},
      {"@page p\nfirst\n\n\nafter blank lines\n\n", {"first", "", "", "after blank lines"}},
  };
  for (const Row& row : rows) {
    const HelpFile file = ParseHelpFile(row.text);
    ASSERT_EQ(file.topics.size(), 1u) << row.text;
    EXPECT_EQ(file.topics[0].lines, row.lines) << row.text;
  }
  // A file cut in the middle of a directive still yields what it holds.
  EXPECT_EQ(ParseHelpFile("@page a\ntext\n@pa").topics.size(), 1u);
  EXPECT_EQ(ParseHelpFile("@page a\ntext\n@page").topics.size(), 2u);
  EXPECT_TRUE(ParseHelpFile("").topics.empty());
  EXPECT_TRUE(ParseHelpFile("no topics at all\n").topics.empty());
}

TEST(HelpFile, ZeroAndControlBytesAreKept) {
  const std::string text = Bytes("@page p\na\0b\x1b[2J\n");
  const HelpFile file = ParseHelpFile(text);
  ASSERT_EQ(file.topics.size(), 1u);
  EXPECT_EQ(file.topics[0].lines, (Lines{Bytes("a\0b\x1b[2J")}));
}

TEST(HelpFile, LookupsIgnoreCaseAndTakeTheFirstMatch) {
  const HelpFile file = ParseHelpFile(
      "@page drovmain.html\nmain\n"
      "@page ibsta\n@keyword ibsta Status Bit Values\n@keyword cmpl\nfirst\n"
      "@page IBSTA\n@keyword CMPL\nsecond\n");
  struct Row {
    const char* word;
    const char* page;  // expected page, null for none
  };
  const Row keywords[] = {
      {"ibsta status bit values", "ibsta"}, {"IBSTA STATUS BIT VALUES", "ibsta"},
      {"cmpl", "ibsta"}, {"Cmpl", "ibsta"}, {"ibsta", nullptr}, {"cmp", nullptr}, {"", nullptr},
  };
  for (const Row& row : keywords) {
    const HelpTopic* topic = FindHelpKeyword(file, row.word);
    if (row.page == nullptr) {
      EXPECT_EQ(topic, nullptr) << row.word;
    } else {
      ASSERT_NE(topic, nullptr) << row.word;
      EXPECT_EQ(topic->page, row.page) << row.word;
      EXPECT_EQ(topic->lines, Lines{"first"}) << row.word;
    }
  }
  ASSERT_NE(FindHelpPage(file, "DROVMAIN.HTML"), nullptr);
  EXPECT_EQ(FindHelpPage(file, "IBSTA")->lines, Lines{"first"});
  EXPECT_EQ(FindHelpPage(file, "drovmain"), nullptr);
}

TEST(HelpFile, ReadFailsOnlyWhenTheFileCannotBeRead) {
  ScratchDirectory dir;
  HelpFile file;
  EXPECT_FALSE(ReadHelpFile(dir.Path("missing.chm").c_str(), file));
  EXPECT_FALSE(ReadHelpFile(nullptr, file));
  // A directory opens on some systems but never reads.
  std::filesystem::create_directory(dir.Path("drovhelp.chm"));
  EXPECT_FALSE(ReadHelpFile(dir.Path("drovhelp.chm").c_str(), file));

  EXPECT_TRUE(ReadHelpFile(dir.Write("empty.chm", "").c_str(), file));
  EXPECT_TRUE(file.topics.empty());
  ASSERT_TRUE(ReadHelpFile(dir.Write("one.chm", "@page drovmain.html\nhello\n").c_str(), file));
  ASSERT_EQ(file.topics.size(), 1u);
  EXPECT_EQ(file.topics[0].lines, Lines{"hello"});
}

TEST(HelpFile, EveryCutOfARealFileParses) {
  // Cuts at many places of a file shaped like the installed one, and bytes
  // flipped into garbage: the parser must come through each.
  std::string text = "# comment\n@page drovmain.html\nmain\n";
  for (int i = 0; i < 40; ++i)
    text += "@page t" + std::to_string(i) + "\n@keyword k" + std::to_string(i) + "\nline\n\\# x\n\n";
  size_t topics = 0;
  for (size_t cut = 0; cut <= text.size(); ++cut) {
    const HelpFile file = ParseHelpFile(std::string_view(text).substr(0, cut));
    EXPECT_GE(file.topics.size(), topics) << cut;
    topics = file.topics.size();
  }
  EXPECT_EQ(topics, 41u);
  std::string garbage = text;
  for (size_t i = 0; i < garbage.size(); i += 7) garbage[i] = static_cast<char>(i * 37);
  const HelpFile file = ParseHelpFile(garbage);
  EXPECT_LE(file.topics.size(), 41u);
}

}  // namespace
