// The command catalogue: lookups, row positions and flag words.
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

TEST(CommandCatalogue, RowPositionsAndEndRow) {
  EXPECT_EQ(FindCommand("print"), 0);
  EXPECT_EQ(FindCommand("$"), 1);
  EXPECT_EQ(FindCommand("findalllstn"), 27);
  EXPECT_EQ(FindCommand("ibask"), 28);
  EXPECT_EQ(FindCommand("ibunlock"), 73);
  EXPECT_EQ(FindCommand("sendifc"), 74);
  EXPECT_EQ(FindCommand("sendsetup"), 90);
  EXPECT_EQ(FindCommand("waitsrq"), 102);
  EXPECT_EQ(FindCommand("generatereqt"), 103);
  EXPECT_EQ(FindCommand("ibxtrc"), 111);
  EXPECT_EQ(kCatalogue[kCatalogueRows].name, nullptr);
  EXPECT_EQ(kCatalogue[kCatalogueRows].code, CODE_NOTHING);
  // No word reaches the end row or the comment row's code through a lookup but "#".
  EXPECT_EQ(kCatalogue[FindCommand("#")].code, CODE_NOTHING);
}

TEST(CommandCatalogue, FlagWords) {
  struct Row {
    const char* name;
    uint32_t flags;
  } rows[] = {
      {"ibrd", 0x7},      {"ibrsp", 0x9},      {"ibconfig", 0x11}, {"ibln", 0x41},
      {"iblines", 0x81},  {"ibbna", 0x4001},   {"ibask", 0x8001},  {"ibexpert", 0x40001},
      {"findlstn", 0xC03}, {"findrqs", 0x1403}, {"testsrq", 0x2401}, {"testsys", 0x603},
      {"readstatusbyte", 0x501}, {"ibfind", CMD_NO_HANDLE}, {"w", 0x1}, {"ibrdn", 0x1},
  };
  for (const Row& r : rows) EXPECT_EQ(kCatalogue[FindCommand(r.name)].flags, r.flags) << r.name;
}

TEST(CommandCatalogue, ExpertOnlyCommands) {
  int expertOnly = 0;
  for (int i = 0; i < kCatalogueRows; ++i) expertOnly += IsExpertOnly(kCatalogue[i].code);
  EXPECT_EQ(expertOnly, 10);
  EXPECT_FALSE(IsExpertOnly(CODE_IBNOTIFY));
  EXPECT_TRUE(IsExpertOnly(CODE_IBEXPERT));
}
