// The linux-gpib back end on the fake libgpib (tests/fake_libgpib): every
// call of the ABI reaches libgpib with the user's arguments on libgpib's
// descriptor, and libgpib's status comes back.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "../../vexon/router/driver_api.h"
#include "../../vexon/router/router.h"

namespace {

// gpib1 is libgpib's board 0.
void UseLinuxGpibBus() {
  vexon::BusConfig bus;
  vexon::BoardSettings one;
  one.index = 1, one.backend = "linux-gpib", one.minor = 0;
  bus.boards = {one};
  vexon::UseBus(bus);
}

// What the fake says about the last call it got, through the library the
// back end loaded.
struct Fake {
  const char* (*lastCall)() = nullptr;
  int (*sta)() = nullptr;
  int (*err)() = nullptr;
  long (*cntl)() = nullptr;
  static Fake Get() {
    Fake f;
    void* lib = dlopen("libgpib.so.0", RTLD_NOW | RTLD_NOLOAD);
    if (!lib) return f;
    f.lastCall = reinterpret_cast<const char* (*)()>(dlsym(lib, "fake_libgpib_last_call"));
    f.sta = reinterpret_cast<int (*)()>(dlsym(lib, "ThreadIbsta"));
    f.err = reinterpret_cast<int (*)()>(dlsym(lib, "ThreadIberr"));
    f.cntl = reinterpret_cast<long (*)()>(dlsym(lib, "ThreadIbcntl"));
    return f;
  }
};

TEST(LinuxGpibBackend, EveryCallReachesLibgpib) {
  UseLinuxGpibBus();
  const int board = ibfindA("gpib1");
  const int dev = ibdev(1, 9, 0, 13, 1, 0);
  ASSERT_GE(board, 0);
  ASSERT_GE(dev, 0);
  const Fake fake = Fake::Get();
  ASSERT_TRUE(fake.lastCall && fake.sta && fake.err && fake.cntl);
  EXPECT_STREQ(fake.lastCall(), "ibdev(0, 9, 0x0, 13, 1, 0x0)");

  const uint16_t list[] = {9, 13, NOADDR};
  uint16_t found[4];
  short results[4], word = 0;
  char byte = 0, buf[64];
  int value = 0;
  // Each call with its arguments as libgpib must receive them: gpib1 is
  // descriptor 0, {dev} the device's; end modes in libgpib's names.
  struct Row {
    const char* expected;
    std::function<void()> call;
  } rows[] = {
      {"ibask({dev}, 0x3)", [&] { ibask(dev, IbcTMO, &value); }},
      {"ibcac(0, 1)", [&] { ibcac(board, 1); }},
      {"ibclr({dev})", [&] { ibclr(dev); }},
      {"ibcmd(0, \"?)\", 2)", [&] { ibcmd(board, "?)", 2); }},
      {"ibcmda(0, \"_\", 1)", [&] { ibcmda(board, "_", 1); }},
      {"ibconfig({dev}, 0x3, 11)", [&] { ibconfig(dev, IbcTMO, 11); }},
      {"ibeos({dev}, 0x140a)", [&] { ibeos(dev, 0x140a); }},
      {"ibgts(0, 1)", [&] { ibgts(board, 1); }},
      {"iblines(0)", [&] { iblines(board, &word); }},
      {"ibln(0, 9, 0x60)", [&] { ibln(board, 9, 0x60, &word); }},
      {"ibloc({dev})", [&] { ibloc(dev); }},
      {"ibpct({dev})", [&] { ibpct(dev); }},
      {"ibppc({dev}, 0x61)", [&] { ibppc(dev, 0x61); }},
      {"ibwrt({dev}, \"*IDN?\\n\", 6)", [&] { ibwrt(dev, "*IDN?\n", 6); }},
      {"ibrd({dev}, 7)", [&] { ibrd(dev, buf, 7); }},
      {"ibrda({dev}, buffer, 9)", [&] { ibrda(dev, buf, 9); }},
      {"ibrdf({dev}, \"in.bin\")", [&] { ibrdfA(dev, "in.bin"); }},
      {"ibrpp(0)", [&] { ibrpp(board, &byte); }},
      {"ibrsp({dev})", [&] { ibrsp(dev, &byte); }},
      {"ibsic(0)", [&] { ibsic(board); }},
      {"ibstop({dev})", [&] { ibstop(dev); }},
      {"ibtrg({dev})", [&] { ibtrg(dev); }},
      {"ibwait({dev}, 0x4100)", [&] { ibwait(dev, TIMO | CMPL); }},
      {"ibwrta({dev}, \"x\", 1)", [&] { ibwrta(dev, "x", 1); }},
      {"ibwrtf({dev}, \"out.bin\")", [&] { ibwrtfA(dev, "out.bin"); }},
      {"AllSPoll(0, [0x0009 0x000d NOADDR])", [&] { AllSpoll(1, list, results); }},
      {"DevClear(0, 0x6209)", [&] { DevClear(1, 0x6209); }},
      {"DevClearList(0, [0x0009 0x000d NOADDR])", [&] { DevClearList(1, list); }},
      {"EnableLocal(0, [0x0009 0x000d NOADDR])", [&] { EnableLocal(1, list); }},
      {"EnableRemote(0, [0x0009 0x000d NOADDR])", [&] { EnableRemote(1, list); }},
      {"FindLstn(0, [0x0009 0x000d NOADDR], 4)", [&] { FindLstn(1, list, found, 4); }},
      {"FindRQS(0, [0x0009 0x000d NOADDR])", [&] { FindRQS(1, list, &word); }},
      {"PPoll(0)", [&] { PPoll(1, &word); }},
      {"PPollConfig(0, 0x0009, 3, 1)", [&] { PPollConfig(1, 9, 3, 1); }},
      {"PPollUnconfig(0, [0x0009 0x000d NOADDR])", [&] { PPollUnconfig(1, list); }},
      {"PassControl(0, 0x0009)", [&] { PassControl(1, 9); }},
      {"RcvRespMsg(0, 12, 0x100)", [&] { RcvRespMsg(1, buf, 12, STOPend); }},
      {"ReadStatusByte(0, 0x0009)", [&] { ReadStatusByte(1, 9, &word); }},
      {"Receive(0, 0x0009, 30, 0xa)", [&] { Receive(1, 9, buf, 30, '\n'); }},
      {"ReceiveSetup(0, 0x0009)", [&] { ReceiveSetup(1, 9); }},
      {"ResetSys(0, [0x0009 0x000d NOADDR])", [&] { ResetSys(1, list); }},
      {"Send(0, 0x0009, \"a\", 1, NULLend)", [&] { Send(1, 9, "a", 1, NULLend); }},
      {"Send(0, 0x0009, \"b\", 1, NLend)", [&] { Send(1, 9, "b", 1, NLend); }},
      {"Send(0, 0x0009, \"c\", 1, DABend)", [&] { Send(1, 9, "c", 1, DABend); }},
      {"SendCmds(0, \"?\", 1)", [&] { SendCmds(1, "?", 1); }},
      {"SendDataBytes(0, \"d\", 1, NLend)", [&] { SendDataBytes(1, "d", 1, NLend); }},
      {"SendIFC(0)", [&] { SendIFC(1); }},
      {"SendLLO(0)", [&] { SendLLO(1); }},
      {"SendList(0, [0x0009 0x000d NOADDR], \"e\", 1, DABend)",
       [&] { SendList(1, list, "e", 1, DABend); }},
      {"SendSetup(0, [0x0009 0x000d NOADDR])", [&] { SendSetup(1, list); }},
      {"SetRWLS(0, [0x0009 0x000d NOADDR])", [&] { SetRWLS(1, list); }},
      {"TestSRQ(0)", [&] { TestSRQ(1, &word); }},
      {"TestSys(0, [0x0009 0x000d NOADDR])", [&] { TestSys(1, list, results); }},
      {"Trigger(0, 0x0009)", [&] { Trigger(1, 9); }},
      {"TriggerList(0, [0x0009 0x000d NOADDR])", [&] { TriggerList(1, list); }},
      {"WaitSRQ(0)", [&] { WaitSRQ(1, &word); }},
      {"ibonl({dev}, 1)", [&] { ibonl(dev, 1); }},
  };
  // The device's descriptor, which depends on what libgpib opened before.
  ibclr(dev);
  const std::string descriptor = std::string(fake.lastCall()).substr(6);
  for (const Row& r : rows) {
    r.call();
    std::string expected = r.expected;
    if (size_t at = expected.find("{dev}"); at != std::string::npos)
      expected.replace(at, 5, descriptor.substr(0, descriptor.size() - 1));
    EXPECT_EQ(fake.lastCall(), expected);
    EXPECT_EQ(Ibsta(), fake.sta()) << r.expected;
    EXPECT_EQ(Ibcnt(), static_cast<int>(fake.cntl())) << r.expected;
    if (Ibsta() & ERR) {
      EXPECT_EQ(Iberr(), fake.err()) << r.expected;
    }
  }

  // What libgpib lacks never reaches it.
  const std::string before = fake.lastCall();
  const std::function<int()> missing[] = {
      [&] { return iblck(dev, 1, 0, nullptr); },
      [&] { return ibexpert(dev, IbeDriverVersion, nullptr, nullptr); },
  };
  for (const auto& call : missing) {
    EXPECT_EQ(call(), ERR);
    EXPECT_EQ(Iberr(), ECAP);
    EXPECT_EQ(Ibcnt(), 0);
  }
  EXPECT_EQ(fake.lastCall(), before);

  // ibnotify, which libgpib lacks too, is the router's: its thread watches
  // libgpib's ibwait and calls back when the mask's condition comes.
  static std::atomic<int> heard{0};
  const NotifyCallback cb = [](int, int sta, int, int, void*) {
    heard += (sta & CMPL) != 0;
    return 0;
  };
  EXPECT_FALSE(ibnotify(dev, CMPL, cb, nullptr) & ERR);
  for (int i = 0; i < 500 && !heard; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(heard, 1);
  EXPECT_FALSE(ibnotify(dev, 0, nullptr, nullptr) & ERR);
}

}  // namespace
