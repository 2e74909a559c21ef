// Recording a bench and replaying it: a session through the emulated Prologix
// adapter and one on a linux-gpib board of the fake libgpib are recorded; the
// recording replays on the simulated bus with the same results, settings that
// read back become properties, the file is written at exit too, and a file of
// the user's is never overwritten.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "../../vexon/router/bus_loader.h"
#include "../../vexon/router/driver_api.h"
#include "../../vexon/router/recorder.h"
#include "../../vexon/router/router.h"
#include "../adapter_emulator/emulator_process.h"
#include "child.h"

namespace {

constexpr int kGpib = 1, kAdapter = 2;

// Never destroyed: a child that exits must not stop the parent's emulator.
EmulatorProcess& adapter = *new EmulatorProcess;
std::string scratch;

class Bench : public ::testing::Environment {
 public:
  void SetUp() override {
    char dir[] = "/tmp/recording_test.XXXXXX";
    ASSERT_TRUE(mkdtemp(dir));
    scratch = dir;
    mkdir((scratch + "/emulator").c_str(), 0700);
    ASSERT_TRUE(adapter.Start(scratch + "/emulator", {}));
  }
  void TearDown() override {
    adapter.Stop();
    std::system(("rm -rf '" + scratch + "'").c_str());
  }
};
const auto* const environment = ::testing::AddGlobalTestEnvironment(new Bench);

std::string Read(const std::string& path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

// The bench: the adapter on gpib2, libgpib's board 0 on gpib1, each
// recording to its own file.
vexon::BusConfig BenchBus(const std::string& adapterFile, const std::string& gpibFile) {
  vexon::BusConfig bus;
  vexon::BoardSettings gpib, prologix;
  gpib.index = kGpib, gpib.backend = "linux-gpib", gpib.minor = 0, gpib.record = gpibFile;
  prologix.index = kAdapter, prologix.backend = "prologix", prologix.host = "127.0.0.1";
  prologix.tcpPort = adapter.port, prologix.record = adapterFile;
  bus.boards = {gpib, prologix};
  return bus;
}

// One call's outcome: the transfer bits of ibsta, iberr with ERR, ibcntl and
// the bytes read.
std::string Outcome(const std::string& what, const void* data = nullptr, int n = 0) {
  const int sta = Ibsta();
  std::string s = what + ": sta " + std::to_string(sta & (ERR | TIMO | END | CMPL));
  if (sta & ERR) s += " err " + std::to_string(Iberr());
  s += " cnt " + std::to_string(Ibcnt());
  for (int i = 0; i < n && !(sta & ERR); ++i) s += " " + std::to_string(static_cast<const uint8_t*>(data)[i]);
  return s;
}

// A binary block of every byte value but the end of messages, ";" among
// them, which the replay cuts messages at.
std::string Block() {
  std::string block = "#3255";
  for (int c = 0; c < 0x100; ++c)
    if (c != '\n') block += static_cast<char>(c);
  return block + "\n";
}

struct Calls {
  std::vector<std::string> out;
  char buf[512];
  void Write(int ud, const std::string& s) {
    ibwrt(ud, s.data(), static_cast<int>(s.size()));
    out.push_back(Outcome("write"));
  }
  void Read(int ud, int count) {
    ibrd(ud, buf, count);
    out.push_back(Outcome("read", buf, Ibcnt()));
  }
};

// The meter and the loopback behind the adapter.
std::vector<std::string> AdapterSession() {
  Calls c;
  const int dmm = ibdev(kAdapter, 1, 0, 11, 1, 0), loop = ibdev(kAdapter, 2, 0, 11, 1, 0);
  c.Write(dmm, "*IDN?\n");
  c.Read(dmm, 100);
  c.Write(dmm, "MEAS:VOLT?\n");
  c.Read(dmm, 5);
  c.Read(dmm, 100);
  for (const char* mask : {"32", "4"}) {
    c.Write(dmm, std::string("*ESE ") + mask + "\n");
    c.Write(dmm, "*ESE?\n");
    c.Read(dmm, 100);
  }
  char stb = 0;
  ibrsp(dmm, &stb);
  c.out.push_back(Outcome("serial poll", &stb, 1));
  c.Write(loop, Block());
  c.Read(loop, 300);
  Send(kAdapter, 1, "*IDN?", 5, NLend);
  c.out.push_back(Outcome("Send"));
  Receive(kAdapter, 1, c.buf, 100, STOPend);
  c.out.push_back(Outcome("Receive", c.buf, Ibcnt()));
  ibonl(dmm, 0);
  ibonl(loop, 0);
  return c.out;
}

// The fake libgpib's meter: queries, a read in two parts, a read with
// nothing to say, and the 488.2 routines.
std::vector<std::string> GpibSession() {
  Calls c;
  // libgpib's own name: replayed as a definition of that name.
  const int meter = ibfind("voltmeter");
  c.Write(meter, "*IDN?\n");
  c.Read(meter, 100);
  c.Write(meter, "READ?\n");
  c.Read(meter, 4);
  c.Read(meter, 100);
  c.Read(meter, 100);
  // libgpib counts the data without the line feed NLend adds; the simulated bus with it.
  Send(kGpib, 9, "READ?", 5, NLend);
  c.out.push_back("Send: sta " + std::to_string(Ibsta() & (ERR | END | CMPL)));
  Receive(kGpib, 9, c.buf, 100, STOPend);
  c.out.push_back(Outcome("Receive", c.buf, Ibcnt()));
  ibonl(meter, 0);
  return c.out;
}

// A meter of the simulated bus on a recording board, reached by every kind of
// transfer: the board's own addressing, the asynchronous calls, files, the
// 488.2 lists; each with a query of its own.
const char kSimBench[] = R"(
boards:
  gpib0: {backend: sim, record: @FILE@}
devices:
  meter:
    eom:
      GPIB INSTR: {q: "\n", r: "\n"}
    dialogues:
      - {q: "BOARD?", r: "by the board"}
      - {q: "WRTA?", r: "after ibwrta"}
      - {q: "RDA?", r: "by ibrda"}
      - {q: "NOTE?", r: "heard by ibnotify"}
      - {q: "FILE?", r: "from a file"}
      - {q: "LIST?", r: "by SendList"}
      - {q: "BYTES?", r: "by SendDataBytes"}
resources:
  GPIB0::9::INSTR: {device: meter}
)";

// Writes the bench above to path, recording to file.
void WriteSimBench(const std::string& path, const std::string& file) {
  std::string yaml = kSimBench;
  yaml.replace(yaml.find("@FILE@"), 6, file);
  std::ofstream(path) << yaml;
}

std::vector<std::string> SimSession() {
  Calls c;
  const int board = ibfind("gpib0"), meter = ibdev(0, 9, 0, T3s, 1, 0);
  // UNL UNT, the board talks (MTA 0), the meter listens (MLA 9); then the reverse.
  ibcmd(board, "?_@)", 4);
  c.Write(board, "BOARD?\n");
  ibcmd(board, "?_I ", 4);
  c.Read(board, 100);
  ibwrta(meter, "WRTA?\n", 6);
  ibwait(meter, CMPL);
  c.out.push_back(Outcome("ibwrta"));
  c.Read(meter, 100);
  c.Write(meter, "RDA?\n");
  ibrda(meter, c.buf, 100);
  ibwait(meter, CMPL);
  c.out.push_back(Outcome("ibrda", c.buf, Ibcnt()));
  // A read whose end only a notification sees.
  c.Write(meter, "NOTE?\n");
  std::atomic<int> heard{-1};
  ibrda(meter, c.buf, 100);
  ibnotify(
      meter, CMPL,
      [](int, int sta, int, int cnt, void* ref) {
        static_cast<std::atomic<int>*>(ref)->store((sta & CMPL) ? cnt : 0);
        return 0;
      },
      &heard);
  for (int i = 0; i < 1000 && heard < 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  c.out.push_back("heard: " + std::string(c.buf, static_cast<size_t>(std::max(0, heard.load()))));
  const std::string in = scratch + "/query", out = scratch + "/answer";
  std::ofstream(in) << "FILE?\n";
  ibwrtf(meter, in.c_str());
  c.out.push_back(Outcome("ibwrtf"));
  ibrdf(meter, out.c_str());
  const std::string answer = Read(out);
  c.out.push_back(Outcome("ibrdf", answer.data(), static_cast<int>(answer.size())));
  const uint16_t list[] = {9, NOADDR};
  SendList(0, list, "LIST?", 5, NLend);
  c.out.push_back(Outcome("SendList"));
  Receive(0, 9, c.buf, 100, STOPend);
  c.out.push_back(Outcome("Receive", c.buf, Ibcnt()));
  SendSetup(0, list);
  SendDataBytes(0, "BYTES?", 6, NLend);
  ReceiveSetup(0, 9);
  RcvRespMsg(0, c.buf, 100, STOPend);
  c.out.push_back(Outcome("RcvRespMsg", c.buf, Ibcnt()));
  short results[1] = {-1};
  AllSpoll(0, list, results);
  c.out.push_back(Outcome("AllSpoll") + " " + std::to_string(results[0]));
  ibonl(meter, 0);
  return c.out;
}

// Runs session in a child on bus; its outcomes, and its standard error.
std::vector<std::string> InChildOn(const std::function<vexon::BusConfig()>& bus,
                                   const std::function<std::vector<std::string>()>& session,
                                   std::string& errors) {
  const std::string path = scratch + "/outcomes";
  InChild(
      [&] {
        vexon::UseBus(bus());
        std::ofstream out(path);
        for (const std::string& line : session()) out << line << "\n";
        return true;
      },
      errors);
  std::vector<std::string> lines;
  std::ifstream in(path);
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  unlink(path.c_str());
  return lines;
}

// The recorded file as the driver loads it.
std::function<vexon::BusConfig()> Replay(const std::string& path) {
  return [path] {
    vexon::BusConfig bus;
    std::string message;
    int error = 0;
    if (!vexon::LoadBusFile(path, bus, message, error)) std::fprintf(stderr, "%s\n", message.c_str());
    return bus;
  };
}

TEST(Recording, ReplaysWithTheSameAnswers) {
  const std::string adapterFile = scratch + "/adapter.yaml", gpibFile = scratch + "/gpib.yaml";
  std::string errors;
  auto bench = [&] { return BenchBus(adapterFile, gpibFile); };
  const std::vector<std::string> recorded = InChildOn(bench, AdapterSession, errors);
  ASSERT_EQ(recorded.size(), 16u) << errors << ::testing::PrintToString(recorded);
  EXPECT_EQ(recorded[1].substr(0, 22), "read: sta 8448 cnt 26 ") << errors;
  const std::vector<std::string> recordedGpib = InChildOn(bench, GpibSession, errors);
  ASSERT_EQ(recordedGpib.size(), 8u) << errors;

  EXPECT_EQ(InChildOn(Replay(adapterFile), AdapterSession, errors), recorded) << errors << Read(adapterFile);
  EXPECT_EQ(InChildOn(Replay(gpibFile), GpibSession, errors), recordedGpib) << errors << Read(gpibFile);

  // The setting read back as written is a property; the measurement a dialogue.
  const std::string text = Read(adapterFile);
  EXPECT_NE(text.find("    properties:\n      ese:\n        default: \"32\"\n"
                      "        getter: {q: \"*ESE?\", r: \"{}\"}\n        setter: {q: \"*ESE {}\"}\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("      - q: \"MEAS:VOLT?\"\n        r: \"+1.234500E+00\"\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("q: \"*ESE 32\""), std::string::npos) << text;
  EXPECT_NE(text.find("# Recorded on gpib2 (prologix, host 127.0.0.1, tcp_port " + std::to_string(adapter.port)),
            std::string::npos);
  EXPECT_NE(Read(gpibFile).find("# Recorded on gpib1 (linux-gpib, minor 0)"), std::string::npos);
  // libgpib's own name names the definition, which the replay's ibfind finds.
  EXPECT_NE(Read(gpibFile).find("\n  voltmeter:\n    # GPIB1::9::INSTR"), std::string::npos) << Read(gpibFile);
  // The block holding ";" replays in the two parts the replay cuts it into.
  EXPECT_NE(text.find("      # part\n      - q: \"#3255\\0\\x01"), std::string::npos) << text;
  EXPECT_NE(text.find("      # part\n      - q: \"BYTES(3C3D3E"), std::string::npos) << text;
}

TEST(Recording, EveryKindOfTransferReplays) {
  const std::string file = scratch + "/sim.yaml", bench = scratch + "/sim-bench.yaml";
  WriteSimBench(bench, file);
  std::string errors;
  const std::vector<std::string> recorded = InChildOn(Replay(bench), SimSession, errors);
  ASSERT_EQ(recorded.size(), 15u) << errors << ::testing::PrintToString(recorded);
  EXPECT_EQ(recorded[1].substr(0, 22), "read: sta 8448 cnt 13 ") << ::testing::PrintToString(recorded);
  const std::string text = Read(file);
  for (const char* dialogue : {"- q: \"BOARD?\"\n        r: \"by the board\"\n",
                               "- q: \"WRTA?\"\n        r: \"after ibwrta\"\n",
                               "- q: \"RDA?\"\n        r: \"by ibrda\"\n",
                               "- q: \"NOTE?\"\n        r: \"heard by ibnotify\"\n",
                               "- q: \"FILE?\"\n        r: \"from a file\"\n",
                               "- q: \"LIST?\"\n        r: \"by SendList\"\n",
                               "- q: \"BYTES?\"\n        r: \"by SendDataBytes\"\n",
                               "# serial polls answered, in order: 0x00\n"})
    EXPECT_NE(text.find(dialogue), std::string::npos) << dialogue << text;
  EXPECT_EQ(InChildOn(Replay(file), SimSession, errors), recorded) << errors << text;
}

// The board's own transfers are recorded only where its commands made the
// listeners and the talker clear.
TEST(Recording, BoardTransfersOnlyWhenAddressedClearly) {
  const std::string file = scratch + "/unclear.yaml", bench = scratch + "/unclear-bench.yaml";
  WriteSimBench(bench, file);
  std::string errors;
  InChildOn(Replay(bench), [] {
    Calls c;
    const int board = ibfind("gpib0"), meter = ibdev(0, 9, 0, T3s, 1, 0);
    ibcmd(board, "@)", 2);  // without UNL: who else listens is not known
    c.Write(board, "BOARD?\n");
    ibcmd(board, "?_@)", 4);
    c.Write(meter, "RDA?\n");  // the back end addresses the meter itself
    c.Read(meter, 100);
    c.Write(board, "WRTA?\n");  // after that, the board's commands no longer tell
    ibonl(meter, 0);
    return c.out;
  }, errors);
  const std::string text = Read(file);
  EXPECT_NE(text.find("q: \"RDA?\""), std::string::npos) << text;
  EXPECT_EQ(text.find("BOARD?"), std::string::npos) << text;
  EXPECT_EQ(text.find("WRTA?"), std::string::npos) << text;
}

// An instrument a vxi11 board reaches by its link name has no GPIB address:
// the recording places it at the lowest free one, where the replay's ibfind
// finds it by its name.
TEST(Recording, LinkNamesReplayAtAnAddressOfTheirOwn) {
  const std::string file = scratch + "/link.yaml";
  std::string errors;
  InChild(
      [&] {
        vexon::BusConfig bus;
        vexon::BoardSettings lan;
        lan.index = 3, lan.backend = "vxi11", lan.host = "127.0.0.1", lan.record = file;
        bus.boards = {lan};
        vexon::NamedDevice scope{"scope", 3, 0, 0, T3s, 1, 0};
        scope.link = "inst0";
        bus.names = {scope};
        vexon::UseBus(bus);
        // As the entry points tell the recorder; the board is never reached.
        vexon::recorder::BoardOpened(vexon::LoadedBus()->boards[0]);
        vexon::recorder::LinkOpened(40, 3, "inst0", 1, 0);
        vexon::recorder::DeviceWriteDone(40, "*IDN?\n", 6, CMPL);
        vexon::recorder::DeviceReadDone(40, "SCOPE\n", 6, CMPL | END);
        vexon::recorder::HandleClosed(40);
        return true;
      },
      errors);
  const std::string text = Read(file);
  EXPECT_NE(text.find("  # reached on the bench by the link name \"inst0\"\n  scope:\n"), std::string::npos) << text;
  EXPECT_NE(text.find("  GPIB3::1::INSTR: {device: scope}\n"), std::string::npos) << text;
  EXPECT_NE(text.find("#vorel   scope: {resource: GPIB3::1::INSTR, tmo: 12, eot: 1, eos: 0x0}\n"), std::string::npos);
  const std::vector<std::string> replayed = InChildOn(Replay(file), [] {
    Calls c;
    const int scope = ibfind("scope");
    c.Write(scope, "*IDN?\n");
    c.Read(scope, 100);
    return c.out;
  }, errors);
  ASSERT_EQ(replayed.size(), 2u) << errors;
  EXPECT_EQ(replayed[1], "read: sta 8448 cnt 6 83 67 79 80 69 10");
}

TEST(Recording, WrittenAtExitWithHandlesOpen) {
  const std::string file = scratch + "/at-exit.yaml";
  std::string errors;
  InChild(
      [&] {
        vexon::UseBus(BenchBus(file, ""));
        const int dmm = ibdev(kAdapter, 1, 0, 11, 1, 0);
        char buf[100];
        ibwrt(dmm, "*IDN?\n", 6);
        ibrd(dmm, buf, sizeof buf);
        std::exit(0);
        return true;
      },
      errors);
  EXPECT_NE(Read(file).find("      - q: \"*IDN?\"\n        r: \"TARNWICK,SIM-DMM,0001,1.0\"\n"), std::string::npos)
      << errors;
}

TEST(Recording, NeverOverwritesTheUsersFile) {
  const std::string file = scratch + "/mine.yaml";
  std::ofstream(file) << "# my own bus\n";
  std::ofstream(file + ".1") << "boards: {}\n";
  for (int run = 0; run < 2; ++run) {
    std::string errors;
    InChildOn([&] { return BenchBus(file, ""); }, AdapterSession, errors);
    EXPECT_EQ(errors, "vexon: " + file + " is not a recording and stays as it is; the recording of gpib2 goes to " +
                          file + ".2\n");
  }
  EXPECT_EQ(Read(file), "# my own bus\n");
  EXPECT_EQ(Read(file + ".1"), "boards: {}\n");
  EXPECT_NE(Read(file + ".2").find("*IDN?"), std::string::npos);
  struct stat st;
  EXPECT_NE(stat((file + ".3").c_str(), &st), 0);
}

}  // namespace
