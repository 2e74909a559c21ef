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

TEST_F(HelpViewer, DisplayPrintsThePageOrOnlyOpensTheFile) {
  const std::string file = dir.Write("drovhelp.chm", kFile);
  struct Row {
    std::string location;
    bool opened;
    const char* output;
  };
  const Row rows[] = {
      {file + "::/drovmain.html", true, "\nMain page\n"},
      {file + "::/IBWRT", true, "\nibwrt \"text\"\n  writes\n"},
      {file, true, ""},
      {file + "::/", true, ""},
      {file + "::/nosuch.html", true, "\nThe help file has no page nosuch.html.\n"},
      {dir.Path("missing.chm") + "::/drovmain.html", false, ""},
      {dir.Path("missing.chm"), false, ""},
  };
  for (const Row& row : rows) {
    bool opened = !row.opened;
    EXPECT_EQ(Capture([&] { opened = DisplayHelpTopic(row.location.c_str()); }), row.output)
        << row.location;
    EXPECT_EQ(opened, row.opened) << row.location;
  }
  EXPECT_FALSE(DisplayHelpTopic(nullptr));
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

TEST_F(HelpViewer, WhatAnUnknownKeywordShowsFollowsTheRequest) {
  const std::string file = dir.Write("drovhelp.chm", kFile);
  EXPECT_EQ(Capture([&] { LookUpHelpKeyword(file.c_str(), Request("nosuch", "ibwrt")); }),
            "\nibwrt \"text\"\n  writes\n");
  EXPECT_EQ(Capture([&] { LookUpHelpKeyword(file.c_str(), Request("nosuch", "gone.html")); }),
            "\nThe help file has no page gone.html.\n");

  KeywordRequest message = Request("nosuch", nullptr);
  message.msgText = "no such topic";
  EXPECT_EQ(CaptureErrors([&] { Capture([&] { LookUpHelpKeyword(file.c_str(), message); }); }),
            "no such topic\n");

  KeywordRequest index = Request("nosuch", nullptr);
  index.indexOnFail = true;
  EXPECT_EQ(Capture([&] { LookUpHelpKeyword(file.c_str(), index); }),
            "\nKeywords:\n  ibwrt\n  ibsta Status Bit Values\n  cmpl\n");

  EXPECT_EQ(Capture([&] { LookUpHelpKeyword(file.c_str(), Request("nosuch", nullptr)); }), "");
}

TEST_F(HelpViewer, MissingFileShowsNothing) {
  bool found = true;
  EXPECT_EQ(Capture([&] { found = LookUpHelpKeyword(dir.Path("missing.chm").c_str(), Request("ibwrt")); }),
            "");
  EXPECT_FALSE(found);
  EXPECT_FALSE(LookUpHelpKeyword(nullptr, Request("ibwrt")));
}

TEST_F(HelpViewer, ControlBytesOfADamagedFileAreNotSentToTheTerminal) {
  const std::string file =
      dir.Write("drovhelp.chm", Bytes("@page drovmain.html\n\x1b]0;title\x07 a\0b\tc\x7f\n"));
  EXPECT_EQ(Capture([&] { DisplayHelpTopic((file + "::/drovmain.html").c_str()); }),
            "\n?]0;title? a?b\tc?\n");
}

TEST_F(HelpViewer, QuietModeSilencesPages) {
  const std::string file = dir.Write("drovhelp.chm", kFile);
  quietMode = 1;
  bool opened = false;
  EXPECT_EQ(Capture([&] {
              opened = DisplayHelpTopic((file + "::/drovmain.html").c_str());
              LookUpHelpKeyword(file.c_str(), Request("ibwrt"));
            }),
            "");
  EXPECT_TRUE(opened);
}

}  // namespace
