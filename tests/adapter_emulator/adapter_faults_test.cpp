// The adapter back ends against adapters and devices that misbehave as real
// ones do, and against the AR488 as its manual describes it: the handle's
// timeout is the one that counts, no byte of one reply answers another
// command, the adapter's own lines never pass for data.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "adapter_bus.h"
#include "vexon/router/driver_api.h"

namespace {

using namespace adapter_test;
using Clock = std::chrono::steady_clock;

// Timeout codes.
constexpr int T100ms = 9, T300ms = 10, T1s = 11, T3s = 12, T10s = 13, T30s = 14;

const std::string kIdn = "TARNWICK,SIM-DMM,0001,1.0\n";

long MsSince(Clock::time_point t) {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count());
}

// Resets the emulators' faults at the end of a test.
struct Faults {
  ~Faults() {
    prologix.Emulate("reset");
    ar488.Emulate("reset");
  }
};

TEST(AdapterFaults, LateReplyWaitsForTheHandlesTimeout) {
  Faults f;
  // The adapter gives up on a read after 3 s at most; T10s waits 10 s.
  int dmm = ibdev(kTcp, 1, 0, T10s, 1, 0);
  ASSERT_TRUE(prologix.Emulate("late 3500"));
  EXPECT_EQ(Query(dmm, "*IDN?\n"), kIdn);
  EXPECT_EQ(Ibsta() & (ERR | END), END);
  ibonl(dmm, 0);
}

TEST(AdapterFaults, UnansweredPollLeavesNoWaitBehind) {
  for (int board : {kTcp, kAr488}) {
    int nobody = ibdev(board, 9, 0, T300ms, 1, 0), dmm = ibdev(board, 1, 0, T1s, 1, 0);
    char stb = 0;
    auto start = Clock::now();
    ibrsp(nobody, &stb);
    EXPECT_EQ(Ibsta() & (ERR | TIMO), ERR | TIMO) << board;
    EXPECT_EQ(Iberr(), EABO) << board;
    EXPECT_LT(MsSince(start), 1000) << board;
    // The adapter's own poll timeout was the handle's: the next call finds it idle.
    start = Clock::now();
    EXPECT_EQ(Query(dmm, "*IDN?\n"), kIdn) << board;
    EXPECT_LT(MsSince(start), 1000) << board;
    ibonl(nobody, 0);
    ibonl(dmm, 0);
  }
}

TEST(AdapterFaults, TailOfATimedOutReadNeverAnswersTheNextQuery) {
  Faults f;
  int dmm = ibdev(kTcp, 1, 0, T100ms, 1, 0);
  ASSERT_TRUE(prologix.Emulate("slow 40"));
  char buf[100];
  ibwrt(dmm, "*IDN?\n", 6);
  ibrd(dmm, buf, sizeof buf);
  EXPECT_EQ(Ibsta() & (ERR | TIMO), ERR | TIMO);
  // The talker is still at it, slowly: its tail is no answer to what comes next.
  ibconfig(dmm, IbcTMO, T3s);
  std::string volts = Query(dmm, "MEAS:VOLT?\n");
  EXPECT_EQ(volts.find("SIM"), std::string::npos) << volts;
  EXPECT_EQ(volts.back(), '\n') << volts;
  ibonl(dmm, 0);
}

TEST(AdapterFaults, TheAdaptersOwnLinesAreNeverDeviceData) {
  Faults f;
  int dmm = ibdev(kAr488, 1, 0, T3s, 1, 0), board = ibfindA("gpib4");
  // A build without REN control refuses "++ren".
  ASSERT_TRUE(ar488.Emulate("refuse ren Unavailable"));
  ibconfig(board, IbcSRE, 1);
  EXPECT_EQ(Ibsta() & ERR, ERR);
  EXPECT_EQ(Iberr(), ECAP);
  EXPECT_EQ(Query(dmm, "*IDN?\n"), kIdn);
  // A line ahead of a reply fails that read; the next answers are not shifted.
  ASSERT_TRUE(ar488.Emulate("stray Invalid parameter"));
  EXPECT_EQ(Query(dmm, "*IDN?\n"), "error " + std::to_string(EDVR));
  EXPECT_EQ(Query(dmm, "*IDN?\n"), kIdn);
  EXPECT_EQ(Query(dmm, "*IDN?\n"), kIdn);
  ibonl(dmm, 0);
  ibonl(board, 0);
}

