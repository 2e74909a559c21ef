// The adapter back ends through the emulated adapter, over TCP and a
// pseudo-terminal: the same calls give the same results as on the simulated
// bus itself, a repeated query costs two lines, and an adapter that goes
// away fails one call with EDVR and then comes back.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "../vexon/async_session.h"
#include "../vexon/option_session.h"
#include "adapter_bus.h"
#include "vexon/router/driver_api.h"

namespace {

using namespace adapter_test;

// One call's outcome as the comparison sees it: the transfer bits of ibsta
// (the line and addressing bits of a board differ by nature), iberr with ERR,
// ibcntl and the bytes read.
std::string Outcome(const std::string& what, const void* data = nullptr, int n = 0) {
  int sta = Ibsta();
  std::string s = what + ": sta " + std::to_string(sta & (ERR | TIMO | END | CMPL));
  if (sta & ERR) s += " err " + std::to_string(Iberr());
  s += " cnt " + std::to_string(Ibcnt());
  for (int i = 0; i < n && !(sta & ERR); ++i) s += " " + std::to_string(static_cast<const uint8_t*>(data)[i]);
  return s;
}

// The calls a program makes through any board that can address devices.
std::vector<std::string> Session(int board) {
  std::vector<std::string> out;
  char buf[512];
  auto dev = [&](int pad, int sad = 0) { return ibdev(board, pad, sad, 10, 1, 0); };
  auto write = [&](const char* what, int ud, const std::string& s) {
    ibwrt(ud, s.data(), static_cast<int>(s.size()));
    out.push_back(Outcome(what));
  };
  auto read = [&](const char* what, int ud, int count) {
    ibrd(ud, buf, count);
    out.push_back(Outcome(what, buf, Ibcnt()));
  };
  int dmm = dev(1), loop = dev(2), seq = dev(3), sec = dev(4, 0x60), faulty = dev(5);
  ibclr(seq);  // an adapter reads ahead of a talker that never ends
  write("query", dmm, "*IDN?\n");
  read("answer", dmm, 100);
  write("query", dmm, "MEAS:VOLT?\n");
  read("first part", dmm, 5);
  read("rest", dmm, 100);
  read("nothing to say", dmm, 100);
  std::string all;
  for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
  write("every byte value", loop, all);
  read("back", loop, 300);
  write("secondary", sec, "VAL?\n");
  read("secondary answer", sec, 100);
  for (int i = 0; i < 2; ++i) {
    char stb = 0;
    ibrsp(faulty, &stb);
    out.push_back(Outcome("serial poll", &stb, 1));
  }
  read("never ends", seq, 10);
  read("goes on", seq, 10);
  ibconfig(loop, IbcEOS, 0x400 | '\n');
  out.push_back(Outcome("eos") + " previous " + std::to_string(Iberr()));
  write("two lines", loop, "ab\ncd");
  read("to the EOS byte", loop, 10);
  read("to EOI", loop, 10);
  ibclr(dmm);
  out.push_back(Outcome("clear"));
  ibtrg(dmm);
  out.push_back(Outcome("trigger"));
  ibloc(dmm);
  out.push_back(Outcome("local"));
  int tmo = 0;
  ibask(dmm, IbcTMO, &tmo);
  out.push_back(Outcome("ask") + " value " + std::to_string(tmo));
  Send(board, 1, "*IDN?", 5, NLend);
  out.push_back(Outcome("Send"));
  Receive(board, 1, buf, 100, STOPend);
  out.push_back(Outcome("Receive", buf, Ibcnt()));
  short result = -1;
  ReadStatusByte(board, 5, &result);
  out.push_back(Outcome("ReadStatusByte") + " " + std::to_string(result));
  TestSRQ(board, &result);
  out.push_back(Outcome("TestSRQ") + " " + std::to_string(result));
  DevClear(board, 1);
  out.push_back(Outcome("DevClear"));
  for (int ud : {dmm, loop, seq, sec, faulty}) ibonl(ud, 0);
  return out;
}

TEST(PrologixBackEnd, SameResultsAsTheSimulatedBus) {
  // The emulator's bus and ours start alike and see each session once more.
  std::vector<std::string> direct = Session(kSim);
  EXPECT_EQ(Session(kTcp), direct);
  direct = Session(kSim);
  EXPECT_EQ(Session(kPty), direct);
}

TEST(PrologixBackEnd, SettingsAsOnTheSimulatedBus) {
  const std::vector<std::string> direct = option_session::Session(kSim);
  ASSERT_GT(direct.size(), 3u);
  EXPECT_EQ(direct[0], "-1");
  EXPECT_EQ(direct[2], "ask 3: sta 256 err 4 value 11");  // CMPL; iberr stays EARG from before
  // ibonl 1 brings back the settings ibdev gave: T1s, EOS 0x140A.
  ASSERT_GT(direct.size(), 20u);
  EXPECT_EQ(direct[19].substr(direct[19].find("value")), "value 11");
  EXPECT_EQ(direct[20].substr(direct[20].find("value")), "value 5130");
  EXPECT_EQ(option_session::Session(kTcp), direct);
  EXPECT_EQ(option_session::Session(kPty), direct);
}

TEST(PrologixBackEnd, BuiltCallsGiveTheSimulatedBusResults) {
  std::vector<std::string> direct = async_session::Session(kSim);
  EXPECT_EQ(async_session::Session(kTcp), direct);
  direct = async_session::Session(kSim);
  EXPECT_EQ(async_session::Session(kPty), direct);
}

TEST(PrologixBackEnd, RepeatedQueryCostsTwoLines) {
  for (int board : {kTcp, kPty}) {
    int dmm = ibdev(board, 1, 0, 11, 1, 0);
    char buf[100];
    for (int i = 0; i < 2; ++i) {
      int before = prologix.LinesLogged();
      ibwrt(dmm, "*IDN?\n", 6);
      ibrd(dmm, buf, sizeof buf);
      EXPECT_EQ(Ibsta() & (ERR | END), END);
      if (i == 1) {
        EXPECT_EQ(prologix.LinesLogged() - before, 2) << prologix.LastLines(6);
        EXPECT_EQ(prologix.LastLines(2), "data: *IDN?\\x0a\n++read eoi\n");
      }
    }
    ibonl(dmm, 0);
  }
}

TEST(PrologixBackEnd, CallsTheAdaptersCannotMakeFailWithEcap) {
  int board = ibfindA("gpib2"), dmm = ibdev(kTcp, 1, 0, 11, 1, 0);
  char ppr = 0;
  const uint16_t list[] = {1, NOADDR};
  short result = 0;
  struct Row {
    const char* call;
    std::function<void()> run;
  };
  const Row rows[] = {
      {"ibcmd", [&] { ibcmd(board, "?", 1); }},
      {"ibcmda", [&] { ibcmda(board, "?", 1); }},
      {"ibgts", [&] { ibgts(board, 0); }},
      {"ibcac", [&] { ibcac(board, 0); }},
      {"ibpct", [&] { ibpct(dmm); }},
      {"ibppc", [&] { ibppc(dmm, 0x61); }},
      {"ibrpp", [&] { ibrpp(board, &ppr); }},
      {"board ibwrt", [&] { ibwrt(board, "x", 1); }},
      {"SendCmds", [&] { SendCmds(kTcp, "?", 1); }},
      {"PPollConfig", [&] { PPollConfig(kTcp, 1, 1, 1); }},
      {"PPoll", [&] { PPoll(kTcp, &result); }},
      {"PassControl", [&] { PassControl(kTcp, 1); }},
      {"DCL", [&] { DevClear(kTcp, NOADDR); }},
      {"EnableRemote", [&] { EnableRemote(kTcp, list); }},
  };
  for (const Row& r : rows) {
    r.run();
    EXPECT_EQ(Ibsta() & ERR, ERR) << r.call;
    EXPECT_EQ(Iberr(), ECAP) << r.call;
    EXPECT_EQ(Ibcnt(), 0) << r.call;
  }
  ibonl(dmm, 0);
  ibonl(board, 0);
}

// Waits up to 5 s for the emulator to have dropped its connections n times.
bool DroppedTimes(const EmulatorProcess& e, int n) {
  for (int i = 0; i < 500; ++i) {
    int seen = 0;
    std::string all = e.LastLines(100000);
    for (size_t at = 0; (at = all.find("-- dropped", at)) != std::string::npos; ++at) ++seen;
    if (seen >= n) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

TEST(PrologixBackEnd, AdapterGoingAwayFailsOneCallThenComesBack) {
  const int boards[] = {kTcp, kPty};
  int dmm[2];
  char buf[100];
  auto query = [&](int ud) {
    ibwrt(ud, "*IDN?\n", 6);
    ibrd(ud, buf, sizeof buf);
    if (Ibsta() & ERR) return "error " + std::to_string(Iberr()) + " " + std::to_string(Ibcnt());
    return std::string(buf, Ibcnt());
  };
  const std::string kIdn = "TARNWICK,SIM-DMM,0001,1.0\n";
  auto failsOnce = [&](int ud) {
    ibwrt(ud, "*IDN?\n", 6);
    EXPECT_EQ(Ibsta() & ERR, ERR);
    EXPECT_EQ(Iberr(), EDVR);
    EXPECT_NE(Ibcnt(), 0);  // the system error
    EXPECT_EQ(query(ud), kIdn);
  };
  for (int i = 0; i < 2; ++i) {
    dmm[i] = ibdev(boards[i], 1, 0, 11, 1, 0);
    EXPECT_EQ(query(dmm[i]), kIdn);
  }
  ASSERT_TRUE(prologix.Drop());
  for (int ud : dmm) failsOnce(ud);
  int drops = 1;
  for (int ud : dmm) {
    // A write after the far end closed succeeds locally; the next call finds out.
    ibwrt(ud, "DROP-ADAPTER\n", 13);
    ASSERT_TRUE(DroppedTimes(prologix, ++drops));
    failsOnce(ud);
    ibonl(ud, 0);
  }
}

TEST(PrologixBackEnd, AdapterNotThereFailsWithTheSystemError) {
  struct Row {
    int board, error;
  } rows[] = {{kRefused, ECONNREFUSED}, {kUnplugged, ENOENT}};
  for (const Row& r : rows) {
    for (int attempt = 0; attempt < 2; ++attempt) {
      EXPECT_EQ(ibdev(r.board, 1, 0, 11, 1, 0), -1);
      EXPECT_EQ(Iberr(), EDVR);
      EXPECT_EQ(Ibcnt(), r.error);
    }
  }
}

TEST(Ar488BackEnd, ServiceRequestsAndTheExtraCommands) {
  // A generous timeout first: on a loaded machine the emulator may take
  // longer than a board's default to answer.
  int board = ibfindA("gpib4");
  ibconfig(board, IbcTMO, 13);
  short result = -1;
  TestSRQ(kAr488, &result);
  EXPECT_EQ(result, 1);  // the faulty device asks from power-on
  WaitSRQ(kAr488, &result);
  EXPECT_EQ(Ibsta() & (SRQI | TIMO), SRQI);
  const uint16_t candidates[] = {1, 5, NOADDR};
  FindRQS(kAr488, candidates, &result);
  EXPECT_EQ(Ibcnt(), 1);
  EXPECT_EQ(result & 0x40, 0x40);
  ibconfig(board, IbcTMO, 10);
  WaitSRQ(kAr488, &result);
  EXPECT_EQ(Ibsta() & (ERR | TIMO), TIMO);
  EXPECT_EQ(result, 0);
  ibconfig(board, IbcTMO, 13);

  // Listeners as the simulated bus itself finds them, secondary addresses included.
  const uint16_t pads[] = {1, 2, 3, 4, 5, 6, 7, NOADDR};
  uint16_t found[8] = {}, direct[8] = {};
  FindLstn(kSim, pads, direct, 8);
  const int listeners = Ibcnt();
  FindLstn(kAr488, pads, found, 8);
  ASSERT_EQ(Ibcnt(), listeners);
  EXPECT_EQ(std::vector<uint16_t>(found, found + 5), std::vector<uint16_t>(direct, direct + 5));
  FindLstn(kAr488, pads, found, 2);
  EXPECT_EQ(Iberr(), ETAB);
  // ibln asks the same search, for the board handle and for a device's board.
  const int dmm = ibdev(kAr488, 1, 0, 13, 1, 0);
  struct Listener {
    int ud, pad, sad;
    short listens;
  } const asked[] = {{board, 1, 0, 1}, {board, 6, 0, 0}, {board, 4, 0x60, 1}, {board, 4, 0, 0},
                         {dmm, 4, -1, 1}, {dmm, 2, 0x61, 0}};
  for (const Listener& l : asked) {
    short listens = -1;
    ibln(l.ud, l.pad, l.sad, &listens);
    EXPECT_EQ(Ibsta() & (ERR | CMPL), CMPL) << l.pad << " " << l.sad;
    EXPECT_EQ(listens, l.listens) << l.pad << " " << l.sad;
  }
  ibonl(dmm, 0);
  const uint16_t none[] = {NOADDR};
  struct Row {
    const char* call;
    std::function<void()> run;
  } rows[] = {
      {"DCL", [&] { DevClear(kAr488, NOADDR); }},
      {"PPoll", [&] { PPoll(kAr488, &result); }},
      {"EnableRemote", [&] { EnableRemote(kAr488, none); }},
      {"EnableLocal", [&] { EnableLocal(kAr488, none); }},
      {"SendIFC", [&] { SendIFC(kAr488); }},
  };
  for (const Row& r : rows) {
    r.run();
    EXPECT_EQ(Ibsta() & (ERR | CMPL), CMPL) << r.call;
  }
  ibonl(board, 0);
}

}  // namespace
