// The platform services the help command stands on: the installation path
// beside the executable and the user's language.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <string>

#include "platform/installation.h"
#include "platform/user_locale.h"

#include "help_fixture.h"

namespace {

TEST(InstallationPath, IsTheShareDirectoryBesideTheExecutable) {
  char exe[4096];
  const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  ASSERT_GT(n, 0);
  std::string directory(exe, static_cast<size_t>(n));
  directory.resize(directory.rfind('/'));

  char path[256];
  ASSERT_TRUE(InstallationPath(path, sizeof path));
  EXPECT_EQ(std::string(path), directory + "/../share/vorel/");

  const int exact = static_cast<int>(std::strlen(path)) + 1;
  char fits[256];
  EXPECT_TRUE(InstallationPath(fits, exact));
  char tooSmall[256] = "old";
  EXPECT_FALSE(InstallationPath(tooSmall, exact - 1));
  EXPECT_STREQ(tooSmall, "");
  EXPECT_FALSE(InstallationPath(nullptr, 10));
}

TEST(UserLanguage, FirstNonEmptyOfTheLocaleVariables) {
  struct Row {
    const char* all;
    const char* messages;
    const char* lang;
    bool japanese;
  };
  const Row rows[] = {
      {nullptr, nullptr, "ja_JP.UTF-8", true},
      {nullptr, nullptr, "ja", true},
      {nullptr, nullptr, "en_US.UTF-8", false},
      {nullptr, nullptr, nullptr, false},
      {"", "", "ja_JP.eucJP", true},
      {"C", nullptr, "ja_JP.UTF-8", false},
      {nullptr, "ja_JP.UTF-8", "en_GB.UTF-8", true},
      {"ja_JP.UTF-8", "C", "C", true},
      {nullptr, "de_DE", "ja_JP", false},
      {nullptr, nullptr, "JA_JP", false},
  };
  LocaleEnvironment locale(nullptr, nullptr, nullptr);
  for (const Row& row : rows) {
    locale.Set(row.all, row.messages, row.lang);
    EXPECT_EQ(UserLanguageIsJapanese(), row.japanese)
        << (row.all ? row.all : "-") << " " << (row.messages ? row.messages : "-") << " "
        << (row.lang ? row.lang : "-");
  }
}

}  // namespace
