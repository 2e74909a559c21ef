// The networks whose clients the gateway serves.
#include "allow_list.h"

#include <gtest/gtest.h>

namespace gateway {
namespace {

TEST(AllowList, Networks) {
  struct Case {
    const char* network;
    const char* address;
    bool allowed;
  } cases[] = {
      {"127.0.0.0/8", "127.0.0.1", true},     {"127.0.0.0/8", "127.255.0.9", true},
      {"127.0.0.0/8", "128.0.0.1", false},    {"192.168.1.0/24", "192.168.1.77", true},
      {"192.168.1.0/24", "192.168.2.1", false}, {"192.168.1.9/24", "192.168.1.1", true},
      {"10.0.0.5", "10.0.0.5", true},         {"10.0.0.5", "10.0.0.6", false},
      {"0.0.0.0/0", "8.8.8.8", true},
  };
  for (const Case& c : cases) {
    Network network;
    ASSERT_TRUE(ParseNetwork(c.network, &network)) << c.network;
    Network address;
    ASSERT_TRUE(ParseNetwork(c.address, &address));
    EXPECT_EQ(Allowed({network}, address.address), c.allowed) << c.network << " " << c.address;
  }
  for (const char* bad : {"", "localhost", "10.0.0.0/33", "10.0.0.0/", "10.0.0/8", "10.0.0.0/8x", "::1"}) {
    Network network;
    EXPECT_FALSE(ParseNetwork(bad, &network)) << bad;
  }
}

}  // namespace
}  // namespace gateway
