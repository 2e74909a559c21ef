// Tests of the real loader platform: dlopen, dlsym and the error codes.
#include "platform/dynamic_library.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(DriverPlatform, LoadAndLookUpWithErrorCodes) {
  const LoaderPlatform& p = DynamicLibraryPlatform();
  EXPECT_EQ(p.loadByName("libvorel-no-such-library.so"), nullptr);
  EXPECT_EQ(p.lastError(), 126);
  EXPECT_EQ(p.loadByPath("/no/such/dir/libdrovin-32.so"), nullptr);
  EXPECT_EQ(p.lastError(), 126);

  void* libc = p.loadByName("libc.so.6");
  ASSERT_NE(libc, nullptr);
  EXPECT_NE(p.findSymbol(libc, "strlen"), nullptr);
  EXPECT_EQ(p.findSymbol(libc, "vorel_no_such_symbol"), nullptr);
  EXPECT_EQ(p.lastError(), 127);
  p.freeLibrary(libc);
}

TEST(DriverPlatform, SystemDirectoryIsTheBuildSetting) {
  const LoaderPlatform& p = DynamicLibraryPlatform();
  char buffer[260];
  ASSERT_TRUE(p.systemDirectory(buffer, sizeof buffer));
  EXPECT_GT(std::strlen(buffer), 0u);
  char tiny[2];
  EXPECT_FALSE(p.systemDirectory(tiny, sizeof tiny));
}
