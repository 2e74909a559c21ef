// Tests of the entry stubs: binding, caching, status copies, failure results.
#include "driver/entry_stubs.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "driver/fake_driver.h"

namespace {
struct EntryStub : testing::Test {
  void SetUp() override { fake::Install(); }
  void TearDown() override { fake::Uninstall(); }
};

int Lookups(const std::string& name) {
  return static_cast<int>(std::count(fake::driver.lookups.begin(), fake::driver.lookups.end(), name));
}

TEST_F(EntryStub, BindingFailureResults) {
  struct Row {
    const char* name;
    int (*call)();
    int expected;
  } rows[] = {
      {"ibrd", [] { return stub::ibrd(0, nullptr, 0); }, 0x8000},
      {"ibconfig", [] { return stub::ibconfig(0, 1, 5); }, 0x8000},
      {"ibonl", [] { return stub::ibonl(0, 1); }, 0x8000},
      {"ibdev", [] { return stub::ibdev(0, 1, 0, 10, 1, 0); }, -1},
      {"ibexpert", [] { return stub::ibexpert(0, 3, nullptr, nullptr); }, -1},
      {"ibfindA", [] { return stub::ibfindA("gpib0"); }, -1},
  };
  for (const Row& row : rows) {
    ibsta = 0x0100;
    iberr = 5;
    ibcnt = ibcntl = 9;
    EXPECT_EQ(row.call(), row.expected) << row.name;
    EXPECT_EQ(ibsta, 0x8000) << row.name;
    EXPECT_EQ(iberr, 0) << row.name;
    EXPECT_EQ(ibcnt, 126) << row.name;
    EXPECT_EQ(ibcntl, 126) << row.name;
  }
  stub::SendIFC(0);
  EXPECT_EQ(ibsta, 0x8000);
  EXPECT_EQ(fake::driver.calls, 0);
  EXPECT_EQ(fake::driver.loadsByName, 7);
}

TEST_F(EntryStub, CallPassesArgumentsAndRefreshesStatus) {
  fake::driver.primaryPresent = true;
  fake::driver.sta = 0x2100;
  fake::driver.err = 0;
  fake::driver.cnt = 6;
  fake::driver.result = 0x2100;
  char data[] = "*IDN?\n";
  EXPECT_EQ(stub::ibwrt(3, data, 6), 0x2100);
  EXPECT_EQ(fake::driver.last.name, "ibwrt");
  EXPECT_EQ(fake::driver.last.args, (std::vector<intptr_t>{3, (intptr_t)data, 6}));
  EXPECT_EQ(ibsta, 0x2100);
  EXPECT_EQ(ibcnt, 6);
  EXPECT_EQ(ibcntl, ibcnt);

  uint16_t list[] = {0x0001, 0x6002, NOADDR};
  short results[2];
  fake::driver.cnt = 2;
  stub::AllSpoll(0, list, results);
  EXPECT_EQ(fake::driver.last.name, "AllSpoll");
  EXPECT_EQ(fake::driver.last.args,
            (std::vector<intptr_t>{0, (intptr_t)list, (intptr_t)results}));
  EXPECT_EQ(ibcntl, 2);
  EXPECT_EQ(ibcnt, 2);
}

TEST_F(EntryStub, MissingFunctionFailsAloneAndIsLookedUpAgain) {
  fake::driver.primaryPresent = true;
  fake::driver.missing = {"ibrd"};
  fake::driver.sta = 0x0100;
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(stub::ibrd(0, nullptr, 10), 0x8000);
    EXPECT_EQ(ibcntl, 127);
    EXPECT_EQ(stub::ibwrt(0, "x", 1), 0);
    EXPECT_EQ(ibsta, 0x0100);
  }
  EXPECT_EQ(Lookups("ibrd"), 3);
  EXPECT_EQ(Lookups("ibwrt"), 1);  // cached after the first call
  EXPECT_EQ(fake::driver.calls, 3);
}

TEST_F(EntryStub, FixedOptionsReachIbconfig) {
  fake::driver.primaryPresent = true;
  for (int option : {IbcPAD, IbcSAD, IbcTMO, IbcEOT, IbcSC, IbcSRE, IbcDMA, IbcIst, IbcRsv, IbcEOS}) {
    stub::ibconfig(4, option, 7);
    EXPECT_EQ(fake::driver.last.name, "ibconfig");
    EXPECT_EQ(fake::driver.last.args, (std::vector<intptr_t>{4, option, 7}));
  }
}

TEST_F(EntryStub, EosOnLegacyLibraryGoesToIbeos) {
  fake::driver.legacyPresent = true;
  // The first driver call of the run sees mode 0 and goes to ibconfig.
  stub::ibconfig(1, IbcEOS, 0x140A);
  EXPECT_EQ(fake::driver.last.name, "ibconfig");
  EXPECT_EQ(fake::driver.last.args, (std::vector<intptr_t>{1, 37, 0x140A}));
  EXPECT_EQ(libraryMode, 1);
  stub::ibconfig(1, IbcEOS, 0x0C0D);
  EXPECT_EQ(fake::driver.last.name, "ibeos");
  EXPECT_EQ(fake::driver.last.args, (std::vector<intptr_t>{1, 0x0C0D}));
  // Other options still go to ibconfig.
  stub::ibconfig(1, IbcTMO, 11);
  EXPECT_EQ(fake::driver.last.name, "ibconfig");
  // The ibconfig stub keeps its own ibeos entry, apart from the ibeos stub's.
  stub::ibconfig(1, IbcEOS, 1);
  stub::ibeos(1, 2);
  EXPECT_EQ(Lookups("ibeos"), 2);
}

TEST_F(EntryStub, EveryFunctionBindsByItsOwnName) {
  fake::driver.primaryPresent = true;
  for (int id = 0; id < stub::functionCount; ++id) {
    EXPECT_NE(LoadDriverEntry(stub::functionNames[id]), nullptr) << stub::functionNames[id];
  }
  EXPECT_EQ(stub::functionCount, 60);
}
}  // namespace
