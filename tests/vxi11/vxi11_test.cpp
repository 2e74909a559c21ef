// The vxi11 back end against vorel-gateway on the loopback, run inside a
// network namespace with a portmapper of its own (netns.sh): the same calls
// give the same results as on the simulated bus itself, service requests
// come through the interrupt channel, ibstop ends a read with device_abort,
// a gateway that goes away fails a call with EDVR and the next calls
// connect again, and a name's link reaches the server's `inst0`.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "../vexon/async_session.h"
#include "../vexon/option_session.h"
#include "vexon/router/bus_file.h"
#include "vexon/router/driver_api.h"
#include "vexon/router/router.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Boards of the test bus: the simulated bus the gateway serves, here too,
// and the gateway's gpib0 through VXI-11.
constexpr int kSim = 0, kVxi = 2;

class GatewayBus : public ::testing::Environment {
 public:
  void SetUp() override {
    std::ifstream in(GATEWAY_BUS);
    std::stringstream text;
    text << in.rdbuf();
    vexon::BusConfig bus;
    vexon::ReadBusFile(text.str(), GATEWAY_BUS, bus);
    vexon::BoardSettings gateway;
    gateway.index = kVxi;
    gateway.backend = "vxi11";
    gateway.host = "127.0.0.1";
    bus.boards.push_back(gateway);
    vexon::NamedDevice scope;
    scope.name = "scope";
    scope.board = kVxi;
    scope.link = "inst0";
    bus.names.push_back(scope);
    vexon::UseBus(bus);
  }
};
const auto* const environment = ::testing::AddGlobalTestEnvironment(new GatewayBus);

// One call's outcome as the comparison sees it: the transfer bits of ibsta,
// iberr with ERR, ibcntl and the bytes read.
std::string Outcome(const std::string& what, const void* data = nullptr, int n = 0) {
  int sta = Ibsta();
  std::string s = what + ": sta " + std::to_string(sta & (ERR | TIMO | END | CMPL));
  if (sta & ERR) s += " err " + std::to_string(Iberr());
  s += " cnt " + std::to_string(Ibcnt());
  for (int i = 0; i < n && !(sta & ERR); ++i) s += " " + std::to_string(static_cast<const uint8_t*>(data)[i]);
  return s;
}

// The calls a program makes on a bus: devices by address and by name,
// reads in parts, every byte value, EOS, timeouts, polls, the 488.2 routines.
std::vector<std::string> Session(int board) {
  std::vector<std::string> out;
  char buf[8192];
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
  write("long", loop, std::string(5000, 'x'));  // more than one device_write
  read("long back", loop, 4000);
  read("long rest", loop, 4000);
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
  ibconfig(loop, IbcEOT, 0);
  write("without END", loop, "ef");
  ibconfig(loop, IbcEOT, 1);
  write("with END", loop, "gh");
  read("both", loop, 10);
  ibclr(dmm);
  out.push_back(Outcome("clear"));
  ibtrg(dmm);
  out.push_back(Outcome("trigger"));
  ibloc(dmm);
  out.push_back(Outcome("local"));
  int tmo = 0;
  ibask(dmm, IbcTMO, &tmo);
  out.push_back(Outcome("ask") + " value " + std::to_string(tmo));
  int named = ibfindA("dmm");
  write("by name", named, "*IDN?\n");
  read("by name answer", named, 100);
  Send(board, 1, "*IDN?", 5, NLend);
  out.push_back(Outcome("Send"));
  Receive(board, 1, buf, 100, STOPend);
  out.push_back(Outcome("Receive", buf, Ibcnt()));
  Send(board, 2, "xy\nz", 4, DABend);
  Receive(board, 2, buf, 100, '\n');
  out.push_back(Outcome("Receive to a byte", buf, Ibcnt()));
  Receive(board, 2, buf, 100, STOPend);
  short result = -1;
  ReadStatusByte(board, 5, &result);
  out.push_back(Outcome("ReadStatusByte") + " " + std::to_string(result));
  TestSRQ(board, &result);
  out.push_back(Outcome("TestSRQ") + " " + std::to_string(result));
  DevClear(board, 1);
  out.push_back(Outcome("DevClear"));
  const uint16_t two[] = {1, 2, NOADDR};
  DevClearList(board, two);
  out.push_back(Outcome("DevClearList"));
  Trigger(board, 2);
  out.push_back(Outcome("Trigger"));
  for (int ud : {dmm, loop, seq, sec, faulty, named}) {
    ibonl(ud, 0);
    out.push_back(Outcome("close"));
  }
  return out;
}

