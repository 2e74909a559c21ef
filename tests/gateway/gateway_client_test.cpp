// vorel-gateway through a VXI-11 client of our own, run by netns.sh against
// gateway_bus.yaml: link names, I/O and read reasons, interface links and
// docmd, locks and waitlock, device_abort, the interrupt channel, many
// clients at once and a client that goes away in the middle of a call.
#include <dirent.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "vxi11_client.h"

namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

constexpr long kEnd = 0x08, kWaitLock = 0x01, kTermCharSet = 0x80;
constexpr long kReqCnt = 0x01, kChr = 0x02, kEndReason = 0x04;

long LinkOf(Vxi11Client& client, const std::string& name) {
  Create_LinkResp r = client.Link(name);
  EXPECT_EQ(r.error, 0) << name;
  return r.lid;
}

int GatewayThreads() {
  const char* pid = std::getenv("GATEWAY_PID");
  if (!pid) return -1;
  DIR* dir = opendir(("/proc/" + std::string(pid) + "/task").c_str());
  if (!dir) return -1;
  int count = 0;
  while (dirent* e = readdir(dir))
    if (e->d_name[0] != '.') ++count;
  closedir(dir);
  return count;
}

// Waits up to 5 s for `condition`, which the gateway reaches on its own time.
template <class F>
bool Eventually(F condition) {
  for (auto end = Clock::now() + std::chrono::seconds(5); Clock::now() < end;
       std::this_thread::sleep_for(milliseconds(20)))
    if (condition()) return true;
  return condition();
}

TEST(Gateway, LinkNames) {
  Vxi11Client client;
  ASSERT_TRUE(client.core) << "no gateway registered with the portmapper";
  struct Case {
    const char* name;
    long error;
  } cases[] = {
      {"gpib0", 0},     {"gpib1", 0},       {"gpib0,1", 0},     {"gpib0,4,0", 0}, {"gpib0,4,96", 0},
      {"gpib0,30,30", 0}, {"inst0", 0},     {"loop12", 0},      {"gpib0,31", 21}, {"gpib0,1,31", 21},
      {"gpib0,1,127", 21}, {"gpib2", 3},    {"gpib2,1", 3},     {"nosuch", 3},    {"", 1},
      {"gpib0,", 1},    {"gpib0,x", 1},     {"gpib0,1,2,3", 1}, {"gpib0,,1", 1},
  };
  std::vector<long> lids;
  for (const Case& c : cases) {
    Create_LinkResp r = client.Link(c.name);
    EXPECT_EQ(r.error, c.error) << c.name;
    EXPECT_EQ(r.maxRecvSize, c.error ? r.maxRecvSize : 1024UL) << c.name;
    if (r.error == 0) {
      EXPECT_NE(r.lid, 0);
      for (long other : lids) EXPECT_NE(r.lid, other) << c.name;
      lids.push_back(r.lid);
    }
  }
  for (long lid : lids) EXPECT_EQ(client.Destroy(lid), 0);
  EXPECT_EQ(client.Destroy(lids.front()), 4);
  std::string data;
  EXPECT_EQ(client.Write(12345, "x"), 4);
  EXPECT_EQ(client.Read(12345, 10, &data), 4);
}

TEST(Gateway, ReadReasons) {
  Vxi11Client client;
  long loop = LinkOf(client, "gpib0,2");
  struct Case {
    const char* written;
    unsigned long size;
    long flags;
    char termChar;
    const char* read;
    long reason;
  } cases[] = {
      {"abcdef", 100, 0, 0, "abcdef", kEndReason},
      {"abcdef", 4, 0, 0, "abcd", kReqCnt},
      {"abcdef", 6, 0, 0, "abcdef", kReqCnt | kEndReason},
      {"ab\ncd", 100, kTermCharSet, '\n', "ab\n", kChr},
      {"abcd\n", 100, kTermCharSet, '\n', "abcd\n", kChr},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(client.Generic(loop, device_clear), 0);
    ASSERT_EQ(client.Write(loop, c.written), 0);
    std::string data;
    long reason = -1;
    EXPECT_EQ(client.Read(loop, c.size, &data, &reason, c.flags, c.termChar), 0) << c.written;
    EXPECT_EQ(data, c.read) << c.written;
    EXPECT_EQ(reason, c.reason) << c.written << " " << c.size;
  }
  // Nothing to read: the timeout, with the bytes so far (none).
  std::string data;
  EXPECT_EQ(client.Read(loop, 100, &data, nullptr, 0, 0, 50), 15);
  EXPECT_EQ(data, "");
  // A write beyond maxRecvSize is refused.
  EXPECT_EQ(client.Write(loop, std::string(1025, 'x')), 5);
}

