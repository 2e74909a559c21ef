// Buffer display, hex dump, listener list and address result tables on fixed data.
#include "display/buffer_display.h"

#include <gtest/gtest.h>

#include "capture.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "core/print.h"
#include "driver/gpib.h"
#include "driver/status_copies.h"

namespace {

struct DisplayTest : testing::Test {
  void SetUp() override {
    ibsta = 0;
    iberr = 0;
    quietMode = 0;
    displayMode = DISPLAY_FULL;
  }
};

const uint8_t kAtoH[] = {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 0x0d, 0x0a};

TEST_F(DisplayTest, HexDumpOfTenBytes) {
  EXPECT_EQ(Capture([] { HexDump(kAtoH, 10); }),
            "41  42  43  44  45  46  47  48          A B C D E F G H \n"
            "0d  0a                                  . . \n");
  EXPECT_EQ(Capture([] { HexDump(kAtoH, 0); }), "");
}

TEST_F(DisplayTest, AsciiLinesHoldTwoGroupsOfSixteen) {
  std::vector<uint8_t> bytes(40, 'x');
  bytes[16] = 0x7f;
  bytes[17] = 0x80;
  displayMode = DISPLAY_ASCII;
  EXPECT_EQ(Capture([&] { ShowBuffer(bytes.data(), 40); }),
            "buffer:\n          xxxxxxxxxxxxxxxx ..xxxxxxxxxxxxxx\n          xxxxxxxx\n");
}

TEST_F(DisplayTest, BriefModeOmitsTheMiddle) {
  std::vector<uint8_t> bytes(17);
  for (int i = 0; i < 17; ++i) bytes[i] = static_cast<uint8_t>('a' + i);
  displayMode = DISPLAY_BRIEF;
  EXPECT_EQ(Capture([&] { ShowBuffer(bytes.data(), 17); }),
            "61  62  63  64  65  66  67  68          a b c d e f g h \n"
            "... <1 bytes omitted> ...\n"
            "6a  6b  6c  6d  6e  6f  70  71          j k l m n o p q \n");
  std::string sixteen = Capture([&] { ShowBuffer(bytes.data(), 16); });
  EXPECT_EQ(sixteen.find("omitted"), std::string::npos);
  EXPECT_EQ(std::count(sixteen.begin(), sixteen.end(), '\n'), 2);
}

TEST_F(DisplayTest, QuietModeKeepsOnlyTheOmissionLine) {
  std::vector<uint8_t> bytes(100, 0);
  displayMode = DISPLAY_BRIEF;
  quietMode = 1;
  EXPECT_EQ(Capture([&] { ShowBuffer(bytes.data(), 100); }), "... <84 bytes omitted> ...\n");
}

TEST_F(DisplayTest, ListenerList) {
  const uint16_t results[] = {1, 5 | (96 << 8), 9};
  EXPECT_EQ(Capture([&] { ShowListeners(results, 2, 3); }),
            "Listeners :    1\n               5, 96\n           \n");
  EXPECT_EQ(Capture([&] { ShowListeners(results, 0, 3); }), "Listeners : No Listeners Found\n");
  // A count beyond the array stops at the array's end.
  std::string all = Capture([&] { ShowListeners(results, 1000, 3); });
  EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 4);
}

TEST_F(DisplayTest, AddressResultTable) {
  const uint16_t addresses[] = {5, 5 | (96 << 8), NOADDR};
  const uint16_t results[] = {0x40, 0xFFC0, 0};
  EXPECT_EQ(Capture([&] { ShowAddressResults("Poll", addresses, results, -1, 3); }),
            "Poll:\n"
            "    5         => 0x0040  (decimal : 64)\n"
            "    5, 96     => 0xffffffc0  (decimal : -64)\n"
            "\n");
  EXPECT_EQ(Capture([&] { ShowAddressResults("Request", addresses, results, 1, 3); }),
            "Request:\n    5, 96     => 0x0040  (decimal : 64)\n\n");
  EXPECT_EQ(Capture([&] { ShowAddressResults("Request", addresses, results, 2, 3); }), "Request:\n\n");
  EXPECT_EQ(Capture([&] { ShowAddressResults("Request", addresses, results, 77, 3); }), "Request:\n\n");
  quietMode = 1;
  EXPECT_EQ(Capture([&] { ShowAddressResults("Test", addresses, results, -1, 3); }), "Test:\n");
}

}  // namespace
