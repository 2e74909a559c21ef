// Asynchronous transfers and notifications of the simulated bus: the library's
// own thread moves the data, and each call that leaves work behind returns only
// after the thread has had its turn, so outcomes are the same on every run.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "sim_api.h"

namespace {

struct Heard {
  std::atomic<int> calls{0};
  std::atomic<int> sta{0}, err{0}, cnt{0};
  std::atomic<bool> otherThread{false};
  std::thread::id caller = std::this_thread::get_id();
  int rearmTimes = 0;  // the callback returns its mask this many times
  int mask = 0;
};

int record(int, int sta, int err, int cnt, void* ref) {
  auto* h = static_cast<Heard*>(ref);
  h->sta = sta;
  h->err = err;
  h->cnt = cnt;
  h->otherThread = std::this_thread::get_id() != h->caller;
  int n = ++h->calls;
  return n <= h->rearmTimes ? h->mask : 0;
}

TEST(SimAsync, ReadCompletesOnTheLibrarysThread) {
  freshBus();
  int ud = ibfindA("loop");
  ibwrt(ud, "abc", 3);
  char buf[16];
  std::memset(buf, '#', sizeof buf);
  int sta = ibrda(ud, buf, 10);
  EXPECT_FALSE(sta & (ERR | CMPL));
  sta = ibwait(ud, CMPL);
  EXPECT_EQ(sta & (ERR | CMPL | END), CMPL | END);
  EXPECT_EQ(Ibcnt(), 3);
  EXPECT_EQ(std::string(buf, 4), "abc#");  // nothing written past the count
  // The transfer is over: the handle is idle and takes new calls.
  EXPECT_FALSE(ibwait(ud, CMPL) & ERR);
  EXPECT_FALSE(ibwrt(ud, "x", 1) & ERR);
  ibonl(ud, 0);
}

TEST(SimAsync, ReadNeverGoesBeyondTheRequest) {
  freshBus();
  int ud = ibfindA("seq");
  unsigned char buf[300];
  std::memset(buf, 0xEE, sizeof buf);
  ibrda(ud, buf, 256);
  ibwait(ud, CMPL);
  EXPECT_EQ(Ibcnt(), 256);
  EXPECT_EQ(buf[255], 0xFF);
  EXPECT_EQ(buf[256], 0xEE);
  ibonl(ud, 0);
}

TEST(SimAsync, SilentTalkerKeepsTheTransferRunning) {
  int ud = ibfindA("dmm");  // nothing queried: nothing to say
  char buf[32];
  ibrda(ud, buf, sizeof buf);
  // I/O in progress on the handle refuses other transfers.
  EXPECT_EQ(ibwrt(ud, "*CLS\n", 5) & ERR, ERR);
  EXPECT_EQ(Iberr(), EOIP);
  EXPECT_TRUE(ibrd(ud, buf, 1) & ERR);
  EXPECT_EQ(Iberr(), EOIP);
  // A wait for something else times out at once and leaves the read running.
  int sta = ibwait(ud, RQS);
  EXPECT_EQ(sta & (TIMO | ERR | CMPL), TIMO);
  // ibstop aborts it; a second stop has nothing to abort.
  EXPECT_TRUE(ibstop(ud) & ERR);
  EXPECT_EQ(Iberr(), EABO);
  EXPECT_FALSE(ibstop(ud) & ERR);
  // Waiting for completion ends the read with its own timeout.
  ibrda(ud, buf, sizeof buf);
  sta = ibwait(ud, CMPL);
  EXPECT_EQ(sta & (ERR | TIMO | CMPL), ERR | TIMO | CMPL);
  EXPECT_EQ(Iberr(), EABO);
  EXPECT_FALSE(ibwrt(ud, "*CLS\n", 5) & ERR);
  ibonl(ud, 0);
}

TEST(SimAsync, OfflineResetsARunningTransfer) {
  int ud = ibfindA("dmm");
  char buf[8];
  ibrda(ud, buf, sizeof buf);
  EXPECT_FALSE(ibonl(ud, 1) & ERR);
  EXPECT_FALSE(ibwrt(ud, "*CLS\n", 5) & ERR);
  ibonl(ud, 0);
}

TEST(SimAsync, AsyncWriteAndCommand) {
  freshBus();
  int ud = ibfindA("loop");
  static const char msg[] = "async";
  ibwrta(ud, msg, 5);
  EXPECT_EQ(ibwait(ud, CMPL) & (ERR | CMPL), CMPL);
  EXPECT_EQ(Ibcnt(), 5);
  char buf[8] = {};
  ibrd(ud, buf, 7);
  EXPECT_STREQ(buf, "async");
  int board = ibfindA("gpib0");
  static const char unl[] = "?";
  EXPECT_FALSE(ibcmda(board, unl, 1) & (ERR | CMPL));
  EXPECT_EQ(ibwait(board, CMPL) & (ERR | CMPL), CMPL);
  EXPECT_EQ(Ibcnt(), 1);
  ibonl(board, 0);
  ibonl(ud, 0);
}

TEST(SimNotify, ServiceRequestCallsBackOnTheLibrarysThread) {
  int ud = ibfindA("dmm");
  ibwrt(ud, "*CLS;*SRE 16\n", 13);
  Heard heard;
  EXPECT_FALSE(ibnotify(ud, RQS, record, &heard) & ERR);
  EXPECT_EQ(heard.calls, 0);
  ibwrt(ud, "*IDN?\n", 6);  // MAV, and with SRE 16 a service request
  EXPECT_EQ(heard.calls, 1);  // delivered before ibwrt returned
  EXPECT_TRUE(heard.sta & RQS);
  EXPECT_TRUE(heard.otherThread);
  // The callback returned 0: nothing is armed, so ibwait may be used again.
  EXPECT_FALSE(ibwait(ud, RQS) & ERR);
  ibwrt(ud, "*SRE 0\n", 7);
  ibonl(ud, 0);
}

TEST(SimNotify, CallbackRearmsWithTheMaskItReturns) {
  int ud = ibfindA("loop");
  Heard heard;
  heard.rearmTimes = 2;
  heard.mask = CMPL;
  int tmo = 0;
  ibnotify(ud, CMPL, record, &heard);  // an idle handle is complete: due at once
  EXPECT_EQ(heard.calls, 1);
  ibask(ud, IbcTMO, &tmo);  // any call gives the library a turn
  EXPECT_EQ(heard.calls, 2);
  ibask(ud, IbcTMO, &tmo);
  EXPECT_EQ(heard.calls, 3);  // the third callback returned 0
  ibask(ud, IbcTMO, &tmo);
  EXPECT_EQ(heard.calls, 3);
  ibonl(ud, 0);
}

TEST(SimNotify, CompletionOfAnAsyncReadIsDelivered) {
  freshBus();
  int ud = ibfindA("loop");
  ibwrt(ud, "data", 4);
  char buf[16] = {};
  Heard heard;
  ibrda(ud, buf, sizeof buf);
  ibnotify(ud, CMPL, record, &heard);
  EXPECT_EQ(heard.calls, 1);
  EXPECT_EQ(heard.sta & (CMPL | END | ERR), CMPL | END);
  EXPECT_EQ(heard.cnt, 4);
  EXPECT_STREQ(buf, "data");
  EXPECT_FALSE(ibwrt(ud, "x", 1) & ERR);  // the delivery ended the transfer
  ibonl(ud, 0);
}

TEST(SimNotify, ArmedNotificationRefusesWaitsAndResetCancelsIt) {
  int ud = ibfindA("loop");
  Heard heard;
  ibnotify(ud, RQS, record, &heard);  // the loopback never requests service
  EXPECT_TRUE(ibwait(ud, CMPL) & ERR);
  EXPECT_EQ(Iberr(), EWIP);
  EXPECT_EQ(heard.calls, 0);
  ibonl(ud, 1);  // the callback hears once that its notification is gone
  EXPECT_EQ(heard.calls, 1);
  EXPECT_TRUE(heard.sta & ERR);
  EXPECT_EQ(heard.err, ERST);
  EXPECT_FALSE(ibwait(ud, CMPL) & ERR);
  // Bad masks and a missing callback are argument errors.
  EXPECT_TRUE(ibnotify(ud, SRQI, record, &heard) & ERR);
  EXPECT_EQ(Iberr(), EARG);
  EXPECT_TRUE(ibnotify(ud, RQS, nullptr, nullptr) & ERR);
  EXPECT_EQ(Iberr(), EARG);
  ibonl(ud, 0);
}

}  // namespace
