// The command catalogue: lookups and the expert-only rows.
#include "console/command_catalogue.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

TEST(CommandCatalogue, FindCommandMatchesWholeWordsIgnoringCase) {
  struct Row {
    const char* word;
    int32_t code;  // -1: not found
  } rows[] = {
      {"QUIT", CODE_EXIT}, {"Quit", CODE_EXIT}, {"q", CODE_EXIT}, {"later", CODE_EXIT},
      {"qu", -1},          {"ex", -1},          {"AllSpoll", CODE_ALLSPOLL},
      {"iblock", CODE_NOT_SUPPORTED},           {"ibdev.x", -1}, {"", -1},
      {"ibwrt", CODE_IBWRT}, {"IBRDA", CODE_IBRDA},
  };
  for (const Row& r : rows) {
    int row = FindCommand(r.word);
    if (r.code < 0) {
      EXPECT_EQ(row, -1) << r.word;
    } else {
      ASSERT_GE(row, 0) << r.word;
      EXPECT_EQ(kCatalogue[row].code, r.code) << r.word;
    }
  }
  EXPECT_EQ(FindCommand(nullptr), -1);
}

TEST(CommandCatalogue, ExpertOnlyCommands) {
  int expertOnly = 0;
  for (int i = 0; i < kCatalogueRows; ++i) expertOnly += IsExpertOnly(kCatalogue[i].code);
  EXPECT_EQ(expertOnly, 10);
  EXPECT_FALSE(IsExpertOnly(CODE_IBNOTIFY));
  EXPECT_TRUE(IsExpertOnly(CODE_IBEXPERT));
}