TEST(AdapterFaults, HugeReplyReadsToItsCount) {
  Faults f;
  constexpr int kSize = 20'000'000;
  int dmm = ibdev(kTcp, 1, 0, T30s, 1, 0);
  ASSERT_TRUE(prologix.Emulate("big " + std::to_string(kSize)));
  std::vector<char> buf(kSize + 16);
  ibwrt(dmm, "*IDN?\n", 6);
  ibrd(dmm, buf.data(), static_cast<int>(buf.size()));
  EXPECT_EQ(Ibsta() & (ERR | END), END);
  EXPECT_EQ(Ibcnt(), kSize);
  EXPECT_EQ(buf[kSize - 1], '.');
  EXPECT_EQ(Query(dmm, "*IDN?\n"), kIdn);
  ibonl(dmm, 0);
}

TEST(AdapterFaults, DroppedMidReplyFailsOneCall) {
  Faults f;
  int dmm = ibdev(kTcp, 1, 0, T3s, 1, 0);
  ASSERT_TRUE(prologix.Emulate("drop 5"));
  EXPECT_EQ(Query(dmm, "*IDN?\n"), "error " + std::to_string(EDVR));
  EXPECT_EQ(Query(dmm, "*IDN?\n"), kIdn);
  ibonl(dmm, 0);
}

TEST(AdapterFaults, MarkByteInsideABlockFromASlowTalkerIsData) {
  Faults f;
  // A definite-length block whose payload holds the byte values the
  // adapter's end mark is chosen among, passed on more slowly than the wait
  // for an ambiguous mark.
  const std::string payload = {'\xff', '\xfe', '\xfd', '\xfc', '\x80', '\x00', '\x01', '\x1b'};
  const std::string block = "#18" + payload + "\n";
  for (int board : {kTcp, kAr488}) {
    EmulatorProcess& e = board == kTcp ? prologix : ar488;
    int loop = ibdev(board, 2, 0, T3s, 1, 0);
    ibwrt(loop, block.data(), static_cast<int>(block.size()));
    ASSERT_TRUE(e.Emulate("slow 80"));
    char buf[64];
    ibrd(loop, buf, sizeof buf);
    EXPECT_EQ(Ibsta() & (ERR | END), END) << board;
    EXPECT_EQ(std::string(buf, static_cast<size_t>(Ibcnt())), block) << board;
    ASSERT_TRUE(e.Emulate("reset"));
    ibonl(loop, 0);
  }
}

TEST(AdapterFaults, IbstopEndsAWaitingReadFromAnotherThread) {
  Faults f;
  int dmm = ibdev(kTcp, 1, 0, T10s, 1, 0);
  ASSERT_TRUE(prologix.Emulate("late 2500"));
  ibwrt(dmm, "*IDN?\n", 6);
  Clock::time_point stopped;
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    stopped = Clock::now();
    ibstop(dmm);
  });
  char buf[100];
  int sta = ibrd(dmm, buf, sizeof buf);
  const long late = MsSince(stopped);
  stopper.join();
  EXPECT_EQ(sta & ERR, ERR);
  EXPECT_LT(late, 500);
  ibonl(dmm, 0);
}

