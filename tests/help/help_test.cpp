// The help command: the path of its help file by language and page.
#include "help/help.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "console/print.h"
#include "help_fixture.h"

namespace {

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

}  // namespace