TEST(Vxi11BackEnd, SameResultsAsTheSimulatedBus) {
  // The gateway's bus and ours start alike and see the session once each.
  const std::vector<std::string> direct = Session(kSim), remote = Session(kVxi);
  ASSERT_EQ(remote.size(), direct.size());
  for (size_t i = 0; i < direct.size(); ++i) EXPECT_EQ(remote[i], direct[i]);
}

TEST(Vxi11BackEnd, SettingsAsOnTheSimulatedBus) {
  EXPECT_EQ(option_session::Session(kVxi), option_session::Session(kSim));
}

TEST(Vxi11BackEnd, BuiltCallsGiveTheSimulatedBusResults) {
  const std::vector<std::string> direct = async_session::Session(kSim, false),
                                 remote = async_session::Session(kVxi, false);
  ASSERT_EQ(remote.size(), direct.size());
  for (size_t i = 0; i < direct.size(); ++i) EXPECT_EQ(remote[i], direct[i]);
}

// What a board handle does on its own: command bytes, ATN, data as talker
// and as listener, REN, IFC, and control passed away and taken back (a
// device's calls then fail, ECIC).
std::vector<std::string> BoardSession(int board) {
  std::vector<std::string> out;
  char buf[100] = {};
  const int b = ibfindA(("gpib" + std::to_string(board)).c_str());
  ibsic(b);
  out.push_back(Outcome("ibsic"));
  const uint16_t meter[] = {1, NOADDR};
  EnableRemote(board, meter);
  out.push_back(Outcome("EnableRemote"));
  const char toLoop[] = {0x3F, 0x5F, 0x40, 0x22};  // UNL UNT, the board talks, the loop listens
  ibcmd(b, toLoop, 4);
  out.push_back(Outcome("ibcmd"));
  ibgts(b, 0);
  out.push_back(Outcome("ibgts"));
  ibwrt(b, "hi\n", 3);
  out.push_back(Outcome("board writes"));
  ibcac(b, 1);
  out.push_back(Outcome("ibcac"));
  const char fromLoop[] = {0x3F, 0x5F, 0x42, 0x20};  // the loop talks, the board listens
  ibcmd(b, fromLoop, 4);
  ibgts(b, 0);
  ibrd(b, buf, sizeof buf);
  out.push_back(Outcome("board reads", buf, Ibcnt()));
  ibcac(b, 1);
  const char unlisten[] = {0x3F, 0x5F};
  SendCmds(board, unlisten, 2);
  out.push_back(Outcome("SendCmds"));
  PassControl(board, 1);
  out.push_back(Outcome("PassControl"));
  const int meterHandle = ibdev(board, 1, 0, 10, 1, 0);
  ibwrt(meterHandle, "*IDN?\n", 6);
  out.push_back(Outcome("not in charge"));
  ibonl(meterHandle, 0);
  ibsic(b);
  out.push_back(Outcome("ibsic takes control back"));
  return out;
}

TEST(Vxi11BackEnd, BoardCallsAsOnTheSimulatedBus) {
  std::vector<std::string> direct = BoardSession(kSim), remote = BoardSession(kVxi);
  ASSERT_EQ(remote.size(), direct.size());
  EXPECT_EQ(direct[6], "board reads: sta 8448 cnt 3 104 105 10");  // END CMPL, "hi\n"
  // The protocol has no error for ECIC: the server's I/O error 17 comes as
  // EDVR with its code.
  EXPECT_EQ(direct[9], "not in charge: sta 32768 err 1 cnt 0");
  EXPECT_EQ(remote[9], "not in charge: sta 32768 err 0 cnt 17");
  direct.erase(direct.begin() + 9);
  remote.erase(remote.begin() + 9);
  for (size_t i = 0; i < direct.size(); ++i) EXPECT_EQ(remote[i], direct[i]);
}

