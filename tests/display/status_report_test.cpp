// The status report and the query displays on fixed status words.
#include "display/status_report.h"

#include <gtest/gtest.h>

#include "capture.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "core/command_catalogue.h"
#include "core/print.h"
#include "display/buffer_display.h"
#include "display/query_display.h"
#include "driver/gpib.h"
#include "driver/status_copies.h"
#include "core/mode_flags.h"

namespace {

ParsedCommand Command(const char* name) {
  ParsedCommand c{};
  c.catalogueIndex = FindCommand(name);
  c.code = kCatalogue[c.catalogueIndex].code;
  return c;
}

uint32_t Flags(const char* name) { return kCatalogue[FindCommand(name)].flags; }

struct ReportTest : testing::Test {
  void SetUp() override {
    ibsta = iberr = ibcnt = ibcntl = 0;
    quietMode = 0;
    slopCheck = 0;
    displayMode = DISPLAY_FULL;
  }
  void Status(int32_t sta, int32_t err, int32_t cnt) {
    ibsta = sta;
    iberr = err;
    ibcnt = ibcntl = cnt;
  }
};

TEST_F(ReportTest, StatusLineNamesEveryBit) {
  struct Row {
    int32_t status;
    const char* line;
  } rows[] = {
      {0xC100, "[c100]   ( err timo cmpl )\n"},
      {0, "[0000]   ( )\n"},
      {0x0600, "[0600]   ( bit10 bit9 )\n"},
      {0x1FFFF, "[ffff]   ( err timo end srqi rqs bit10 bit9 cmpl lok rem cic atn tacs lacs dtas dcas )\n"},
  };
  for (const Row& r : rows) {
    char line[200];
    FormatStatusLine(r.status, line, sizeof line);
    EXPECT_STREQ(line, r.line);
  }
}

TEST_F(ReportTest, ErrorLines) {
  struct Row {
    int32_t err;
    int32_t count;
    const char* expected;
  } rows[] = {
      {EDVR, 126, "[8000]   ( err )\nerror: EDVR (0x7e)\n"},
      {9, 3, "[8000]   ( err )\nerror: 9\n"},
      {EARG, 0, "[8000]   ( err )\nerror: EARG\n"},
  };
  for (const Row& r : rows) {
    Status(ERR, r.err, r.count);
    ParsedCommand c = Command("ibclr");
    EXPECT_EQ(Capture([&] { StatusReport(Flags("ibclr"), c); }), r.expected);
  }
}

TEST_F(ReportTest, FindLstnBeyondItsLimit) {
  Status(ERR | CMPL, ETAB, 2);
  uint16_t results[17] = {1, 2};
  ParsedCommand c = Command("findlstn");
  c.resultList = results;
  c.count = 1;
  EXPECT_EQ(Capture([&] { StatusReport(Flags("findlstn"), c); }),
            "[8100]   ( err cmpl )\n"
            "error: ETAB\n"
            "Warning: More than [count] listeners found\n"
            "count:  2\n"
            "count is the number of listeners found\n"
            "Listeners :    1\n               2\n           \n");
}

TEST_F(ReportTest, SlopZone) {
  slopCheck = 1;
  uint8_t buffer[19];
  std::memset(buffer, 0x5A, sizeof buffer);
  buffer[11] = 0x80;
  ParsedCommand c = Command("ibrd");
  c.data = buffer;
  c.count = 10;
  displayMode = DISPLAY_OFF;
  Status(CMPL, 0, 10);
  EXPECT_EQ(Capture([&] { StatusReport(Flags("ibrd"), c); }),
            "[0100]   ( cmpl )\ncount:  10\nbuffer: (off)\n"
            "\nslop check zone: buf[ah - 11h] =  5ah ffffff80h 5ah 5ah 5ah 5ah 5ah 5ah\n");
}

}  // namespace
