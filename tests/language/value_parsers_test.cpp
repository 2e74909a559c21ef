// The value parsers: address lists, wait masks, option and mode names, the
// board-or-device reader, with their prompts.
#include "language/value_parsers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "language/name_tables.h"
#include "language_fixture.h"

namespace {

using language_test::Line;

std::vector<uint16_t> AddressesRead() {
  std::vector<uint16_t> list;
  for (int i = 0; i < kAddressListSize && addressList[i] != 0xFFFF; ++i) list.push_back(addressList[i]);
  return list;
}

class AddressParser : public language_test::LanguageTest {};

TEST_F(AddressParser, Lines) {
  const struct {
    const char* line;
    bool single;
    bool ok;
    std::vector<uint16_t> list;
    const char* output;
    const char* rest;
  } kRows[] = {
      {"(3, 5,7)", false, true, {3, 5, 7}, "", ""},
      {"3,5,7 x", false, true, {3, 5, 7}, "", " x"},
      {"()", false, true, {}, "", ""},
      {"0x10005", true, true, {5}, "", ""},
      {"3 5", true, true, {3}, "", " 5"},
      {"", false, false, {}, "", ""},
      {"(3,5 x", false, false, {}, "Missing ')'\n", ""},
      {"3,5) x", false, false, {}, "Missing '('\n", ""},
      {",3", false, false, {}, "Unexpected comma\n", ""},
      {"(,3)", false, false, {}, "Unexpected comma\n", ""},
      {"3,5, x", false, false, {}, "Trailing comma\n", ""},
      {"(3,,5)", false, false, {}, "Trailing comma\n", ""},
      {"3,08", false, false, {}, "Number syntax\nTrailing comma\n", ""},
      {"3,5", true, false, {}, "Cannot accept address list\n", ""},
      {"x", true, false, {}, "Invalid Address\n", ""},
      {"x", false, false, {}, "Invalid Address list\n", ""},
  };
  for (const auto& row : kRows) {
    SetLine(row.line);
    int32_t count = -1;
    bool ok = false;
    EXPECT_EQ(Capture([&] { ok = ParseAddresses(row.single, count); }), row.output) << row.line;
    EXPECT_EQ(ok, row.ok) << row.line;
    if (ok) {
      EXPECT_EQ(count, static_cast<int32_t>(row.list.size())) << row.line;
      EXPECT_EQ(AddressesRead(), row.list) << row.line;
    }
    EXPECT_STREQ(readCursor, row.rest) << row.line;
  }
}

TEST_F(AddressParser, ListFillsTheSharedArrayAndNoMore) {
  std::string line = "1";
  for (int i = 1; i < kAddressListSize - 1; ++i) line += ",1";
  SetLine(line);  // 2047 addresses and the end entry fill the list
  int32_t count = 0;
  ASSERT_TRUE(ParseAddresses(false, count));
  EXPECT_EQ(count, kAddressListSize - 1);
  EXPECT_EQ(addressList[kAddressListSize - 1], 0xFFFF);

  SetLine(line + ",2");  // 4095 characters, one address too many
  std::string output = Capture([&] { EXPECT_FALSE(ParseAddresses(false, count)); });
  EXPECT_EQ(output, Line(MSG_TOO_MANY_ADDRESSES));
  EXPECT_EQ(addressList[0], 0xFFFF);
}

class MaskParser : public language_test::LanguageTest {};

TEST_F(MaskParser, Lines) {
  const struct {
    const char* line;
    bool forWait;
    bool ok;
    int32_t mask;
    const char* output;
    const char* rest;
  } kRows[] = {
      {"timo end", false, true, 0x6000, "", ""},
      {"(timo cmpl)", false, true, 0x4100, "", ""},
      {"TIMO \"Err\"", false, true, 0xC000, "", ""},
      {"bit15 bit0 lok", false, true, 0x8081, "", ""},
      {"0x6000", false, true, 0x6000, "", ""},
      {"0x16000", false, true, 0x16000, "", ""},
      {"()", false, true, 0, "", ""},
      {"timo 5", false, true, 0x4000, "", " 5"},
      {"", true, true, 0, "", ""},
      {"", false, false, 0, "", ""},
      {"all", false, false, 0, "Invalid mask bit\n", ""},
      {"timo xyz end", true, false, 0, "Invalid mask bit\n", ""},
      {"(timo", false, false, 0, "Missing ')'\n", ""},
      {"timo) x", false, false, 0, "Missing '('\n", ""},
  };
  for (const auto& row : kRows) {
    SetLine(row.line);
    int32_t mask = -1;
    bool ok = false;
    EXPECT_EQ(Capture([&] { ok = ParseMask(row.forWait, mask); }), row.output) << row.line;
    EXPECT_EQ(ok, row.ok) << row.line;
    if (ok) {
      EXPECT_EQ(mask, row.mask) << row.line;
    }
    EXPECT_STREQ(readCursor, row.rest) << row.line;
  }
}

class ValueParsers : public language_test::LanguageTest {};

TEST_F(ValueParsers, NamedReaders) {
  const std::string kConfig = "    enter parameter to be configured: ";
  const std::string kAsk = "    enter parameter to be queried: ";
  const std::string kExpert = "    enter ibexpert option: ";
  const std::string kEot = "    enter EOTmode : ";
  const std::string kTermination = "    enter Termination code: ";
  const std::string kBuffer = "    enter buffer mode : ";
  const std::string kOnOff = "    Enter (on/off): ";
  const std::string kLegal = "    error: legal modes are: { off, ascii, full, brief }\n";
  const struct {
    bool (*read)(InputStream*, int32_t&);
    const char* line;
    bool ok;
    int32_t value;
    std::string output;  // a failure prompts once and finds the file at its end
  } kRows[] = {
      {ReadConfigOption, "ibcpad 5", true, 1, ""},
      {ReadConfigOption, "IBCPAD", true, 1, ""},
      {ReadConfigOption, "1", true, 1, ""},
      {ReadConfigOption, "99", true, 99, ""},
      {ReadConfigOption, "\"ibceos\"", true, 37, ""},
      {ReadConfigOption, "ibclon", true, 34, ""},
      {ReadConfigOption, "ibcfoo 5", false, 0, "Invalid parameter\n" + kConfig},
      {ReadConfigOption, "IbaPAD", false, 0, "Invalid parameter\n" + kConfig},
      {ReadConfigOption, "(", false, 0, "Invalid parameter\n" + kConfig},
      {ReadConfigOption, "", false, 0, kConfig},
      {ReadAskOption, "IbaBNA", true, 512, ""},
      {ReadAskOption, "ibasignalnumber", true, 28, ""},
      {ReadAskOption, "ibcpad", false, 0, "Invalid parameter\n" + kAsk},
      {ReadExpertOption, "IbeChangeDeviceBNA", true, 15, ""},
      {ReadExpertOption, "ibelck", true, 12, ""},
      {ReadExpertOption, "14", true, 14, ""},
      {ReadExpertOption, "IbeFoo", false, 0, "Invalid parameter\n" + kExpert},
      {ReadEotMode, "nlend", true, 1, ""},
      {ReadEotMode, "DABEND", true, 2, ""},
      {ReadEotMode, "\"nullend\"", true, 0, ""},
      {ReadEotMode, "7", true, 7, ""},
      {ReadEotMode, "stopend", false, 0, "Invalid EOTmode\n" + kEot},
      {ReadTermination, "stopend", true, 256, ""},
      {ReadTermination, "\"STOPEND\"", true, 256, ""},
      {ReadTermination, "10", true, 10, ""},
      {ReadTermination, "nlend", false, 0, "Invalid Termination code\n" + kTermination},
      {ReadOnOff, "on", true, 1, ""},
      {ReadOnOff, "OFF", true, 0, ""},
      {ReadOnOff, "5", true, 5, ""},
      {ReadOnOff, "maybe", false, 0, Line(MSG_ON_OFF_EXPECTED) + kOnOff},
      {ReadBufferMode, "brief", true, 3, ""},
      {ReadBufferMode, "ASCII", true, 1, ""},
      {ReadBufferMode, "0", true, 0, ""},
      {ReadBufferMode, "4", false, 0, kLegal + kBuffer},
      {ReadBufferMode, "-1", false, 0, kLegal + kBuffer},
      {ReadBufferMode, "loud", false, 0, kLegal + kBuffer},
      {ReadBufferMode, ",", false, 0, kBuffer},
  };
  for (const auto& row : kRows) {
    InputStream* in = FileAnswers("");
    SetLine(row.line);
    int32_t value = -1;
    bool ok = false;
    EXPECT_EQ(Capture([&] { ok = row.read(in, value); }), row.output) << row.line;
    EXPECT_EQ(ok, row.ok) << row.line;
    if (ok) {
      EXPECT_EQ(value, row.value) << row.line;
    }
  }
}

TEST_F(ValueParsers, BoardOrDevice) {
  const struct {
    const char* line;
    const char* name;  // null: the 488.2 board
    int32_t board;
    const char* rest;
  } kRows[] = {
      {"GPIB0 x", "GPIB0", 0, " x"},
      {"\"my dev\"", "my dev", 0, ""},
      {"488.2 2", nullptr, 2, ""},
      {"488.2", nullptr, 0, ""},
      {"488.2 x", nullptr, 0, " x"},
  };
  for (const auto& row : kRows) {
    InputStream* in = FileAnswers("");
    SetLine(row.line);
    const char* name = "unset";
    int32_t board = -1;
    EXPECT_EQ(Capture([&] { EXPECT_TRUE(ReadBoardOrDevice(in, name, board)); }), "") << row.line;
    if (row.name) {
      EXPECT_STREQ(name, row.name) << row.line;
    } else {
      EXPECT_EQ(name, nullptr) << row.line;
      EXPECT_EQ(board, row.board) << row.line;
    }
    EXPECT_STREQ(readCursor, row.rest) << row.line;
  }
  InputStream* in = ConsoleAnswers("dev1\n");
  SetLine("");
  const char* name = nullptr;
  int32_t board = 0;
  EXPECT_EQ(Capture([&] { EXPECT_TRUE(ReadBoardOrDevice(in, name, board)); }),
            "    enter board/device name or 488.2 # : ");
  EXPECT_STREQ(name, "dev1");
}

}  // namespace