TEST(Gateway, DeviceCalls) {
  Vxi11Client client;
  long dmm = LinkOf(client, "inst0");
  ASSERT_EQ(client.Write(dmm, "*IDN?\n"), 0);
  std::string data;
  ASSERT_EQ(client.Read(dmm, 100, &data), 0);
  EXPECT_EQ(data, "TARNWICK,SIM-DMM,0001,1.0\n");
  EXPECT_EQ(client.Generic(dmm, device_trigger), 0);
  EXPECT_EQ(client.Generic(dmm, device_remote), 0);
  EXPECT_EQ(client.Generic(dmm, device_local), 0);
  std::string out;
  EXPECT_EQ(client.Docmd(dmm, 0x020001, true, 2, std::string("\0\1", 2), &out), 8) << "docmd on a device link";
}

TEST(Gateway, InterfaceLinkAndDocmd) {
  Vxi11Client client;
  long bus = LinkOf(client, "gpib0");
  unsigned char stb = 0;
  EXPECT_EQ(client.ReadStb(bus, &stb), 8);
  EXPECT_EQ(client.Generic(bus, device_remote), 8);
  EXPECT_EQ(client.Generic(bus, device_local), 8);
  EXPECT_EQ(client.Generic(bus, device_trigger), 0);
  EXPECT_EQ(client.Generic(bus, device_clear), 0);

  struct Case {
    long cmd;
    bool networkOrder;
    long datasize;
    std::string in;
    long error;
    std::string out;
  } cases[] = {
      // UNL UNT, then the loopback at 2 as listener: MTA 0 (0x40), LAD 2 (0x22).
      {0x020000, true, 1, "\x3F\x5F\x40\x22", 0, ""},
      {0x020000, true, 1, "", 5, ""},
      {0x020000, true, 1, std::string(129, '\x3F'), 5, ""},
      {0x020000, true, 2, "\x3F\x5F", 5, ""},
      // Bus status: REN (asserted at start), system controller, in charge, address 0.
      {0x020001, true, 2, std::string("\0\1", 2), 0, std::string("\0\1", 2)},
      {0x020001, false, 2, std::string("\1\0", 2), 0, std::string("\1\0", 2)},
      {0x020001, true, 2, std::string("\0\4", 2), 0, std::string("\0\1", 2)},
      {0x020001, true, 2, std::string("\0\5", 2), 0, std::string("\0\1", 2)},
      {0x020001, false, 2, std::string("\5\0", 2), 0, std::string("\1\0", 2)},
      {0x020001, true, 2, std::string("\0\6", 2), 0, std::string("\0\1", 2)},
      {0x020001, true, 2, std::string("\0\x08", 2), 0, std::string("\0\0", 2)},
      {0x020001, true, 2, std::string("\0\x09", 2), 5, ""},
      {0x020001, true, 4, std::string("\0\0\0\1", 4), 5, ""},
      {0x02000A, true, 4, std::string("\0\0\0\0", 4), 0, ""},
      {0x02000A, false, 4, std::string("\x1F\0\0\0", 4), 5, ""},
      {0x020003, true, 2, std::string("\0\1", 2), 0, ""},
      {0x020099, true, 0, "", 8, ""},
  };
  for (const Case& c : cases) {
    std::string out;
    EXPECT_EQ(client.Docmd(bus, c.cmd, c.networkOrder, c.datasize, c.in, &out), c.error)
        << std::hex << c.cmd << " " << c.in.size();
    EXPECT_EQ(out, c.out) << std::hex << c.cmd;
  }
  // The board addressed the loopback as listener: a write on the interface
  // link reaches it without addressing.
  long loop = LinkOf(client, "gpib0,2");
  ASSERT_EQ(client.Generic(loop, device_clear), 0);
  std::string out;
  ASSERT_EQ(client.Docmd(bus, 0x020000, true, 1, "\x3F\x5F\x40\x22", &out), 0);
  EXPECT_EQ(client.Write(bus, "raw"), 0);
  std::string data;
  EXPECT_EQ(client.Read(loop, 10, &data), 0);
  EXPECT_EQ(data, "raw");
}