TEST(AdapterFaults, AfterIbstopTheAdapterIsSoonFreeForTheNextCall) {
  Faults f;
  for (int board : {kTcp, kAr488}) {
    EmulatorProcess& e = board == kTcp ? prologix : ar488;
    int dmm = ibdev(board, 1, 0, T10s, 1, 0);
    ASSERT_TRUE(e.Emulate("late 2500")) << board;
    ibwrt(dmm, "*IDN?\n", 6);
    std::thread stopper([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      ibstop(dmm);
    });
    char buf[100];
    const int sta = ibrd(dmm, buf, sizeof buf);
    stopper.join();
    EXPECT_EQ(sta & ERR, ERR) << board;
    EXPECT_EQ(Iberr(), EABO) << board;
    // The adapter goes on reading after the stop until its own timeout; the
    // next call's time is shorter than the late reply takes, and it is not
    // that reply that answers it.
    ibconfig(dmm, IbcTMO, T3s);
    const std::string volts = Query(dmm, "MEAS:VOLT?\n");
    EXPECT_EQ(volts.rfind("error", 0), std::string::npos) << board << " " << volts;
    EXPECT_EQ(volts.find("SIM"), std::string::npos) << board << " " << volts;
    EXPECT_EQ(Query(dmm, "*IDN?\n"), kIdn) << board;
    ibonl(dmm, 0);
  }
}

TEST(AdapterFaults, AWriteTheAdapterDoesNotTakeEndsWithTheHandlesTimeout) {
  Faults f;
  // More than the stream's buffers hold, while the adapter takes nothing.
  const std::vector<char> data(64 << 20, 'x');
  int dmm = ibdev(kTcp, 1, 0, T100ms, 1, 0);
  EXPECT_EQ(Query(dmm, "*IDN?\n"), kIdn);
  ASSERT_TRUE(prologix.Emulate("stall 1500"));
  ibwrt(dmm, data.data(), static_cast<int>(data.size()));
  EXPECT_EQ(Ibsta() & (ERR | TIMO), ERR | TIMO);
  EXPECT_EQ(Iberr(), EABO);
  // The part of the line that went out is no start of the next one.
  ibconfig(dmm, IbcTMO, T10s);
  EXPECT_EQ(Query(dmm, "*IDN?\n"), kIdn);
  ibonl(dmm, 0);
}

TEST(AdapterFaults, TextThatLooksLikeABlockHeaderEndsAtItsMark) {
  // Replies through the loop device, each with EOI on its last byte. Text
  // whose "#" and digits claim a payload longer than the reply ends at the
  // adapter's mark; real blocks keep their mark bytes as data.
  const std::string binary = {'\xff', '\x00', '\x01', '\xfe', '\xff', '\x80', '\n', '\r', '\x1b', '+'};
  const std::string rows[] = {
      "Error #12\n",        // a header's shape after a word
      "#9123456789\n",      // nine digits and no payload
      "1.5,#3100\n",        // after a separator
      "CURV #3100\n",       // after a response header
      "A#3100\n",           // inside a word: no header at all
      "#3100",              // no LF before the end
      "#15hello\n",         // a block of text
      "#210" + binary + "\n",
      "#13abc,#14\xff\xff\xff\xff\n",
      "#14ab\n\n\n",
  };
  for (int board : {kTcp, kAr488}) {
    int loop = ibdev(board, 2, 0, T3s, 1, 0);
    for (const std::string& reply : rows) {
      ibwrt(loop, reply.data(), static_cast<int>(reply.size()));
      char buf[64];
      ibrd(loop, buf, sizeof buf);
      EXPECT_EQ(Ibsta() & (ERR | END), END) << board << " " << reply;
      EXPECT_EQ(std::string(buf, static_cast<size_t>(Ibcnt())), reply) << board;
    }
    ibonl(loop, 0);
  }
}

