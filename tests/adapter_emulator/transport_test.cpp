// The adapters' failure messages name the cause a user can act on: a host
// name that does not resolve, a port that answers no "++" command, a serial
// port of a group the user is not in.
#include <grp.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <string>

#include "vexon/prologix/protocol.h"
#include "vexon/prologix/transport.h"

namespace {

using vexon::prologix::Adapter;
using vexon::prologix::Outcome;
using vexon::prologix::PortProblem;
using vexon::prologix::Transport;

vexon::BoardSettings TcpBoard(const std::string& host, int port) {
  vexon::BoardSettings s;
  s.index = 3;
  s.backend = "prologix";
  s.host = host;
  s.tcpPort = port;
  return s;
}

TEST(PrologixTransport, HostNameThatDoesNotResolve) {
  Transport t;
  ASSERT_FALSE(t.Open(TcpBoard("no-such-host.invalid", 1234)));
  EXPECT_EQ(t.Problem(errno).rfind("cannot find the host no-such-host.invalid (", 0), 0u) << t.Problem(errno);
}

// The kernel accepts the connection; nobody ever answers on it.
TEST(PrologixTransport, ConnectionThatNeverAnswers) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ASSERT_EQ(listen(fd, 4), 0);
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  Adapter adapter(TcpBoard("127.0.0.1", ntohs(a.sin_port)), false);
  EXPECT_EQ(adapter.Ready(), Outcome::Broken);
  EXPECT_EQ(adapter.Problem(errno), "no answer to ++ver: no Prologix or AR488 adapter answers there");
  close(fd);
}

TEST(PrologixTransport, PortOfAGroupTheUserIsNotIn) {
  const group* dialout = getgrnam("dialout");
  if (!dialout) GTEST_SKIP() << "no group dialout here";
  char name[] = "/tmp/transport_test_XXXXXX";
  int fd = mkstemp(name);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(fchown(fd, static_cast<uid_t>(-1), dialout->gr_gid), 0);
  close(fd);
  EXPECT_EQ(PortProblem(name, EACCES),
            "permission denied: the port belongs to the group dialout, which you are not in "
            "(sudo usermod -aG dialout $USER, then log in again)");
  EXPECT_EQ(PortProblem(name, ENOENT), "No such file or directory");
  unlink(name);
}

}  // namespace
