// A query's round trip through an emulated "++" adapter, over TCP and a
// pseudo-terminal, beside the simulated bus's and beside the adapter's own
// round trip (the same two lines written and the reply read by hand). The
// difference between the driver's and the adapter's own is what the back end
// adds (target: at most 1 ms), for a text reply and for an IEEE 488.2
// definite-length block.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "../../tests/adapter_emulator/emulator_process.h"
#include "../../vexon/prologix/protocol.h"
#include "../../vexon/router/driver_api.h"
#include "../../vexon/router/router.h"

namespace {

constexpr int kSim = 0, kTcp = 2, kPty = 3;
constexpr unsigned char kMark = 0xFF;

// Two emulators: one behind the driver's boards, one spoken to by hand.
struct Adapters {
  EmulatorProcess driven, raw;
  bool ok = false;
  Adapters() {
    char dir[] = "/tmp/adapter_bench.XXXXXX";
    if (!mkdtemp(dir)) return;
    std::string root = dir;
    mkdir((root + "/d").c_str(), 0700);
    mkdir((root + "/r").c_str(), 0700);
    ok = driven.Start(root + "/d", {}) && raw.Start(root + "/r", {});
    vexon::BusConfig bus = vexon::DefaultBus();
    vexon::BoardSettings tcp, pty;
    tcp.index = kTcp;
    pty.index = kPty;
    tcp.backend = pty.backend = "prologix";
    tcp.host = "127.0.0.1";
    tcp.tcpPort = driven.port;
    pty.port = driven.ptyLink;
    bus.boards = {bus.boards[0], tcp, pty};
    vexon::UseBus(bus);
  }
};

Adapters& Emulators() {
  static Adapters a;
  return a;
}

// The query and what it writes: a text one to the meter, a block through
// the loopback device.
struct Query {
  int pad;
  std::string message;
};
Query TextQuery() { return {1, "*IDN?\n"}; }
Query BlockQuery() {
  std::string payload;
  for (int i = 0; i < 1000; ++i) payload += static_cast<char>(i * 7);
  return {2, "#41000" + payload + "\n"};
}

void DriverQuery(benchmark::State& state, int board, const Query& q) {
  if (!Emulators().ok) return state.SkipWithError("the emulator did not start");
  int ud = ibdev(board, q.pad, 0, 12, 1, 0);
  char buf[4096];
  for (auto _ : state) {
    ibwrt(ud, q.message.data(), static_cast<int>(q.message.size()));
    int sta = ibrd(ud, buf, sizeof buf);
    if ((sta & (ERR | END)) != END) return state.SkipWithError("the query failed");
  }
  ibonl(ud, 0);
}

// The adapter spoken to by hand: set up once, then per query the data line
// and "++read eoi", and the reply read up to the mark.
class RawAdapter {
 public:
  explicit RawAdapter(bool tcp) {
    EmulatorProcess& e = Emulators().raw;
    if (tcp) {
      fd_ = socket(AF_INET, SOCK_STREAM, 0);
      sockaddr_in a{};
      a.sin_family = AF_INET;
      a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      a.sin_port = htons(static_cast<uint16_t>(e.port));
      if (connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) fd_ = -1;
      int one = 1;
      setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    } else {
      fd_ = open(e.ptyLink.c_str(), O_RDWR | O_NOCTTY);
      termios t{};
      tcgetattr(fd_, &t);
      cfmakeraw(&t);
      tcsetattr(fd_, TCSANOW, &t);
    }
    Write("++mode 1\n++auto 0\n++eos 3\n++eot_enable 1\n++eot_char 255\n++read_tmo_ms 3000\n");
  }
  ~RawAdapter() {
    if (fd_ >= 0) close(fd_);
  }
  bool ok() const { return fd_ >= 0; }
  void Write(const std::string& s) { (void)!write(fd_, s.data(), s.size()); }
  // Reads to the mark that stands last; false when nothing comes for a second.
  bool ReadToMark(size_t expected) {
    size_t got = 0;
    for (;;) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, 1000) <= 0) return false;
      ssize_t n = read(fd_, buf_, sizeof buf_);
      if (n <= 0) return false;
      got += static_cast<size_t>(n);
      if (got >= expected + 1 && static_cast<unsigned char>(buf_[n - 1]) == kMark) return true;
    }
  }

 private:
  int fd_ = -1;
  char buf_[4096];
};

void RawQuery(benchmark::State& state, bool tcp, const Query& q, size_t replySize) {
  if (!Emulators().ok) return state.SkipWithError("the emulator did not start");
  RawAdapter a(tcp);
  if (!a.ok()) return state.SkipWithError("no connection to the emulator");
  a.Write("++addr " + std::to_string(q.pad) + "\n");
  const std::string query = vexon::prologix::EscapeData(q.message.data(), static_cast<int>(q.message.size()));
  for (auto _ : state) {
    a.Write(query);
    a.Write("++read eoi\n");
    if (!a.ReadToMark(replySize)) return state.SkipWithError("no reply");
  }
}

const size_t kIdnSize = 26, kBlockSize = 1007;

void BM_SimQueryText(benchmark::State& s) { DriverQuery(s, kSim, TextQuery()); }
void BM_AdapterQueryTextTcp(benchmark::State& s) { DriverQuery(s, kTcp, TextQuery()); }
void BM_AdapterOwnRoundTripTextTcp(benchmark::State& s) { RawQuery(s, true, TextQuery(), kIdnSize); }
void BM_AdapterQueryTextPty(benchmark::State& s) { DriverQuery(s, kPty, TextQuery()); }
void BM_AdapterOwnRoundTripTextPty(benchmark::State& s) { RawQuery(s, false, TextQuery(), kIdnSize); }
void BM_SimQueryBlock(benchmark::State& s) { DriverQuery(s, kSim, BlockQuery()); }
void BM_AdapterQueryBlockTcp(benchmark::State& s) { DriverQuery(s, kTcp, BlockQuery()); }
void BM_AdapterOwnRoundTripBlockTcp(benchmark::State& s) { RawQuery(s, true, BlockQuery(), kBlockSize); }
void BM_AdapterQueryBlockPty(benchmark::State& s) { DriverQuery(s, kPty, BlockQuery()); }
void BM_AdapterOwnRoundTripBlockPty(benchmark::State& s) { RawQuery(s, false, BlockQuery(), kBlockSize); }

BENCHMARK(BM_SimQueryText)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AdapterQueryTextTcp)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AdapterOwnRoundTripTextTcp)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AdapterQueryTextPty)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AdapterOwnRoundTripTextPty)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SimQueryBlock)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AdapterQueryBlockTcp)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AdapterOwnRoundTripBlockTcp)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AdapterQueryBlockPty)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AdapterOwnRoundTripBlockPty)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
