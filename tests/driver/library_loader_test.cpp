// Tests of the driver loader: which library is bound, status sources, failures.
#include "driver/library_loader.h"

#include <gtest/gtest.h>

#include "driver/fake_driver.h"

namespace {
struct Loader : testing::Test {
  void SetUp() override { fake::Install(); }
  void TearDown() override { fake::Uninstall(); }
};

void ExpectLoadFailure(int code) {
  EXPECT_EQ(ibsta, 0x8000);
  EXPECT_EQ(iberr, 0);
  EXPECT_EQ(ibcnt, code);
  EXPECT_EQ(ibcntl, code);
}

TEST_F(Loader, NoLibraryFailsAndTriesAgainEachTime) {
  for (int attempt = 1; attempt <= 3; ++attempt) {
    ibsta = 0x0100;
    EXPECT_EQ(LoadDriverEntry("ibrd"), nullptr);
    ExpectLoadFailure(126);
    EXPECT_EQ(fake::driver.loadsByName, attempt);
    EXPECT_EQ(fake::driver.loadsByPath, attempt);
    EXPECT_EQ(libraryMode, 1);
  }
  EXPECT_EQ(fake::driver.lastPath, "/fake/system/libdrovin-32.so");
  EXPECT_EQ(fake::driver.atExits, 0);
}

TEST_F(Loader, PrimaryWithoutStatusSourceIsFreedAndLegacyNotTried) {
  for (const char* source : {"Ibsta", "Iberr", "Ibcnt"}) {
    fake::Install();
    fake::driver.primaryPresent = true;
    fake::driver.legacyPresent = true;
    fake::driver.missing = {source};
    EXPECT_EQ(LoadDriverEntry("ibrd"), nullptr) << source;
    ExpectLoadFailure(127);
    EXPECT_EQ(libraryMode, 2);
    EXPECT_EQ(fake::driver.frees, 1);
    EXPECT_EQ(fake::driver.loadsByPath, 0);
    EXPECT_EQ(fake::driver.atExits, 0);
  }
}

TEST_F(Loader, LegacyWithoutStatusVariableIsFreed) {
  fake::driver.legacyPresent = true;
  fake::driver.missing = {"user_ibcntl"};
  EXPECT_EQ(LoadDriverEntry("ibrd"), nullptr);
  ExpectLoadFailure(127);
  EXPECT_EQ(fake::driver.frees, 1);
  // Nothing is held, so the next request starts over.
  LoadDriverEntry("ibrd");
  EXPECT_EQ(fake::driver.loadsByName, 2);
}

TEST_F(Loader, NoSystemDirectoryFails) {
  fake::driver.systemDirectory = "";
  EXPECT_EQ(LoadDriverEntry("ibrd"), nullptr);
  ExpectLoadFailure(126);  // left by the failed primary load
  EXPECT_EQ(fake::driver.loadsByPath, 0);
}

TEST_F(Loader, PrimaryPreferredAndBoundOnce) {
  fake::driver.primaryPresent = true;
  fake::driver.legacyPresent = true;
  EXPECT_NE(LoadDriverEntry("ibrd"), nullptr);
  EXPECT_NE(LoadDriverEntry("ibwrt"), nullptr);
  EXPECT_EQ(libraryMode, 2);
  EXPECT_EQ(fake::driver.loadsByName, 1);
  EXPECT_EQ(fake::driver.loadsByPath, 0);
}

TEST_F(Loader, MissingEntryKeepsLibrary) {
  fake::driver.primaryPresent = true;
  fake::driver.missing = {"ibrd"};
  EXPECT_EQ(LoadDriverEntry("ibrd"), nullptr);
  ExpectLoadFailure(127);
  EXPECT_EQ(fake::driver.frees, 0);
  EXPECT_NE(LoadDriverEntry("ibwrt"), nullptr);
  EXPECT_EQ(fake::driver.loadsByName, 1);
}

TEST_F(Loader, StatusFromFunctionsOrVariables) {
  struct Row {
    bool primary;
    int mode;
  } rows[] = {{true, 2}, {false, 1}};
  for (const Row& row : rows) {
    fake::Install();
    fake::driver.primaryPresent = row.primary;
    fake::driver.legacyPresent = !row.primary;
    ASSERT_NE(LoadDriverEntry("ibrd"), nullptr);
    EXPECT_EQ(libraryMode, row.mode);
    fake::driver.sta = 0x2100;
    fake::driver.err = 6;
    fake::driver.cnt = 42;
    RefreshStatusCopies();
    EXPECT_EQ(ibsta, 0x2100);
    EXPECT_EQ(iberr, 6);
    EXPECT_EQ(ibcnt, 42);
    EXPECT_EQ(ibcntl, 42);
  }
}
}  // namespace
