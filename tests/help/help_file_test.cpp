// The topic file parser and the page and keyword lookups.
#include "help/help_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "help_fixture.h"

namespace {

using Lines = std::vector<std::string>;

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
