// A query through vorel-gateway against the same query on the bus: "*IDN?"
// written to the simulated meter and its answer read, once through the
// library's calls and once as VXI-11 calls over the loopback to the
// gateway's own connection loop, served on a thread of this process. The
// difference is what the gateway adds (target: at most 200 µs).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <rpc/rpc.h>
#include <sys/socket.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

#include "library.h"
#include "links.h"
#include "rpc_server.h"
#include "vxi11.h"

namespace {

const char kQuery[] = "*IDN?\n";

void UseDefaultBus() {
  static const bool set = [] { return setenv("VOREL_BUS", BENCH_DEFAULT_BUS, 1) == 0; }();
  (void)set;
}

int ReadSocket(void* context, void* buffer, int length) {
  ssize_t n = recv(*static_cast<int*>(context), buffer, static_cast<size_t>(length), 0);
  return n > 0 ? static_cast<int>(n) : -1;
}

int WriteSocket(void* context, void* buffer, int length) {
  ssize_t n = send(*static_cast<int*>(context), buffer, static_cast<size_t>(length), MSG_NOSIGNAL);
  return n == length ? length : -1;
}

// The gateway's connection loop on one accepted connection; returns its port.
uint16_t StartGateway() {
  static const uint16_t port = [] {
    gateway::OpenBoards();
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    listen(listener, 4);
    getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len);
    std::thread([listener] {
      while (true) {
        int fd = accept(listener, nullptr, nullptr);
        if (fd < 0) return;
        int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        std::thread([fd] {
          int socket = fd;
          auto connection = std::make_shared<gateway::Connection>();
          connection->fd = fd;
          gateway::ServeCalls(connection, gateway::Channel::kCore,
                              gateway::Stream{&socket, &ReadSocket, &WriteSocket});
          gateway::CloseLinksOf(*connection);
          close(fd);
        }).detach();
      }
    }).detach();
    return ntohs(addr.sin_port);
  }();
  return port;
}

void BM_QueryOnTheBus(benchmark::State& state) {
  UseDefaultBus();
  int ud = ibdev(0, 1, 0, T10s, 1, 0);
  char answer[100];
  for (auto _ : state) {
    ibwrt(ud, kQuery, sizeof kQuery - 1);
    ibrd(ud, answer, sizeof answer);
    if (Ibcnt() != 26) state.SkipWithError("wrong answer");
  }
  ibonl(ud, 0);
}
BENCHMARK(BM_QueryOnTheBus)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_QueryThroughGateway(benchmark::State& state) {
  UseDefaultBus();
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(StartGateway());
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int sock = RPC_ANYSOCK;
  CLIENT* client = clnttcp_create(&addr, DEVICE_CORE, DEVICE_CORE_VERSION, &sock, 0, 0);
  if (!client) {
    state.SkipWithError("cannot connect to the gateway");
    return;
  }
  int one = 1;
  setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  Create_LinkParms linkParms{1, false, 0, const_cast<char*>("gpib0,1")};
  Create_LinkResp link{};
  create_link_1(&linkParms, &link, client);
  Device_WriteParms write{};
  write.lid = link.lid;
  write.io_timeout = 10000;
  write.flags = 0x08;
  write.data.data_val = const_cast<char*>(kQuery);
  write.data.data_len = sizeof kQuery - 1;
  Device_ReadParms read{};
  read.lid = link.lid;
  read.requestSize = 100;
  read.io_timeout = 10000;
  for (auto _ : state) {
    Device_WriteResp written{};
    Device_ReadResp answer{};
    device_write_1(&write, &written, client);
    device_read_1(&read, &answer, client);
    if (answer.error != 0 || answer.data.data_len != 26) state.SkipWithError("wrong answer");
    xdr_free(reinterpret_cast<xdrproc_t>(reinterpret_cast<void (*)()>(xdr_Device_ReadResp)),
             reinterpret_cast<char*>(&answer));
  }
  Device_Error destroyed{};
  destroy_link_1(&link.lid, &destroyed, client);
  clnt_destroy(client);
}
BENCHMARK(BM_QueryThroughGateway)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
