// The help command: its path, its keyword table, the expert text, and what
// it shows from the help files of the build tree.
#include "help/help.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "console/print.h"
#include "help_fixture.h"

namespace {

const char kExpertText[] =
    "\nTurn expert mode on/off by typing \"expert\"."
    "\nCommands available in expert mode:"
    "\n       raw on/off   - in raw mode, user enters GPIB handle value."
    "\n       slopcheck    - vorel prints out 8 'read-slop' bytes"
    "\n"
    "\n       ibrd(a)n  N  - read N bytes and confirm sequence"
    "\n       ibwrt(a)n N  - write N consecutive bytes"
    "\n       ibnotify M   - call ibnotify with a mask value of M."
    "\n                      The callback does NOT rearm ibnotify."
    "\n"
    "\n       FindAllLstn  - finds all listeners on the GPIB."
    "\n"
    "\n       ibexpert     - call ibexpert."
    "\n";

struct ShowHelpTest : testing::Test {
  void SetUp() override { quietMode = 0; }
  void TearDown() override { quietMode = 0; }
  LocaleEnvironment locale{"C", nullptr, nullptr};
};

bool StartsWith(const std::string& text, const std::string& start) { return text.rfind(start, 0) == 0; }

TEST(HelpPath, FileNameByLanguageAndTheMainPage) {
  struct Row {
    const char* install;
    bool japanese;
    const char* page;
    const char* path;
  };
  const Row rows[] = {
      {"/opt/vorel/bin/../share/vorel/", false, nullptr, "/opt/vorel/bin/../share/vorel/help/drovhelp.chm"},
      {"/opt/vorel/bin/../share/vorel/", true, nullptr, "/opt/vorel/bin/../share/vorel/help/drovhelpjpn.chm"},
      {"/p/", false, "drovmain.html", "/p/help/drovhelp.chm::/drovmain.html"},
      {"/p/", true, "drovmain.html", "/p/help/drovhelpjpn.chm::/drovmain.html"},
      {"", false, nullptr, "help/drovhelp.chm"},
  };
  for (const Row& row : rows) {
    char path[kHelpPathSize];
    ASSERT_TRUE(BuildHelpPath(path, row.install, row.japanese, row.page)) << row.path;
    EXPECT_STREQ(path, row.path);
  }
}

TEST(HelpPath, APathThatDoesNotFitIsRefused) {
  // "help/drovhelp.chm" is 17 characters: 242 of installation path fill the
  // 259 characters, one more does not fit.
  char path[kHelpPathSize];
  const std::string fits(242, 'd');
  ASSERT_TRUE(BuildHelpPath(path, fits.c_str(), false, nullptr));
  EXPECT_EQ(std::strlen(path), 259u);
  const std::string longer(243, 'd');
  EXPECT_FALSE(BuildHelpPath(path, longer.c_str(), false, nullptr));
  EXPECT_STREQ(path, "");
  EXPECT_FALSE(BuildHelpPath(path, fits.c_str(), false, kHelpMainPage));
}

TEST(HelpKeyword, TableTopicsIgnoreCaseOthersAreTakenAsTyped) {
  struct Row {
    const char* topic;
    const char* keyword;
  };
  const Row rows[] = {
      {"ibsta", "ibsta Status Bit Values"},
      {"IBSTA", "ibsta Status Bit Values"},
      {"iberr", "iberr Error Codes and Solutions"},
      {"ibcntl", "Checking Global Status After Each Vexon Call"},
      {"IbCnt", "Checking Global Status After Each Vexon Call"},
      {"ibwrt", "ibwrt"},
      {"IBWRT", "IBWRT"},
      {"ibst", "ibst"},
      {"a b", "a b"},
  };
  for (const Row& row : rows) EXPECT_STREQ(HelpKeyword(row.topic), row.keyword) << row.topic;
}

TEST_F(ShowHelpTest, ExpertTextInAnyCaseAndSilentWhenQuiet) {
  for (const char* topic : {"expert", "EXPERT", "Expert"}) {
    std::string errors;
    EXPECT_EQ(Capture([&] { errors = CaptureErrors([&] { ShowHelp(topic); }); }), kExpertText) << topic;
    EXPECT_EQ(errors, "");
  }
  quietMode = 1;
  EXPECT_EQ(Capture([] { ShowHelp("expert"); }), "");
}

TEST_F(ShowHelpTest, MainPageTopicsAndFallbackFromTheBuildTree) {
  struct Row {
    const char* topic;
    const char* start;  // how the output begins
  };
  const Row rows[] = {
      {nullptr, "\nvorel: an interactive console for GPIB (IEEE 488) instruments\n"},
      {"", "\nvorel: an interactive console for GPIB (IEEE 488) instruments\n"},
      {"ibwrt", "\nibwrt \"text\"\n\nArguments, in order, with their prompts:\n"},
      {"IBWRT", "\nibwrt \"text\"\n"},
      {"ibsta", "\nibsta: the status bits\n"},
      {"iberr", "\niberr: the error codes\n"},
      {"ibcnt", "\nibcnt and ibcntl: the count\n"},
      {"ibcntl", "\nibcnt and ibcntl: the count\n"},
      {"ENOL", "\niberr: the error codes\n"},
      {"quit", "\nq, quit, e, exit, bye, later\n"},
      {"nosuch", "\nvorel: an interactive console for GPIB (IEEE 488) instruments\n"},
  };
  for (const Row& row : rows) {
    std::string errors;
    const std::string out = Capture([&] { errors = CaptureErrors([&] { ShowHelp(row.topic); }); });
    EXPECT_TRUE(StartsWith(out, row.start)) << (row.topic ? row.topic : "(none)") << ":\n" << out.substr(0, 200);
    EXPECT_EQ(errors, "") << (row.topic ? row.topic : "(none)");
  }
  quietMode = 1;
  EXPECT_EQ(Capture([] { ShowHelp("ibwrt"); }), "");
  EXPECT_EQ(Capture([] { ShowHelp(nullptr); }), "");
}

TEST_F(ShowHelpTest, JapaneseLocaleTakesTheJapaneseFile) {
  locale.Set(nullptr, nullptr, "ja_JP.UTF-8");
  EXPECT_TRUE(StartsWith(Capture([] { ShowHelp(nullptr); }),
                         "\nvorel: GPIB (IEEE 488) 計測器のための対話型コンソール\n"));
  EXPECT_TRUE(StartsWith(Capture([] { ShowHelp("ibsta"); }), "\nibsta: ステータスビット\n"));
  // The expert text is the program's own and stays as it is.
  EXPECT_EQ(Capture([] { ShowHelp("expert"); }), kExpertText);
}

}  // namespace
