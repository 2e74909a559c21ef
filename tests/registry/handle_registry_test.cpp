// The handle registry: names, generated names, the board entry and removal.
#include "registry/handle_registry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

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
// The notify callback reads the prompt name on the driver's thread while the
// command loop changes the selection; the copy it reads is always a whole name.
TEST_F(Registry, NameSnapshotFromAnotherThread) {
  RegisterNamed(1, "dmm");
  RegisterNamed(2, "loop");
  std::atomic<bool> stop{false};
  std::atomic<int> bad{0};
  std::thread reader([&] {
    while (!stop) {
      std::string n = CurrentNameSnapshot();
      if (n != "dmm" && n != "loop" && n != "488.2 (3)" && n != "") ++bad;
    }
  });
  for (int i = 0; i < 20000; ++i) {
    SelectByName(i % 2 ? "dmm" : "loop");
    if (i % 7 == 0) SelectBoard(3);
    if (i % 11 == 0) SelectNone();
  }
  stop = true;
  reader.join();
  EXPECT_EQ(bad, 0);
  SelectByName("dmm");
  EXPECT_EQ(CurrentNameSnapshot(), "dmm");
}

}  // namespace
