// The simulated bus, driven through its C API like any driver.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "sim_api.h"

namespace {

std::string query(int ud, const std::string& q) {
  ibwrt(ud, q.data(), static_cast<int>(q.size()));
  char buf[256] = {};
  ibrd(ud, buf, sizeof buf - 1);
  return std::string(buf, static_cast<size_t>(Ibcnt()));
}

TEST(SimBoards, OpenBoardsAndNames) {
  // A board index the driver knows but that has no board gives ENEB.
  struct Case { const char* name; bool ok; int err; } cases[] = {
      {"gpib0", true, 0}, {"GPIB1", true, 0}, {"dmm", true, 0},   {"loop", true, 0},
      {"seq", true, 0},   {"sec", true, 0},   {"faulty", true, 0}, {"gpib7", false, ENEB},
      {"nothing", false, EDVR}};
  for (const auto& c : cases) {
    int ud = ibfindA(c.name);
    EXPECT_EQ(ud >= 0, c.ok) << c.name;
    if (!c.ok) {
      EXPECT_TRUE(Ibsta() & ERR);
      EXPECT_EQ(Iberr(), c.err) << c.name;
    }
    if (ud >= 0) ibonl(ud, 0);
  }
  ibfindA(nullptr);
  EXPECT_EQ(Iberr(), EARG);
}

TEST(SimDevices, ErrorQueueAndStatusByte) {
  int ud = ibfindA("dmm");
  ibwrt(ud, "*CLS;*ESE 32;*SRE 32\n", 21);
  EXPECT_EQ(query(ud, "*SRE?\n"), "32\n");
  ibwrt(ud, "BOGUS\n", 6);
  char stb = 0;
  ibrsp(ud, &stb);
  EXPECT_EQ(stb & 0x60, 0x60);  // ESB and RQS
  EXPECT_EQ(query(ud, "SYST:ERR?\n"), "-113,\"Undefined header\"\n");
  EXPECT_EQ(query(ud, "SYST:ERR?\n"), "+0,\"No error\"\n");
  ibwrt(ud, "*CLS\n", 5);
  ibonl(ud, 0);
}

TEST(SimDevices, Loopback) {
  int ud = ibfindA("loop");
  const char msg[] = "hello, bus";
  EXPECT_FALSE(ibwrt(ud, msg, 10) & ERR);
  EXPECT_EQ(Ibcnt(), 10);
  char buf[32] = {};
  // A read of nothing into no buffer moves nothing (and touches no memory).
  EXPECT_FALSE(ibrd(ud, nullptr, 0) & ERR);
  EXPECT_EQ(Ibcnt(), 0);
  int sta = ibrd(ud, buf, 4);
  EXPECT_EQ(Ibcnt(), 4);
  EXPECT_FALSE(sta & END);
  sta = ibrd(ud, buf + 4, 28);
  EXPECT_EQ(Ibcnt(), 6);
  EXPECT_TRUE(sta & END);
  EXPECT_STREQ(buf, msg);
  sta = ibrd(ud, buf, 10);  // nothing left: the read times out
  EXPECT_TRUE(sta & TIMO);
  EXPECT_EQ(Iberr(), EABO);
  ibonl(ud, 0);
}

// Results go to wherever the caller points, odd addresses included (vorel's
// odd buffers); the sanitizer build catches a store that assumes alignment.
TEST(SimConfig, ResultsAtOddAddresses) {
  int ud = ibfindA("gpib0");
  alignas(8) unsigned char raw[16] = {};
  int tmo = 0;
  ibask(ud, IbcTMO, reinterpret_cast<int*>(raw + 1));
  std::memcpy(&tmo, raw + 1, sizeof tmo);
  EXPECT_EQ(tmo, 13);
  short lines = 0;
  iblines(ud, reinterpret_cast<short*>(raw + 5));
  std::memcpy(&lines, raw + 5, sizeof lines);
  EXPECT_EQ(lines & 0xFF, 0xFB);
  TestSRQ(0, reinterpret_cast<short*>(raw + 9));
  PPoll(0, reinterpret_cast<short*>(raw + 11));
  EXPECT_FALSE(Ibsta() & ERR);
  ibonl(ud, 0);
}

TEST(SimErrors, Table) {
  int dev = ibdev(0, 1, 0, 13, 1, 0);
  int board = ibfindA("gpib0");
  int v = 0;
  char c = 0;
  struct Case { const char* what; int sta; int err; } cases[] = {
      {"closed handle", ibwrt(999, "x", 1), EDVR},
      {"not a handle", ibwrt(5000, "x", 1), EHDL},
      {"negative handle", ibrd(-3, &c, 1), EHDL},
      {"null buffer", ibwrt(dev, nullptr, 4), EARG},
      {"negative count", ibrd(dev, &c, -1), EARG},
      {"unknown option", ibconfig(dev, 999, 1), EARG},
      {"out of range", ibconfig(dev, IbcTMO, 99), EARG},
      {"bad sad", ibconfig(dev, IbcSAD, 5), EARG},
      {"board option on device", ibconfig(dev, IbcSC, 1), ECAP},
      {"device option on board", ibask(board, IbcREADDR, &v), ECAP},
      {"null ibask", ibask(dev, IbcPAD, nullptr), EARG},
      {"no listener", ibwrt(ibdev(0, 20, 0, 13, 1, 0), "x", 1), ENOL},
      {"read-only option", ibconfig(board, IbcBNA, 1), ECAP},
  };
  // Each case's iberr is checked again in isolation, since the array is built first.
  for (const auto& k : cases) EXPECT_TRUE(k.sta & ERR) << k.what;
  EXPECT_TRUE(ibwrt(999, "x", 1) & ERR);
  EXPECT_EQ(Iberr(), EDVR);
  ibrd(-3, &c, 1);
  EXPECT_EQ(Iberr(), EHDL);
  ibconfig(dev, IbcSC, 1);
  EXPECT_EQ(Iberr(), ECAP);
  ibconfig(dev, IbcTMO, 99);
  EXPECT_EQ(Iberr(), EARG);
  EXPECT_EQ(ibdev(0, 31, 0, 13, 1, 0), -1);
  EXPECT_EQ(Iberr(), EARG);
  EXPECT_EQ(ibdev(5, 1, 0, 13, 1, 0), -1);
  EXPECT_EQ(Iberr(), ENEB);
  EXPECT_EQ(ibdev(100, 1, 0, 13, 1, 0), -1);
  EXPECT_EQ(Iberr(), EDVR);
  FindLstn(0, nullptr, nullptr, 5);
  EXPECT_EQ(Iberr(), EARG);
  Receive(0, 1, nullptr, 10, STOPend);
  EXPECT_EQ(Iberr(), EARG);
  ibonl(dev, 0);
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

}  // namespace