TEST(Gateway, LocksAcrossConnections) {
  Vxi11Client first, second;
  long a = LinkOf(first, "gpib0,2");
  long b = LinkOf(second, "loop");  // the same device by its name
  EXPECT_EQ(second.Unlock(b), 12);
  ASSERT_EQ(first.Lock(a, 0, 0), 0);
  EXPECT_EQ(second.Lock(b, 0, 0), 11);
  EXPECT_EQ(second.Write(b, "x", kEnd, 0), 11);
  EXPECT_EQ(second.Link("gpib0,2", true, 0).error, 11);
  // With waitlock, the call waits up to lock_timeout.
  auto start = Clock::now();
  EXPECT_EQ(second.Write(b, "x", kEnd | kWaitLock, 300), 11);
  EXPECT_GE(Clock::now() - start, milliseconds(250));
  // ... and goes on when the lock is released meanwhile.
  auto released = std::async(std::launch::async, [&] {
    std::this_thread::sleep_for(milliseconds(200));
    return first.Unlock(a);
  });
  EXPECT_EQ(second.Write(b, "mine", kEnd | kWaitLock, 10000), 0);
  EXPECT_EQ(released.get(), 0);
  // An interface link's lock covers the board's devices.
  long bus = LinkOf(first, "gpib0");
  ASSERT_EQ(first.Lock(bus, 0, 0), 0);
  std::string data;
  EXPECT_EQ(second.Read(b, 10, &data), 11);
  EXPECT_EQ(first.Destroy(bus), 0);  // releases it
  EXPECT_EQ(second.Read(b, 10, &data), 0);
  EXPECT_EQ(data, "mine");
}

TEST(Gateway, AbortEndsTheCallInProgress) {
  Vxi11Client holder, waiter;
  long held = LinkOf(holder, "gpib0,2");
  Create_LinkResp w = waiter.Link("gpib0,2");
  ASSERT_EQ(w.error, 0);
  ASSERT_NE(w.abortPort, 0);
  ASSERT_EQ(holder.Lock(held, 0, 0), 0);
  auto start = Clock::now();
  auto call = std::async(std::launch::async, [&] { return waiter.Write(w.lid, "x", kEnd | kWaitLock, 20000); });
  // An abort that arrives before the call does not end it: abort until it ends.
  do EXPECT_EQ(Abort(w.abortPort, w.lid), 0);
  while (call.wait_for(milliseconds(200)) != std::future_status::ready && Clock::now() - start < std::chrono::seconds(10));
  EXPECT_EQ(call.get(), 23);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
  EXPECT_EQ(Abort(w.abortPort, 999999), 4);
}