TEST(Vxi11BackEnd, ParallelPollConfigurationFromCommandBytes) {
  const uint16_t meter[] = {1, NOADDR}, none[] = {NOADDR};
  for (int board : {kSim, kVxi}) {
    PPollConfig(board, 1, 3, 1);
    EXPECT_EQ(Ibsta() & (ERR | CMPL), CMPL) << board;
    PPollUnconfig(board, meter);
    EXPECT_EQ(Ibsta() & (ERR | CMPL), CMPL) << board;
    PPollUnconfig(board, none);
    EXPECT_EQ(Ibsta() & (ERR | CMPL), CMPL) << board;
    PPollConfig(board, 1, 9, 1);
    EXPECT_EQ(Iberr(), EARG) << board;
  }
}

// The routines the router makes of command bytes and PassControl: the
// loopback hears what the board sends it after SendSetup and says it back
// after ReceiveSetup; ibppc answers the previous response; control passed
// with ibpct comes back with IFC.
std::vector<std::string> CommandByteSession(int board) {
  std::vector<std::string> out;
  char buf[100] = {};
  const uint16_t loop[] = {2, NOADDR}, none[] = {NOADDR};
  const int own = ibfindA(("gpib" + std::to_string(board)).c_str());
  SendSetup(board, loop);
  out.push_back(Outcome("SendSetup"));
  SendDataBytes(board, "ping\n", 5, DABend);
  out.push_back(Outcome("SendDataBytes"));
  ReceiveSetup(board, 2);
  out.push_back(Outcome("ReceiveSetup"));
  RcvRespMsg(board, buf, sizeof buf, STOPend);
  out.push_back(Outcome("RcvRespMsg", buf, Ibcnt()));
  // The secondary-only instrument answers at pad 4, sad 0 alone.
  const uint16_t sec = 4 | 0x60 << 8, secondary[] = {sec, NOADDR};
  SendSetup(board, secondary);
  SendDataBytes(board, "ID?\n", 4, DABend);
  out.push_back(Outcome("SendDataBytes to a secondary address"));
  ReceiveSetup(board, sec);
  RcvRespMsg(board, buf, sizeof buf, STOPend);
  out.push_back(Outcome("RcvRespMsg of a secondary address", buf, Ibcnt()));
  SendSetup(board, none);
  out.push_back(Outcome("SendSetup of nobody"));
  ReceiveSetup(board, 31);
  out.push_back(Outcome("ReceiveSetup of no address"));
  ibconfig(own, IbcTMO, T30ms);
  const int timeout = Iberr();
  RcvRespMsg(board, buf, sizeof buf, STOPend);
  out.push_back(Outcome("RcvRespMsg of nobody"));
  ibconfig(own, IbcTMO, timeout);

  const int ud = ibdev(board, 2, 0, 11, 1, 0);
  const int secondaryUd = ibdev(board, 4, 0x60, 11, 1, 0);
  for (int v : {0x62, 0x6B, 0, 0x70, 0x80}) {
    ibppc(ud, v);
    out.push_back(Outcome("ibppc " + std::to_string(v)) + " was " + std::to_string(Iberr()));
    ibppc(secondaryUd, v ^ 1);
    out.push_back(Outcome("ibppc of a secondary address") + " was " + std::to_string(Iberr()));
  }
  ibonl(secondaryUd, 0);
  ibppc(own, 0x65);
  out.push_back(Outcome("ibppc of the board") + " was " + std::to_string(Iberr()));
  ibppc(own, 0);
  ibpct(own);
  out.push_back(Outcome("ibpct of the board"));
  ibpct(ud);
  out.push_back(Outcome("ibpct"));
  SendIFC(board);
  out.push_back(Outcome("SendIFC"));
  ibwrt(ud, "back\n", 5);
  out.push_back(Outcome("ibwrt after IFC"));
  ibrd(ud, buf, sizeof buf);
  out.push_back(Outcome("ibrd", buf, Ibcnt()));
  ibonl(ud, 0);
  return out;
}

