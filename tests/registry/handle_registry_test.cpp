// The handle registry: names, generated names, the board entry and removal.
#include "registry/handle_registry.h"

#include <gtest/gtest.h>

#include <string>

namespace {
struct Registry : testing::Test {
  void SetUp() override { ResetRegistry(); }
  void TearDown() override { ResetRegistry(); }
};

TEST_F(Registry, NothingSelectedAtStart) {
  EXPECT_EQ(CurrentHandle(), -1);
  EXPECT_STREQ(CurrentName(), "");
  EXPECT_EQ(CurrentKey(), nullptr);
}

TEST_F(Registry, RegisterNamedOverwritesAndSelects) {
  EXPECT_TRUE(RegisterNamed(5, "gpib0"));
  EXPECT_TRUE(RegisterNamed(7, "dmm"));
  EXPECT_STREQ(CurrentName(), "dmm");
  EXPECT_TRUE(RegisterNamed(9, "gpib0"));
  EXPECT_EQ(CurrentHandle(), 9);
  EXPECT_TRUE(SelectByName("dmm"));
  EXPECT_EQ(CurrentHandle(), 7);
}

TEST_F(Registry, KeysDifferByCase) {
  RegisterNamed(1, "GPIB0");
  EXPECT_FALSE(SelectByName("gpib0"));
  EXPECT_EQ(CurrentHandle(), -1);
  EXPECT_FALSE(SelectByName(nullptr));
}

TEST_F(Registry, GeneratedNamesAreNeverReused) {
  RegisterDevice(3);
  RegisterDevice(4);
  EXPECT_STREQ(CurrentName(), "ud1");
  RemoveCurrent();
  EXPECT_EQ(CurrentHandle(), -1);
  EXPECT_FALSE(SelectByName("ud1"));
  RegisterDevice(6);
  EXPECT_STREQ(CurrentName(), "ud2");
  EXPECT_TRUE(SelectByName("ud0"));
}

TEST_F(Registry, BoardEntry) {
  EXPECT_TRUE(SelectBoard(2));
  EXPECT_STREQ(CurrentName(), "488.2 (2)");
  EXPECT_STREQ(CurrentKey(), "488.2");
  EXPECT_EQ(CurrentHandle(), 2);
  EXPECT_TRUE(SelectBoard(0));
  EXPECT_STREQ(CurrentName(), "488.2 (0)");
  RegisterNamed(4, "dmm");
  EXPECT_FALSE(SelectBoard(-1));
  EXPECT_STREQ(CurrentName(), "dmm");
}

TEST_F(Registry, VeryLongNames) {
  std::string name(5000, 'x');
  EXPECT_TRUE(RegisterNamed(1, name.c_str()));
  EXPECT_EQ(std::string(CurrentName()).size(), 5000u);
}
}  // namespace
