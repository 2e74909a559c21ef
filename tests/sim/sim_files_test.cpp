// ibrdf and ibwrtf on what a user can name besides a regular file: each call
// ends at once with its status, and the program is never signalled.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

#include "sim_api.h"

namespace {

std::string Scratch(const char* name) {
  return testing::TempDir() + name + "." + std::to_string(::getpid());
}

struct Result {
  int sta, err, cnt;
};

template <typename Call>
Result Outcome(Call call) {
  int sta = call();
  return {sta, (sta & ERR) ? Iberr() : 0, Ibcnt()};
}

TEST(SimFiles, DirectoriesDevicesAndFifos) {
  int loop = ibfindA("loop");
  ASSERT_GE(loop, 0);
  const std::string fifo = Scratch("sim_fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string dir = testing::TempDir();
  struct Case {
    const char* what;
    bool write;  // ibwrtf, else ibrdf after the loop device was given "x"
    std::string path;
    int err;     // 0: no ERR
    int cnt;
  } cases[] = {
      {"directory read", true, dir, EFSO, 0},
      {"directory written", false, dir, EFSO, 0},
      {"endless device read", true, "/dev/zero", EFSO, 0},
      {"device written", false, "/dev/null", 0, 1},
      {"FIFO without a writer reads as empty", true, fifo, 0, 0},
      {"FIFO without a reader", false, fifo, EFSO, 0},
  };
  for (const Case& c : cases) {
    ibwrt(loop, "x", 1);
    Result r = Outcome([&] { return c.write ? ibwrtfA(loop, c.path.c_str()) : ibrdfA(loop, c.path.c_str()); });
    EXPECT_EQ(r.err, c.err) << c.what;
    if (!c.err) {
      EXPECT_EQ(r.cnt, c.cnt) << c.what;
    }
    char drain[8];
    ibrd(loop, drain, sizeof drain);
  }
  // A reader that goes away while ibrdf writes: EFSO, and no SIGPIPE.
  int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  const std::string big(1 << 20, 'b');
  ibwrt(loop, big.data(), static_cast<int>(big.size()));
  {
    // The pipe holds 64 KiB: the write blocks until the reader leaves.
    std::thread leaves([reader] {
      usleep(20000);
      close(reader);
    });
    Result r = Outcome([&] { return ibrdfA(loop, fifo.c_str()); });
    leaves.join();
    EXPECT_EQ(r.err, EFSO);
  }
  std::remove(fifo.c_str());
  ibonl(loop, 0);
}

}  // namespace