TEST(Vxi11BackEnd, SetupParallelPollAndControlFromCommandBytes) {
  const std::vector<std::string> direct = CommandByteSession(kSim), remote = CommandByteSession(kVxi);
  ASSERT_EQ(remote.size(), direct.size());
  for (size_t i = 0; i < direct.size(); ++i) EXPECT_EQ(remote[i], direct[i]);
}

TEST(Vxi11BackEnd, InstrumentByItsLinkName) {
  int scope = ibfindA("scope");
  ASSERT_GE(scope, 0) << Iberr();
  ASSERT_FALSE(ibwrt(scope, "*IDN?\n", 6) & ERR);
  char buf[100] = {};
  EXPECT_EQ(ibrd(scope, buf, sizeof buf - 1) & (ERR | END), END);
  EXPECT_STREQ(buf, "TARNWICK,SIM-DMM,0001,1.0\n");
  // The link's name tells no address to pass control or configure with.
  int pad = 0;
  EXPECT_EQ(ibask(scope, IbcPAD, &pad) & ERR, ERR);
  EXPECT_EQ(Iberr(), ECAP);
  EXPECT_EQ(ibpct(scope) & ERR, ERR);
  EXPECT_EQ(Iberr(), ECAP);
  ibonl(scope, 0);
}

// The meter requests service once told to on operation complete.
void RequestService(int ud) {
  for (const char* c : {"*CLS\n", "*ESE 1\n", "*SRE 32\n", "*OPC\n"}) ibwrt(ud, c, static_cast<int>(std::strlen(c)));
}

TEST(Vxi11BackEnd, ServiceRequestsComeThroughTheInterruptChannel) {
  int dmm = ibdev(kVxi, 1, 0, 11, 1, 0), faulty = ibdev(kVxi, 5, 0, 11, 1, 0);
  ASSERT_GE(dmm, 0);
  char stb = 0;
  ibrsp(faulty, &stb);  // the faulty device's request from power-on ends
  short result = -1;
  TestSRQ(kVxi, &result);
  ASSERT_EQ(result, 0);

  // WaitSRQ finds the line quiet and wakes on the interrupt.
  std::thread asker([&] {
    std::this_thread::sleep_for(300ms);
    RequestService(dmm);
  });
  const auto start = Clock::now();
  WaitSRQ(kVxi, &result);
  const auto waited = Clock::now() - start;
  asker.join();
  EXPECT_EQ(result, 1);
  EXPECT_GE(waited, 250ms);
  EXPECT_LT(waited, 2500ms);  // well before the board's 10 s
  const uint16_t devices[] = {5, 1, NOADDR};
  FindRQS(kVxi, devices, &result);
  EXPECT_FALSE(Ibsta() & ERR);
  EXPECT_EQ(Ibcnt(), 1);  // the meter, second in the list
  EXPECT_EQ(result & 0x40, 0x40);

  // ibnotify on the board handle calls back on the next request.
  static std::atomic<int> calls{0};
  int board = ibfindA("gpib2");
  ASSERT_FALSE(ibnotify(
                   board, SRQI,
                   [](int, int sta, int, int, void*) {
                     if (sta & SRQI) ++calls;
                     return 0;
                   },
                   nullptr) &
               ERR);
  RequestService(dmm);
  for (int i = 0; i < 100 && calls == 0; ++i) std::this_thread::sleep_for(20ms);
  EXPECT_EQ(calls, 1);
  ibrsp(dmm, &stb);
  EXPECT_EQ(stb & 0x40, 0x40);
  ibnotify(board, 0, nullptr, nullptr);

  // ibwait SRQI on the board handle times out when nobody asks.
  ibconfig(board, IbcTMO, 9);  // 100 ms
  EXPECT_EQ(ibwait(board, SRQI | TIMO) & (SRQI | TIMO), TIMO);
  ibconfig(board, IbcTMO, 13);
  for (int ud : {dmm, faulty, board}) ibonl(ud, 0);
}

