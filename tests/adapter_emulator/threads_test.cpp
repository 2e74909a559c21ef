// The library called from many threads at once: workers on their own devices
// of a simulated board and of an emulated adapter, one thread opening and
// closing handles, one stopping a read that waits. Every worker must read
// back exactly what it wrote, its own status words must be those of its own
// calls, and ibstop must end the waiting read long before its timeout.
// Built with ThreadSanitizer, the suite also reports any data race.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "emulator_process.h"
#include "vexon/router/driver_api.h"
#include "vexon/router/router.h"

namespace {

// Boards: the simulated bus itself, an emulated adapter (whose bus is the
// default one as well) over TCP and, for the read that ibstop ends, another
// over its pseudo-terminal.
constexpr int kSim = 0, kAdapter = 2, kStopped = 3;
constexpr int kRounds = 60;
constexpr int kNobody = 20;  // an address without a device

// Two adapters, as on a bench: one serves the workers, the other only the
// read that ibstop ends (an adapter serves one read at a time, so a read
// waiting on the first would hold up every worker behind it).
EmulatorProcess adapter, stoppedAdapter;

class ThreadBus : public ::testing::Environment {
 public:
  void SetUp() override {
    char dir[] = "/tmp/threads_test.XXXXXX", stoppedDir[] = "/tmp/threads_test.XXXXXX";
    ASSERT_TRUE(mkdtemp(dir) && mkdtemp(stoppedDir));
    ASSERT_TRUE(adapter.Start(dir, {}));
    ASSERT_TRUE(stoppedAdapter.Start(stoppedDir, {}));
    vexon::BusConfig bus = vexon::DefaultBus();
    vexon::BoardSettings tcp, pty;
    tcp.index = kAdapter;
    tcp.backend = "prologix";
    tcp.host = "127.0.0.1";
    tcp.tcpPort = adapter.port;
    pty.index = kStopped;
    pty.backend = "prologix";
    pty.port = stoppedAdapter.ptyLink;
    bus.boards = {bus.boards[0], tcp, pty};
    vexon::UseBus(bus);
  }
  void TearDown() override {
    adapter.Stop();
    stoppedAdapter.Stop();
  }
};
const auto* const environment = ::testing::AddGlobalTestEnvironment(new ThreadBus);

// A device of the default bus and what it answers; an empty answer: the
// loopback, which answers with what it heard.
struct Device {
  int pad, sad;
  const char* query;
  const char* answer;
};
const Device kDevices[] = {
    {1, 0, "*IDN?\n", "TARNWICK,SIM-DMM,0001,1.0\n"},
    {2, 0, nullptr, nullptr},
    {4, 0x60, "VAL?\n", "SECONDARY\n"},
    {5, 0, "*IDN?\n", "TARNWICK,SIM-FAULTY,0005,1.0\n"},
};
constexpr int kDeviceCount = sizeof kDevices / sizeof kDevices[0];

// Queries its device and reads the answer, round after round; the first
// fault it sees, as text, or empty.
std::string Worker(int board, const Device& d) {
  const int ud = ibdev(board, d.pad, d.sad, 13 /* T10s */, 1, 0);
  if (ud < 0) return "ibdev failed, iberr " + std::to_string(ThreadIberr());
  std::string fault;
  char buf[64];
  for (int round = 0; round < kRounds && fault.empty(); ++round) {
    const std::string sent = d.query ? d.query : "b" + std::to_string(board) + "r" + std::to_string(round);
    const std::string expected = d.answer ? d.answer : sent;
    const int n = static_cast<int>(sent.size());
    int sta = ibwrt(ud, sent.data(), n);
    if (sta != ThreadIbsta() || (sta & ERR) || ThreadIbcnt() != n || ThreadIbcntl() != n)
      fault = "write " + sent + ": ibsta " + std::to_string(sta) + ", thread's " + std::to_string(ThreadIbsta());
    else if ((sta = ibrd(ud, buf, sizeof buf)) != ThreadIbsta() || (sta & ERR))
      fault = "read after " + sent + ": ibsta " + std::to_string(sta) + " iberr " + std::to_string(ThreadIberr());
    else if (std::string(buf, static_cast<size_t>(ThreadIbcnt())) != expected)
      fault = "read " + std::string(buf, static_cast<size_t>(ThreadIbcnt())) + " after " + sent;
  }
  ibonl(ud, 0);
  return fault;
}

TEST(Threads, WorkersOpenersAndStopsKeepToTheirOwnHandles) {
  std::atomic<bool> done{false};
  std::vector<std::string> faults(2 * kDeviceCount);
  std::vector<std::thread> threads;
  for (int i = 0; i < 2 * kDeviceCount; ++i) {
    const int board = i < kDeviceCount ? kSim : kAdapter;
    threads.emplace_back([&faults, i, board] { faults[i] = Worker(board, kDevices[i % kDeviceCount]); });
  }

  // Opens and closes handles on both boards while the workers run: device
  // handles from 16 up, and the board handles, whose numbers are the boards'.
  std::string openerFault;
  std::thread opener([&] {
    while (!done.load() && openerFault.empty()) {
      for (int board : {kSim, kAdapter}) {
        int ud = ibdev(board, kNobody, 0, 11, 1, 0);
        if (ud < vexon::kFirstDeviceHandle) openerFault = "ibdev gave " + std::to_string(ud);
        else if (ibonl(ud, 0) & ERR) openerFault = "ibonl failed, iberr " + std::to_string(ThreadIberr());
        const std::string name = "gpib" + std::to_string(board);
        int bd = ibfindA(name.c_str());
        if (bd != board) openerFault = "ibfind gave " + std::to_string(bd) + " for board " + std::to_string(board);
      }
    }
  });

  // A read from an address without a device waits out its 10 s; ibstop from
  // another thread ends it with EABO.
  const int victim = ibdev(kStopped, kNobody, 0, 13 /* T10s */, 1, 0);
  ASSERT_GE(victim, vexon::kFirstDeviceHandle);
  std::atomic<bool> reading{false};
  int victimSta = 0, victimErr = 0;
  std::chrono::steady_clock::time_point stoppedAt, endedAt;
  std::thread stopper([&] {
    while (!reading.load()) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    stoppedAt = std::chrono::steady_clock::now();
    ibstop(victim);
  });
  char buf[16];
  reading = true;
  victimSta = ibrd(victim, buf, sizeof buf);
  victimErr = ThreadIberr();
  endedAt = std::chrono::steady_clock::now();
  stopper.join();

  for (auto& t : threads) t.join();
  done = true;
  opener.join();
  ibonl(victim, 0);

  for (int i = 0; i < 2 * kDeviceCount; ++i) EXPECT_EQ(faults[i], "") << "worker " << i;
  EXPECT_EQ(openerFault, "");
  EXPECT_TRUE(victimSta & ERR);
  EXPECT_EQ(victimErr, EABO);
  const auto stopMs = std::chrono::duration_cast<std::chrono::milliseconds>(endedAt - stoppedAt).count();
  RecordProperty("stop_ms", static_cast<int>(stopMs));
  // Far below the read's 10 s; the stop itself takes a poll's wake-up.
  EXPECT_LT(stopMs, 2000);
}

// Each thread's words are its own; Ibsta() and friends are the last call's
// of any thread.
TEST(Threads, EachThreadKeepsItsOwnStatus) {
  const int ud = ibdev(kSim, 1, 0, 13, 1, 0);
  ASSERT_GE(ud, vexon::kFirstDeviceHandle);
  ibwrt(ud, "abc", 3);
  std::thread other([] { ibonl(1000, 1); });  // no such handle: EDVR
  other.join();
  EXPECT_EQ(ThreadIbsta() & ERR, 0);
  EXPECT_EQ(ThreadIbcnt(), 3);
  EXPECT_TRUE(Ibsta() & ERR);
  EXPECT_EQ(Iberr(), EDVR);
  ibonl(ud, 0);
}

}  // namespace
