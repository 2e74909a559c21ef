// The handle registry: very long names, and the prompt name read from another thread.
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
