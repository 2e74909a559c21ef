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
