// The terminal help viewer: display requests, keyword requests and what
// they print.
#include "help/help_viewer.h"

#include <gtest/gtest.h>

#include <string>

#include "console/print.h"
#include "help_fixture.h"

namespace {

const char kFile[] =
    "@page drovmain.html\n"
    "Main page\n"
    "@page ibwrt\n"
    "@keyword ibwrt\n"
    "ibwrt \"text\"\n"
    "  writes\n"
    "@page status\n"
    "@keyword ibsta Status Bit Values\n"
    "@keyword cmpl\n"
    "Status bits\n";

struct HelpViewer : testing::Test {
  void SetUp() override { quietMode = 0; }
  void TearDown() override { quietMode = 0; }
  ScratchDirectory dir;
};

KeywordRequest Request(const char* keywords, const char* url = "drovmain.html") {
  return {keywords, url, nullptr, nullptr, "Main", false};
}

TEST_F(HelpViewer, KeywordRequestsShowTheTopicOrTheFallbackPage) {
  const std::string file = dir.Write("drovhelp.chm", kFile);
  struct Row {
    const char* keywords;
    const char* output;
  };
  const Row rows[] = {
      {"ibwrt", "\nibwrt \"text\"\n  writes\n"},
      {"IBWRT", "\nibwrt \"text\"\n  writes\n"},
      {"ibsta Status Bit Values", "\nStatus bits\n"},
      {"nosuch", "\nMain page\n"},
      {"", "\nMain page\n"},
      // Several keywords: the first that the file knows.
      {"nosuch; cmpl ;ibwrt", "\nStatus bits\n"},
      {";;", "\nMain page\n"},
  };
  for (const Row& row : rows) {
    bool found = false;
    EXPECT_EQ(Capture([&] { found = LookUpHelpKeyword(file.c_str(), Request(row.keywords)); }),
              row.output)
        << row.keywords;
    EXPECT_TRUE(found) << row.keywords;
  }
  KeywordRequest noKeywords = Request(nullptr);
  EXPECT_EQ(Capture([&] { LookUpHelpKeyword(file.c_str(), noKeywords); }), "\nMain page\n");
}

TEST_F(HelpViewer, ControlBytesOfADamagedFileAreNotSentToTheTerminal) {
  const std::string file =
      dir.Write("drovhelp.chm", Bytes("@page drovmain.html\n\x1b]0;title\x07 a\0b\tc\x7f\n"));
  EXPECT_EQ(Capture([&] { DisplayHelpTopic((file + "::/drovmain.html").c_str()); }),
            "\n?]0;title? a?b\tc?\n");
}

}  // namespace
