// The help files of the build tree: every command and every keyword of the
// help command has its topic, and the topics name the prompts.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "core/command_catalogue.h"
#include "core/messages.h"
#include "help/help.h"
#include "help/help_file.h"
#include "platform/installation.h"

namespace {

HelpFile Installed(const char* name) {
  char install[256];
  EXPECT_TRUE(InstallationPath(install, sizeof install));
  HelpFile file;
  EXPECT_TRUE(ReadHelpFile((std::string(install) + "help/" + name).c_str(), file)) << name;
  return file;
}

std::string Text(const HelpTopic& topic) {
  std::string text;
  for (const std::string& line : topic.lines) text += line + "\n";
  return text;
}

bool HasWord(const std::string& text, const std::string& word) {
  for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
    auto part = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; };
    const bool before = at > 0 && part(text[at - 1]);
    const bool after = at + word.size() < text.size() && part(text[at + word.size()]);
    if (!before && !after) return true;
  }
  return false;
}

class HelpContent : public testing::TestWithParam<const char*> {};

TEST_P(HelpContent, EveryCommandHasATopicAndALineOnTheMainPage) {
  const HelpFile file = Installed(GetParam());
  const HelpTopic* main = FindHelpPage(file, kHelpMainPage);
  ASSERT_NE(main, nullptr);
  const std::string mainText = Text(*main);
  for (int row = 0; row < kCatalogueRows; ++row) {
    const char* name = kCatalogue[row].name;
    EXPECT_NE(FindHelpKeyword(file, name), nullptr) << name;
    EXPECT_TRUE(HasWord(mainText, name)) << name;
  }
}

INSTANTIATE_TEST_SUITE_P(InstalledFiles, HelpContent, testing::Values("drovhelp.chm", "drovhelpjpn.chm"));

}  // namespace
