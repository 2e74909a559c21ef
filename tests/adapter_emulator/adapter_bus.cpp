// The emulated adapters and the bus that reaches them.
#include "adapter_bus.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include "vexon/router/driver_api.h"
#include "vexon/router/router.h"

namespace adapter_test {

EmulatorProcess prologix, ar488, arduino;

namespace {

// A port nothing listens on.
int ClosedPort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  close(fd);
  return ntohs(a.sin_port);
}

class AdapterBus : public ::testing::Environment {
 public:
  void SetUp() override {
    char dir[] = "/tmp/prologix_test.XXXXXX";
    ASSERT_TRUE(mkdtemp(dir));
    std::string root = dir;
    for (const char* sub : {"/p", "/a", "/b"}) mkdir((root + sub).c_str(), 0700);
    ASSERT_TRUE(prologix.Start(root + "/p", {}));
    ASSERT_TRUE(ar488.Start(root + "/a", {"--ar488", "--firmware", "0.53.03"}));
    ASSERT_TRUE(arduino.Start(root + "/b", {"--ar488", "--boot-ms", std::to_string(kArduinoBootMs)}));
    vexon::BusConfig bus = vexon::DefaultBus();
    auto adapter = [](int index, const char* backend) {
      vexon::BoardSettings s;
      s.index = index;
      s.backend = backend;
      return s;
    };
    vexon::BoardSettings tcp = adapter(kTcp, "prologix"), pty = adapter(kPty, "prologix"),
                         ar = adapter(kAr488, "ar488"), refused = adapter(kRefused, "prologix"),
                         unplugged = adapter(kUnplugged, "prologix"),
                         disguised = adapter(kAr488AsPrologix, "prologix"), boots = adapter(kArduino, "ar488");
    tcp.host = refused.host = disguised.host = "127.0.0.1";
    tcp.tcpPort = prologix.port;
    refused.tcpPort = ClosedPort();
    disguised.tcpPort = ar488.port;
    pty.port = prologix.ptyLink;
    ar.port = ar488.ptyLink;
    boots.port = arduino.ptyLink;
    unplugged.port = root + "/no-such-tty";
    bus.boards = {bus.boards[0], tcp, pty, ar, refused, unplugged, disguised, boots};
    vexon::UseBus(bus);
  }
  void TearDown() override {
    prologix.Stop();
    ar488.Stop();
    arduino.Stop();
  }
};
const auto* const environment = ::testing::AddGlobalTestEnvironment(new AdapterBus);

}  // namespace

std::string Query(int ud, const std::string& text) {
  char buf[512];
  ibwrt(ud, text.data(), static_cast<int>(text.size()));
  if (!(Ibsta() & ERR)) ibrd(ud, buf, sizeof buf);
  if (Ibsta() & ERR) return "error " + std::to_string(Iberr());
  return std::string(buf, static_cast<size_t>(Ibcnt()));
}

}  // namespace adapter_test