// An adapter that answers "++srq" after the call's time is up: the wait
// ends as a timeout, and the late answer reaches no later call.
TEST(AdapterFaults, LateLineAnswerEndsTheWaitAsATimeout) {
  Faults reset;
  const int board = ibfindA("gpib4");
  const uint16_t pads[] = {1, 2, 3, 4, 5, 6, 7, NOADDR};
  uint16_t found[8] = {};
  ibconfig(board, IbcTMO, T10s);
  FindLstn(kAr488, pads, found, 8);
  const int listeners = Ibcnt();
  ASSERT_GT(listeners, 0);
  short result = -1, polls[2] = {};
  const uint16_t askers[] = {1, 5, NOADDR};
  AllSpoll(kAr488, askers, polls);  // no request left pending
  ibconfig(board, IbcTMO, T300ms);
  ASSERT_TRUE(ar488.Emulate("hold 800 srq"));
  WaitSRQ(kAr488, &result);
  EXPECT_EQ(Ibsta() & (ERR | TIMO), TIMO) << Iberr();
  EXPECT_EQ(result, 0);
  ibconfig(board, IbcTMO, T10s);
  FindLstn(kAr488, pads, found, 8);
  EXPECT_EQ(Ibsta() & ERR, 0) << Iberr();
  EXPECT_EQ(Ibcnt(), listeners);
  ibonl(board, 0);
}

TEST(Ar488Manual, ReadUntilTheEosByteOnFirmware053) {
  // 0.53 reads "++read 10" as "read from address 10": the read goes to EOI
  // and stops at the byte here.
  int loop = ibdev(kAr488, 2, 0, T3s, 1, 0x400 | '\n');
  ibwrt(loop, "ab\ncd", 5);
  char buf[16];
  ibrd(loop, buf, sizeof buf);
  EXPECT_EQ(std::string(buf, static_cast<size_t>(Ibcnt())), "ab\n");
  EXPECT_EQ(Ibsta() & (ERR | END), END);
  ibrd(loop, buf, sizeof buf);
  EXPECT_EQ(std::string(buf, static_cast<size_t>(Ibcnt())), "cd");
  EXPECT_EQ(Ibsta() & (ERR | END), END);
  ibonl(loop, 0);
}

TEST(Ar488Manual, CommandsAsTheManualGivesThem) {
  int dmm = ibdev(kAr488, 1, 0, T3s, 1, 0);
  const uint16_t devices[] = {1, 3, 4 | 0x60 << 8, NOADDR};
  struct Row {
    const char* what;
    std::function<void()> call;
    const char* lines;  // what the adapter heard
  } rows[] = {
      // A secondary address is addressed and triggered alone; primary ones go in one line.
      {"TriggerList", [&] { TriggerList(kAr488, devices); }, "++addr 4 96\n++trg\n++ver\n++trg 1 3\n++ver\n"},
      {"SendLLO", [&] { SendLLO(kAr488); }, "++llo all\n++ver\n"},
  };
  for (const Row& r : rows) {
    r.call();
    EXPECT_EQ(Ibsta() & ERR, 0) << r.what;
    const int n = static_cast<int>(std::count(r.lines, r.lines + std::strlen(r.lines), '\n'));
    EXPECT_EQ(ar488.LastLines(n), r.lines) << r.what;
    EXPECT_EQ(Query(dmm, "*IDN?\n"), kIdn) << r.what;
  }
  ibonl(dmm, 0);
}

TEST(Ar488Manual, NoEepromWriteOnABoardCalledPrologix) {
  int dmm = ibdev(kAr488AsPrologix, 1, 0, T3s, 1, 0);
  EXPECT_EQ(Query(dmm, "*IDN?\n"), kIdn);
  EXPECT_EQ(ar488.LastLines(100000).find("savecfg"), std::string::npos);
  ibonl(dmm, 0);
}

TEST(Ar488Manual, OpensOnceTheArduinoHasRestarted) {
  const auto start = Clock::now();
  int dmm = ibdev(kArduino, 1, 0, T3s, 1, 0);
  ASSERT_GE(dmm, 0) << Iberr();
  // The restart takes 1.3 s; asking again every 100 ms finds it soon after.
  EXPECT_LT(MsSince(start), kArduinoBootMs + 700);
  EXPECT_EQ(Query(dmm, "*IDN?\n"), kIdn);
  ibonl(dmm, 0);
}

}  // namespace
