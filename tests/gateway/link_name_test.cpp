// Link names of the gateway: interface, device and ibfind names.
#include "link_name.h"

#include <gtest/gtest.h>

namespace gateway {
namespace {

TEST(LinkName, Table) {
  struct Case {
    const char* text;
    long error;
    LinkTarget::Kind kind;
    int board, pad, sad;
  } cases[] = {
      {"gpib0", 0, LinkTarget::kInterface, 0, 0, 0},
      {"gpib15", 0, LinkTarget::kInterface, 15, 0, 0},
      {"gpib0,1", 0, LinkTarget::kDevice, 0, 1, 0},
      {"gpib1,30,0", 0, LinkTarget::kDevice, 1, 30, 0x60},
      {"gpib0,4,30", 0, LinkTarget::kDevice, 0, 4, 0x7E},
      {"gpib0,4,96", 0, LinkTarget::kDevice, 0, 4, 0x60},
      {"gpib0,4,126", 0, LinkTarget::kDevice, 0, 4, 0x7E},
      {"inst0", 0, LinkTarget::kNamed, 0, 0, 0},
      {"gpibx", 0, LinkTarget::kNamed, 0, 0, 0},
      {"gpib16", 3, LinkTarget::kInterface, 0, 0, 0},
      {"gpib0,31", 21, LinkTarget::kDevice, 0, 0, 0},
      {"gpib0,1,31", 21, LinkTarget::kDevice, 0, 0, 0},
      {"gpib0,1,95", 21, LinkTarget::kDevice, 0, 0, 0},
      {"gpib0,1,127", 21, LinkTarget::kDevice, 0, 0, 0},
      {"", 1, LinkTarget::kNamed, 0, 0, 0},
      {"gpib0,", 1, LinkTarget::kNamed, 0, 0, 0},
      {"gpib0,,1", 1, LinkTarget::kNamed, 0, 0, 0},
      {"gpib0,1,2,3", 1, LinkTarget::kNamed, 0, 0, 0},
      {"gpib0,0001", 1, LinkTarget::kNamed, 0, 0, 0},
      {"gpib0 ", 1, LinkTarget::kNamed, 0, 0, 0},
      {"gpib0,-1", 1, LinkTarget::kNamed, 0, 0, 0},
  };
  for (const Case& c : cases) {
    LinkTarget target;
    EXPECT_EQ(ParseLinkName(c.text, &target), c.error) << c.text;
    if (c.error != 0) continue;
    EXPECT_EQ(target.kind, c.kind) << c.text;
    EXPECT_EQ(target.board, c.board) << c.text;
    EXPECT_EQ(target.pad, c.pad) << c.text;
    EXPECT_EQ(target.sad, c.sad) << c.text;
    if (c.kind == LinkTarget::kNamed) {
      EXPECT_EQ(target.name, c.text);
    }
  }
}

}  // namespace
}  // namespace gateway