TEST(Vxi11BackEnd, IbstopEndsAReadThroughDeviceAbort) {
  int dmm = ibdev(kVxi, 1, 0, 13, 1, 0);  // 10 s
  ASSERT_GE(dmm, 0);
  char buf[16];
  int sta = 0, err = 0;
  const auto start = Clock::now();
  std::thread reader([&] {  // the meter has nothing to say
    sta = ibrd(dmm, buf, sizeof buf);
    err = Iberr();
  });
  std::this_thread::sleep_for(300ms);
  EXPECT_FALSE(ibstop(dmm) & ERR);
  reader.join();
  EXPECT_LT(Clock::now() - start, 3s);
  EXPECT_EQ(sta & ERR, ERR);
  EXPECT_EQ(err, EABO);
  // The link still works.
  ibwrt(dmm, "*IDN?\n", 6);
  EXPECT_FALSE(ibrd(dmm, buf, sizeof buf) & ERR);
  ibonl(dmm, 0);
}

TEST(Vxi11BackEnd, LocksAndRefusals) {
  int a = ibdev(kVxi, 2, 0, 9, 1, 0), b = ibdev(kVxi, 2, 0, 9, 1, 0);  // 100 ms
  ASSERT_FALSE(iblck(a, 1, 0, nullptr) & ERR);
  ibwrt(b, "x", 1);  // waits out its timeout for the lock
  EXPECT_EQ(Ibsta() & ERR, ERR);
  EXPECT_EQ(Iberr(), ELCK);
  EXPECT_FALSE(ibwrt(a, "x", 1) & ERR);
  ASSERT_FALSE(iblck(a, 0, 0, nullptr) & ERR);
  EXPECT_FALSE(ibwrt(b, "y", 1) & ERR);
  int board = ibfindA("gpib2");
  char stb = 0;
  ibrsp(board, &stb);  // an interface has no status byte
  EXPECT_EQ(Iberr(), ECAP);
  short lines = 0;
  EXPECT_FALSE(iblines(board, &lines) & ERR);
  EXPECT_EQ(lines & 0x10, 0x10);     // REN is reported
  EXPECT_EQ(lines & 0x1000, 0x1000);  // and asserted by the gateway since it started
  for (int ud : {a, b, board}) ibonl(ud, 0);
}

// Whether process pid has ended (a zombie of netns.sh's counts).
bool Ended(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const size_t paren = text.rfind(')');
  return paren == std::string::npos || text.compare(paren + 2, 1, "Z") == 0;
}

TEST(Vxi11BackEnd, LostGatewayFailsWithEdvrAndTheNextCallConnects) {
  const char* running = getenv("GATEWAY_PID");
  ASSERT_TRUE(running) << "run through netns.sh";
  int loop = ibdev(kVxi, 2, 0, 11, 1, 0);
  ASSERT_FALSE(ibwrt(loop, "a", 1) & ERR);
  const pid_t first = static_cast<pid_t>(std::atoi(running));
  kill(first, SIGTERM);
  for (int i = 0; i < 100 && !Ended(first); ++i) std::this_thread::sleep_for(20ms);
  ASSERT_TRUE(Ended(first));

  // The call on the lost connection, and the calls while nobody serves.
  EXPECT_EQ(ibwrt(loop, "b", 1) & ERR, ERR);
  EXPECT_EQ(Iberr(), EDVR);
  EXPECT_NE(Ibcnt(), 0);  // the system's error
  EXPECT_EQ(ibwrt(loop, "b", 1) & ERR, ERR);
  EXPECT_EQ(Iberr(), EDVR);
  EXPECT_EQ(Ibcnt(), ECONNREFUSED);

  const pid_t second = fork();
  if (second == 0) {
    execl(GATEWAY, GATEWAY, "--bus", GATEWAY_BUS, static_cast<char*>(nullptr));
    _exit(127);
  }
  bool back = false;
  for (int i = 0; i < 100 && !back; ++i) {
    std::this_thread::sleep_for(50ms);
    back = !(ibwrt(loop, "c", 1) & ERR);
  }
  EXPECT_TRUE(back);
  char buf[8] = {};
  EXPECT_FALSE(ibrd(loop, buf, sizeof buf - 1) & ERR);
  EXPECT_STREQ(buf, "c");  // a new gateway: what was written before is gone
  short result = -1;
  TestSRQ(kVxi, &result);  // the interface link is made again too
  EXPECT_FALSE(Ibsta() & ERR);
  ibonl(loop, 0);
  kill(second, SIGTERM);
  int status = 0;
  waitpid(second, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
