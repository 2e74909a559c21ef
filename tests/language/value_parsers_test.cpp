// The address list parser at the size of the shared list.
#include "language/value_parsers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "language/name_tables.h"
#include "language_fixture.h"

namespace {

using language_test::Line;

class AddressParser : public language_test::LanguageTest {};

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

}  // namespace
