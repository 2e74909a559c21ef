// The help files of the build tree: every command and every keyword of the
// help command has its topic, and the topics name the prompts.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "console/command_catalogue.h"
#include "console/messages.h"
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

TEST_P(HelpContent, TheKeywordTableFindsItsTopics) {
  const HelpFile file = Installed(GetParam());
  for (const char* topic : {"ibsta", "iberr", "ibcnt", "ibcntl"}) {
    const HelpTopic* found = FindHelpKeyword(file, HelpKeyword(topic));
    ASSERT_NE(found, nullptr) << topic;
    EXPECT_NE(found, FindHelpPage(file, kHelpMainPage)) << topic;
  }
  // Every status bit and error name shows its table.
  for (const char* name : {"err", "timo", "cmpl", "rqs", "dcas"})
    EXPECT_EQ(FindHelpKeyword(file, name), FindHelpKeyword(file, HelpKeyword("ibsta"))) << name;
  for (const char* name : {"EDVR", "ENOL", "EABO", "ECAP", "ETAB", "EPWR"})
    EXPECT_EQ(FindHelpKeyword(file, name), FindHelpKeyword(file, HelpKeyword("iberr"))) << name;
}

TEST_P(HelpContent, PagesAreUniqueAndTopicsAreNotEmpty) {
  const HelpFile file = Installed(GetParam());
  for (size_t i = 0; i < file.topics.size(); ++i) {
    EXPECT_FALSE(file.topics[i].lines.empty()) << file.topics[i].page;
    EXPECT_EQ(FindHelpPage(file, file.topics[i].page), &file.topics[i]) << file.topics[i].page;
  }
}

TEST_P(HelpContent, TopicsNameTheirPromptsInOrder) {
  const HelpFile file = Installed(GetParam());
  struct Row {
    const char* command;
    std::vector<MessageIndex> prompts;
  };
  const Row rows[] = {
      {"ibdev", {MSG_ENTER_BOARD_INDEX, MSG_ENTER_PRIMARY_ADDRESS, MSG_ENTER_SECONDARY_ADDRESS,
                 MSG_ENTER_TIMEOUT, MSG_ENTER_EOI_FLAG, MSG_ENTER_EOS}},
      {"ibconfig", {MSG_ENTER_CONFIG_PARAMETER, MSG_ENTER_PARAMETER_VALUE}},
      {"ibask", {MSG_ENTER_QUERY_PARAMETER}},
      {"iblck", {MSG_ENTER_PARAMETER_VALUE, MSG_ENTER_LOCK_WAIT_TIME}},
      {"ibln", {MSG_ENTER_PRIMARY_ADDRESS, MSG_ENTER_SECONDARY_ADDRESS}},
      {"ibwrt", {MSG_ENTER_STRING}},
      {"ibrd", {MSG_ENTER_BYTE_COUNT}},
      {"ibfind", {MSG_ENTER_BOARD_DEVICE_NAME}},
      {"ibwait", {MSG_ENTER_MASK}},
      {"findlstn", {MSG_ENTER_ADDRESS_LIST, MSG_ENTER_LIMIT}},
      {"receive", {MSG_ENTER_ADDRESS, MSG_ENTER_BYTE_COUNT, MSG_ENTER_TERMINATION}},
      {"send", {MSG_ENTER_ADDRESS, MSG_ENTER_STRING, MSG_ENTER_EOTMODE}},
      {"sendlist", {MSG_ENTER_ADDRESS_LIST, MSG_ENTER_STRING, MSG_ENTER_EOTMODE}},
      {"ppollconfig", {MSG_ENTER_ADDRESS, MSG_ENTER_DIOLINE, MSG_ENTER_SENSE}},
      {"ibexpert", {MSG_ENTER_EXPERT_OPTION, MSG_ENTER_ADDRESS, MSG_ENTER_ADDRESS_MODIFIER, MSG_ENTER_WIDTH,
                    MSG_ENTER_VALUE}},
      {"set", {MSG_ENTER_SET_NAME}},
      {"buffer", {MSG_ENTER_BUFFER_MODE}},
      {"raw", {MSG_ENTER_DEVICE_CODE}},
      {"$", {MSG_ENTER_FILENAME}},
  };
  for (const Row& row : rows) {
    const HelpTopic* topic = FindHelpKeyword(file, row.command);
    ASSERT_NE(topic, nullptr) << row.command;
    const std::string text = Text(*topic);
    size_t at = 0;
    for (MessageIndex prompt : row.prompts) {
      const size_t found = text.find(kMessages[prompt], at);
      EXPECT_NE(found, std::string::npos) << row.command << ": " << kMessages[prompt];
      if (found != std::string::npos) at = found;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(InstalledFiles, HelpContent, testing::Values("drovhelp.chm", "drovhelpjpn.chm"));

}  // namespace
