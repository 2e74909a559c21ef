// The board as controller: addressing by commands, passing control, system
// controller rights, locks, injected faults, parallel poll, files and ibexpert.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "sim_api.h"

namespace {

std::string slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

TEST(SimController, BoardLevelTransfersFollowTheCommandsAddressing) {
  freshBus();
  int board = ibfindA("gpib0");
  char buf[64] = {};
  EXPECT_TRUE(ibwrt(board, "x", 1) & ERR);  // nobody addressed yet
  EXPECT_EQ(Iberr(), EADR);
  EXPECT_TRUE(ibrd(board, buf, 10) & ERR);
  EXPECT_EQ(Iberr(), EADR);
  ibcmd(board, "?@!", 3);  // UNL, board talks, device 1 listens
  EXPECT_TRUE(ibwait(board, 0) & TACS);
  EXPECT_FALSE(ibwrt(board, "*IDN?\n", 6) & ERR);
  ibcmd(board, "?_A ", 4);  // UNL, UNT, device 1 talks, board listens
  EXPECT_TRUE(ibwait(board, 0) & LACS);
  int sta = ibrd(board, buf, sizeof buf - 1);
  EXPECT_EQ(sta & (ERR | END), END);
  EXPECT_STREQ(buf, "TARNWICK,SIM-DMM,0001,1.0\n");
  ibcmd(board, "?@", 2);  // the board talks to nobody
  EXPECT_TRUE(ibwrt(board, "x", 1) & ERR);
  EXPECT_EQ(Iberr(), ENOL);
  // An empty bus answers no command.
  int other = ibfindA("gpib1");
  EXPECT_TRUE(ibcmd(other, "?", 1) & ERR);
  EXPECT_EQ(Iberr(), EBUS);
  ibonl(other, 0);
  ibonl(board, 0);
}

TEST(SimController, PassingControlAndTakingItBack) {
  freshBus();
  int board = ibfindA("gpib0");
  int dmm = ibfindA("dmm");
  ASSERT_TRUE(ibwait(board, 0) & CIC);
  PassControl(0, 1);
  ASSERT_FALSE(Ibsta() & ERR);
  int sta = ibwait(board, 0);
  EXPECT_FALSE(sta & CIC);
  EXPECT_EQ(sta & (DCAS | DTAS), DCAS | DTAS);
  EXPECT_TRUE(ibwrt(dmm, "*CLS\n", 5) & ERR);
  EXPECT_EQ(Iberr(), ECIC);
  const uint16_t pads[] = {1, NOADDR};
  uint16_t found[4];
  FindLstn(0, pads, found, 4);
  EXPECT_EQ(Iberr(), ECIC);
  SendIFC(0);  // the system controller takes control back
  EXPECT_TRUE(ibwait(board, 0) & CIC);
  EXPECT_FALSE(ibwrt(dmm, "*CLS\n", 5) & ERR);
  // Without system controller rights there is no interface clear.
  ibconfig(board, IbcSC, 0);
  EXPECT_TRUE(ibsic(board) & ERR);
  EXPECT_EQ(Iberr(), ESAC);
  SendIFC(0);
  EXPECT_EQ(Iberr(), ESAC);
  ibconfig(board, IbcSC, 1);
  EXPECT_FALSE(ibsic(board) & ERR);
  ibonl(dmm, 0);
  ibonl(board, 0);
}

TEST(SimController, LockHeldThroughAnotherHandle) {
  int dmm = ibfindA("dmm");
  int loop = ibfindA("loop");
  EXPECT_FALSE(iblck(dmm, 1, 0, nullptr) & ERR);
  EXPECT_TRUE(ibwrt(loop, "x", 1) & ERR);
  EXPECT_EQ(Iberr(), ELCK);
  Send(0, 2, "x", 1, NLend);
  EXPECT_EQ(Iberr(), ELCK);
  EXPECT_TRUE(iblck(loop, 0, 0, nullptr) & ERR);  // not the holder
  EXPECT_FALSE(ibwrt(dmm, "*CLS\n", 5) & ERR);   // the holder goes on
  EXPECT_FALSE(iblck(dmm, 0, 0, nullptr) & ERR);
  EXPECT_FALSE(ibwrt(loop, "x", 1) & ERR);
  ibonl(loop, 0);
  ibonl(dmm, 0);
}

TEST(SimController, DebugModeInjectsOneFault) {
  int board = ibfindA("gpib0");
  int dmm = ibfindA("dmm");
  for (int code : {EDMA, EBUS, ESTB, ESRQ, EPWR}) {
    int mode = code;
    EXPECT_FALSE(ibexpert(board, IbeDebugMode, &mode, nullptr) & ERR);
    EXPECT_TRUE(ibwrt(dmm, "*CLS\n", 5) & ERR) << code;
    EXPECT_EQ(Iberr(), code);
    EXPECT_FALSE(ibwrt(dmm, "*CLS\n", 5) & ERR) << code;
  }
  ibonl(dmm, 0);
  ibonl(board, 0);
}

TEST(SimController, ParallelPollWithConfiguredResponses) {
  // A configured device asserts its line when its service request matches
  // the sense: the faulty device (requesting from power-on, until polled)
  // with sense 1, the meter (not requesting) with sense 0.
  int faulty = ibfindA("faulty");
  const int requesting = (ibwait(faulty, 0) & RQS) ? 1 : 0;
  ibonl(faulty, 0);
  short r = -1;
  PPollConfig(0, 5, 3, 1);
  PPollConfig(0, 1, 8, 0);
  PPoll(0, &r);
  EXPECT_EQ(r, (requesting ? 0x04 : 0) | 0x80);
  int board = ibfindA("gpib0");
  char ppr = 0;
  ibrpp(board, &ppr);
  EXPECT_EQ(static_cast<unsigned char>(ppr), r);
  const uint16_t five[] = {5, NOADDR};
  PPollUnconfig(0, five);
  PPoll(0, &r);
  EXPECT_EQ(r, 0x80);
  PPollConfig(0, 5, 9, 1);
  EXPECT_EQ(Iberr(), EARG);
  const uint16_t none[] = {NOADDR};
  PPollUnconfig(0, none);
  PPoll(0, &r);
  EXPECT_EQ(r, 0);
  ibonl(board, 0);
}

TEST(SimController, FilesThroughTheLoopback) {
  freshBus();
  std::string in = "/tmp/vorel_sim_in_" + std::to_string(getpid());
  std::string out = "/tmp/vorel_sim_out_" + std::to_string(getpid());
  { std::ofstream(in, std::ios::binary) << std::string("line one\nline two\n"); }
  int loop = ibfindA("loop");
  EXPECT_FALSE(ibwrtfA(loop, in.c_str()) & ERR);
  EXPECT_EQ(Ibcnt(), 18);
  int sta = ibrdfA(loop, out.c_str());
  EXPECT_EQ(sta & (ERR | END), END);
  EXPECT_EQ(Ibcnt(), 18);
  EXPECT_EQ(slurp(out), "line one\nline two\n");
  EXPECT_TRUE(ibwrtfA(loop, "/nonexistent/vorel/file") & ERR);
  EXPECT_EQ(Iberr(), EFSO);
  EXPECT_TRUE(ibrdfA(loop, "/nonexistent/vorel/file") & ERR);
  EXPECT_EQ(Iberr(), EFSO);
  std::remove(in.c_str());
  std::remove(out.c_str());
  ibonl(loop, 0);
}

TEST(SimController, LinesAndListenerChecks) {
  int board = ibfindA("gpib0");
  short lines = 0, listen = -1;
  ibconfig(board, IbcSRE, 1);
  iblines(board, &lines);
  EXPECT_EQ(lines & 0xFF, 0xFB);        // every line but NRFD is sensed
  EXPECT_TRUE(lines & 0x1000);          // REN
  EXPECT_TRUE(lines & 0x4000);          // ATN: the board is in charge
  ibln(board, 4, 0xFFFF, &listen);      // any secondary
  EXPECT_EQ(listen, 1);
  ibln(board, 4, 0, &listen);           // only at its secondary
  EXPECT_EQ(listen, 0);
  ibln(board, 4, 0x60, &listen);
  EXPECT_EQ(listen, 1);
  EXPECT_TRUE(ibln(board, 31, 0, &listen) & ERR);
  EXPECT_EQ(Iberr(), EARG);
  ibonl(board, 0);
}

TEST(SimExpert, ControllerFacts) {
  int board = ibfindA("gpib1");
  char text[100] = {};
  int word = -1;
  ibexpert(board, IbeAPISpecVersion, nullptr, text);
  EXPECT_STREQ(text, "2.5");
  ibexpert(board, IbeCompatibleType, nullptr, &word);
  EXPECT_EQ(word, 0x0488);
  int index = 1;
  ibexpert(board, IbeInterfaceDescription, &index, text);
  EXPECT_STREQ(text, "Simulated GPIB controller gpib1 (vexon)");
  index = 7;
  EXPECT_TRUE(ibexpert(board, IbeInterfaceDescription, &index, text) & ERR);
  EXPECT_EQ(Iberr(), ENEB);
  // Registers keep what is written, cut to the access width.
  int wr[4] = {0x10, 0, 1, 0x1234};
  ibexpert(board, IbeWrite, wr, nullptr);
  int rd[3] = {0x10, 0, 2};
  ibexpert(board, IbeRead, rd, &word);
  EXPECT_EQ(word, 0x34);
  EXPECT_TRUE(ibexpert(board, 14, nullptr, nullptr) & ERR);
  EXPECT_EQ(Iberr(), EARG);
  EXPECT_TRUE(ibexpert(board, IbeLck, &index, nullptr) & ERR);
  EXPECT_EQ(Iberr(), ECAP);
  ibonl(board, 0);
}

TEST(SimExpert, MovingADeviceToAnotherBoard) {
  int dmm = ibfindA("dmm");
  int target = 1;
  EXPECT_FALSE(ibexpert(dmm, IbeChangeDeviceBNA, &target, nullptr) & ERR);
  EXPECT_EQ(Iberr(), 0);  // previous board
  int bna = -1;
  ibask(dmm, IbcBNA, &bna);
  EXPECT_EQ(bna, 1);
  EXPECT_TRUE(ibwrt(dmm, "*CLS\n", 5) & ERR);  // nobody at address 1 on gpib1
  EXPECT_EQ(Iberr(), ENOL);
  ibonl(dmm, 0);
}

}  // namespace
