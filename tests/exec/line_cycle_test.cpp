// Commands run end to end on an in-process fake driver: open check, memory,
// the driver call with its arguments, the report and the registry.
#include "console/line_cycle.h"

#include <gtest/gtest.h>

#include "capture.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "console/command_catalogue.h"
#include "console/print.h"
#include "display/buffer_display.h"
#include "driver/fake_driver.h"
#include "driver/gpib.h"
#include "exec/async_calls.h"
#include "exec/execute.h"
#include "exec/mode_flags.h"
#include "exec/sequence_check.h"
#include "registry/handle_registry.h"

namespace {

ParsedCommand Command(const char* name) {
  ParsedCommand c{};
  c.catalogueIndex = FindCommand(name);
  c.code = kCatalogue[c.catalogueIndex].code;
  return c;
}

struct LineCycle : testing::Test {
  void SetUp() override {
    fake::Install();
    fake::driver.primaryPresent = true;
    ResetRegistry();
    ResetAsyncCalls();
    expertMode = rawMode = slopCheck = oddBuffers = 0;
    quietMode = 0;
    displayMode = DISPLAY_FULL;
  }
  void TearDown() override {
    ResetAsyncCalls();
    ResetRegistry();
    fake::Uninstall();
  }
  std::string Run(const ParsedCommand& c) {
    return Capture([&] { RunCycle(c); });
  }
};

TEST_F(LineCycle, NothingSelectedStopsDriverCommands) {
  EXPECT_EQ(Run(Command("ibclr")), "Use IBFIND or IBDEV to open a device\n");
  EXPECT_EQ(fake::driver.calls, 0);
  rawMode = 1;
  ParsedCommand raw = Command("ibclr");
  raw.deviceCode = 256;
  fake::driver.sta = CMPL;
  EXPECT_EQ(Run(raw), "[0100]   ( cmpl )\n");
  EXPECT_EQ(fake::driver.last.name, "ibclr");
  EXPECT_EQ(fake::driver.last.args[0], 256);
}

TEST_F(LineCycle, IbfindRegistersTheHandle) {
  ParsedCommand c = Command("ibfind");
  char name[] = "gpib0";
  c.data = reinterpret_cast<uint8_t*>(name);
  fake::driver.result = 3;
  fake::driver.sta = CMPL | CIC;
  EXPECT_EQ(Run(c), "");
  EXPECT_STREQ(CurrentName(), "gpib0");
  EXPECT_EQ(CurrentHandle(), 3);
  // A failed open shows its status and keeps the selection.
  fake::driver.result = -1;
  fake::driver.sta = ERR;
  fake::driver.err = EDVR;
  fake::driver.cnt = 2;
  EXPECT_EQ(Run(c), "[8000]   ( err )\nerror: EDVR (0x2)\n");
  EXPECT_EQ(CurrentHandle(), 3);
}

TEST_F(LineCycle, FixedOptionCommandsGoThroughIbconfig) {
  RegisterNamed(4, "dmm");
  struct Row {
    const char* name;
    int option;
  } rows[] = {{"ibpad", 1}, {"ibsad", 2}, {"ibtmo", 3}, {"ibeot", 4}, {"ibrsc", 10}, {"ibsre", 11},
              {"ibdma", 18}, {"ibist", 32}, {"ibrsv", 33}, {"ibeos", 37}};
  for (const Row& r : rows) {
    ParsedCommand c = Command(r.name);
    c.value = 7;
    fake::driver.err = 12;  // the previous setting
    EXPECT_EQ(Run(c), "[0000]   ( )\nprevious value: 12\n") << r.name;
    EXPECT_EQ(fake::driver.last.name, "ibconfig") << r.name;
    EXPECT_EQ(fake::driver.last.args[1], r.option) << r.name;
    EXPECT_EQ(fake::driver.last.args[2], 7) << r.name;
  }
}

TEST_F(LineCycle, ReadGetsItsOwnBufferAndIsShown) {
  RegisterNamed(4, "dmm");
  ParsedCommand c = Command("ibrd");
  c.count = 10;
  fake::driver.sta = CMPL | END;
  fake::driver.cnt = 0;
  EXPECT_EQ(Run(c), "[2100]   ( end cmpl )\ncount:  0\n");
  EXPECT_EQ(fake::driver.last.args[2], 10);
  EXPECT_NE(fake::driver.last.args[1], 0);
  // A count of 0 passes a null buffer.
  c.count = 0;
  Run(c);
  EXPECT_EQ(fake::driver.last.args[1], 0);
}

TEST_F(LineCycle, AsynchronousSlots) {
  RegisterNamed(4, "dmm");
  ParsedCommand read = Command("ibrda");
  read.count = 4;
  fake::driver.sta = CMPL;
  for (int i = 0; i < 4; ++i) EXPECT_EQ(Run(read), "[0100]   ( cmpl )\n");
  EXPECT_EQ(Run(read), "Too many outstanding asynchronous calls\n");
  // A wait on another selection leaves them; on the same one with CMPL shows them.
  RegisterNamed(5, "loop");
  ParsedCommand wait = Command("ibwait");
  Run(wait);
  for (const AsyncSlot& s : asyncSlots) EXPECT_NE(s.buffer, nullptr);
  SelectByName("dmm");
  fake::driver.cnt = 2;
  displayMode = DISPLAY_ASCII;
  EXPECT_EQ(Run(wait), "buffer:\n          ..\nbuffer:\n          ..\nbuffer:\n          ..\nbuffer:\n          ..\n"
                       "[0100]   ( cmpl )\ncount:  2\n");
  for (const AsyncSlot& s : asyncSlots) EXPECT_EQ(s.buffer, nullptr);
}

TEST_F(LineCycle, RefusedAsynchronousCallFreesItsSlot) {
  RegisterNamed(4, "dmm");
  ParsedCommand read = Command("ibrda");
  read.count = 4;
  fake::driver.sta = ERR;
  fake::driver.err = EARG;
  EXPECT_EQ(Run(read), "[8000]   ( err )\nerror: EARG\n");
  EXPECT_EQ(asyncSlots[0].buffer, nullptr);
}

TEST_F(LineCycle, IbstopCancelsUnseen) {
  RegisterNamed(4, "dmm");
  ParsedCommand read = Command("ibrda");
  read.count = 4;
  Run(read);
  EXPECT_EQ(Run(Command("ibstop")), "[0000]   ( )\ncount:  0\n");
  EXPECT_EQ(asyncSlots[0].buffer, nullptr);
}

// In raw mode a read issued on the selection may go to another handle. A stop
// or a wait on the selection releases its slot, but the driver may still be
// writing into the buffer: the memory must stay valid (AddressSanitizer
// reports the write below if it was freed).
TEST_F(LineCycle, RawReadOnAnotherHandleKeepsItsMemory) {
  RegisterNamed(4, "dmm");
  rawMode = 1;
  ParsedCommand read = Command("ibrda");
  read.deviceCode = 7;
  read.count = 4;
  Run(read);
  ASSERT_EQ(asyncSlots[0].ud, 4);
  uint8_t* stillWritten = asyncSlots[0].buffer;
  ParsedCommand stop = Command("ibstop");
  stop.deviceCode = 4;
  Run(stop);
  EXPECT_EQ(asyncSlots[0].buffer, nullptr);
  stillWritten[0] = 'x';
  // On the transfer's own handle the slot's memory is freed as usual.
  read.deviceCode = 4;
  Run(read);
  ASSERT_NE(asyncSlots[0].buffer, nullptr);
  Run(stop);
  EXPECT_EQ(asyncSlots[0].buffer, nullptr);
}

// A completion count beyond the read shows the bytes the driver was given.
TEST_F(LineCycle, CompletionCountBeyondTheReadShowsTheRead) {
  RegisterNamed(4, "dmm");
  ParsedCommand read = Command("ibrda");
  read.count = 3;
  Run(read);
  fake::driver.sta = CMPL;
  fake::driver.cnt = 0x7FFFFFFF;
  displayMode = DISPLAY_ASCII;
  EXPECT_EQ(Run(Command("ibwait")), "buffer:\n          ...\n[0100]   ( cmpl )\ncount:  2147483647\n");
}

TEST_F(LineCycle, IbonlZeroRemovesTheSelectionUnlessLocked) {
  RegisterNamed(4, "dmm");
  ParsedCommand off = Command("ibonl");
  fake::driver.sta = ERR;
  fake::driver.err = ELCK;
  Run(off);
  EXPECT_EQ(CurrentHandle(), 4);
  fake::driver.sta = 0;
  off.value = 1;
  Run(off);
  EXPECT_EQ(CurrentHandle(), 4);
  off.value = 0;
  EXPECT_EQ(Run(off), "[0000]   ( )\n");
  EXPECT_EQ(CurrentHandle(), -1);
  EXPECT_FALSE(SelectByName("dmm"));
}

TEST_F(LineCycle, FindAllListenersAllocatesBothArrays) {
  RegisterNamed(0, "gpib0");
  expertMode = 1;
  rawMode = 0;
  std::string out = Run(Command("findalllstn"));
  EXPECT_NE(out.find("Allocated an array of size 0x42 bytes"), std::string::npos) << out;
  EXPECT_NE(out.find("Allocated an array of size 0x7C0 bytes"), std::string::npos) << out;
  EXPECT_EQ(fake::driver.last.name, "FindLstn");
  EXPECT_EQ(fake::driver.last.args[3], 992);
}

TEST(Execute, BoardNumbersOfIbbna) {
  struct Row {
    const char* name;
    int32_t board;
  } rows[] = {{"gpib2", 2}, {"GPIB7", 7}, {"gpib101", -1}, {"dev1", -1}, {"gpib", 0},
              {"gpib 12", 12}, {"gpib100", 100}, {"gpib99999999999999", -1}, {"gp", -1}};
  for (const Row& r : rows) EXPECT_EQ(BoardNumberFromName(r.name), r.board) << r.name;
}

TEST(SequenceCheck, ReportsTheFirstDifference) {
  auto check = [](std::vector<uint8_t> bytes, int32_t count) {
    return Capture([&] { SequenceCheck(bytes.data(), count, static_cast<uint32_t>(bytes.size())); });
  };
  EXPECT_EQ(check({0, 1, 7}, 3), "IBRD(A)N: buffer not sequential from index 0x2. Contents:\nbuffer[0x2] = 7, \n");
  std::vector<uint8_t> seq(300);
  for (int i = 0; i < 300; ++i) seq[i] = static_cast<uint8_t>(i);
  EXPECT_EQ(check(seq, 300), "IBRD(A)N: entire buffer (0x12c bytes) correctly sequential (0..FF).\n");
  EXPECT_EQ(check(seq, 0), "IBRD(A)N: entire buffer (0x0 bytes) correctly sequential (0..FF).\n");
  seq[95] = 0;
  std::string tail = check(std::vector<uint8_t>(seq.begin(), seq.begin() + 100), 100);
  EXPECT_NE(tail.find("buffer[0x5f] = 0, 60, 61, 62, 63, \n"), std::string::npos) << tail;
}

}  // namespace