TEST(Gateway, InterruptChannelAndSrq) {
  Vxi11Client client;
  InterruptServer intr;
  EXPECT_EQ(client.DestroyIntrChan(), 6);
  ASSERT_EQ(client.CreateIntrChan(intr.port), 0);
  EXPECT_EQ(client.CreateIntrChan(intr.port), 29);
  // The faulty device requests service from power-on: enabling SRQ while
  // the line is true is reported at once.
  long faulty = LinkOf(client, "gpib0,5");
  ASSERT_EQ(client.EnableSrq(faulty, true, "faulty"), 0);
  EXPECT_EQ(intr.Next(3000), "faulty");
  unsigned char stb = 0;
  ASSERT_EQ(client.ReadStb(faulty, &stb), 0);
  EXPECT_TRUE(stb & 0x40);
  // The meter requests service when a response is ready (MAV with *SRE 16):
  // every enabled link of the bus hears of it.
  long dmm = LinkOf(client, "gpib0,1");
  ASSERT_EQ(client.Write(dmm, "*SRE 16\n"), 0);
  ASSERT_EQ(client.EnableSrq(dmm, true, std::string(40, 'd')), 0);
  EXPECT_EQ(intr.Next(200), "") << "no request yet";
  ASSERT_EQ(client.Write(dmm, "*IDN?\n"), 0);
  std::string first = intr.Next(3000), second = intr.Next(3000);
  EXPECT_TRUE((first == "faulty" && second == std::string(40, 'd')) ||
              (second == "faulty" && first == std::string(40, 'd')))
      << first << " " << second;
  ASSERT_EQ(client.ReadStb(dmm, &stb), 0);
  EXPECT_EQ(stb & 0x50, 0x50);
  EXPECT_EQ(client.EnableSrq(dmm, true, std::string(41, 'd')), -1) << "a handle over 40 bytes is garbage";
  EXPECT_EQ(client.DestroyIntrChan(), 0);
  EXPECT_EQ(client.DestroyIntrChan(), 6);
}

TEST(Gateway, SixteenClientsAtOnce) {
  constexpr int kClients = 16, kQueries = 1000;
  std::atomic<int> crossed{0}, failed{0};
  std::vector<std::thread> threads;
  for (int c = 0; c < kClients; ++c) {
    threads.emplace_back([&, c] {
      Vxi11Client client;
      Create_LinkResp link = client.Link("gpib0," + std::to_string(10 + c));
      if (link.error != 0) {
        ++failed;
        return;
      }
      for (int i = 0; i < kQueries; ++i) {
        std::string query = "client " + std::to_string(c) + " query " + std::to_string(i);
        std::string answer;
        if (client.Write(link.lid, query) != 0 || client.Read(link.lid, 1000, &answer) != 0)
          ++failed;
        else if (answer != query)
          ++crossed;
      }
      client.Destroy(link.lid);
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(failed, 0);
  EXPECT_EQ(crossed, 0);
}

TEST(Gateway, ClientGoneInTheMiddleOfACall) {
  int threadsBefore = GatewayThreads();
  Vxi11Client holder;
  long held = LinkOf(holder, "gpib0,2");
  ASSERT_EQ(holder.Lock(held, 0, 0), 0);
  {
    Vxi11Client leaving;
    ASSERT_EQ(leaving.Link("gpib0,3", true, 0).error, 0);  // locked by its link
    long waiting = LinkOf(leaving, "gpib0,2");
    // A call that waits for the other client's lock, given up after 100 ms.
    timeval brief{0, 100000};
    clnt_control(leaving.core, CLSET_TIMEOUT, reinterpret_cast<char*>(&brief));
    EXPECT_EQ(leaving.Write(waiting, "x", kEnd | kWaitLock, 60000), -1);
    leaving.Drop();
  }
  // Its links went with it: gpib0,3 can be locked at once, and its thread ended.
  Vxi11Client other;
  long seq = LinkOf(other, "gpib0,3");
  EXPECT_TRUE(Eventually([&] { return other.Lock(seq, 0, 0) == 0; }));
  EXPECT_EQ(holder.Unlock(held), 0);
  if (threadsBefore >= 0) {
    other.Drop();
    holder.Drop();
    // Threads of earlier tests' connections may still be ending at the start.
    EXPECT_TRUE(Eventually([&] { return GatewayThreads() <= threadsBefore; }))
        << GatewayThreads() << " threads, " << threadsBefore << " before";
  }
}

}  // namespace
