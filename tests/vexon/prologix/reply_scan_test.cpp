// Where the adapter's end mark can stand in a reply, which mark a read
// uses, and what the adapter's version answer says about it.
#include "../../../vexon/prologix/reply_scan.h"

#include <gtest/gtest.h>

#include <string>

#include "../../../vexon/prologix/adapter_lines.h"
#include "../../../vexon/prologix/protocol.h"
#include "../../../vexon/router/backend.h"

namespace vexon::prologix {
namespace {

TEST(ReplyScan, WhereAMarkEndsTheReplyAtOnce) {
  struct Row {
    std::string bytes;  // the reply so far
    bool endsNow;       // a mark 0xFF arriving now is the end
  } rows[] = {
      {"", true},
      {"1.234E+00\r\n", true},
      {"#15abcde\n", true},          // after a complete block
      {"#15ab", false},              // inside its payload
      {"#3010", false},              // header complete, payload to come
      {"#0", false},                 // an indefinite block: binary to the end
      {std::string("\x01\x02", 2), false},  // binary without a header
      {"#1", true},                  // a header cut short: the device ended there
      {"A#B", true},                 // '#' in text
      {"A#3100", true},              // '#' inside a word starts no block
      {"1.5,#3100", false},          // after a separator it does
      {"CURV #3100", false},         // and after a header
      {"Error #12\n", true},         // a payload of text ending in LF: text after all
      {"#3100\n\xfe", false},        // a payload that is not text
      {"#3100\nab", false},          // text, but not ending in LF
  };
  for (const Row& r : rows) {
    ReplyScan s;
    for (char c : r.bytes) {
      const auto b = static_cast<uint8_t>(c);
      if (s.InPayload()) s.TakePayload(&b, 1);
      else s.Feed(b);
    }
    EXPECT_EQ(s.MarkEndsNow(0xFF), r.endsNow) << r.bytes;
  }
  ReplyScan text;
  EXPECT_FALSE(text.MarkEndsNow('\n'));  // a text byte as mark is never sure
}

TEST(ReplyScan, ChoosesAMarkTheReplyDidNotHold) {
  bool seen[256] = {};
  EXPECT_EQ(ChooseMark(0xFF, seen, -1), 0xFF);
  seen[0xFF] = true;
  EXPECT_EQ(ChooseMark(0xFF, seen, -1), 0xFE);
  EXPECT_EQ(ChooseMark(0xFF, seen, 0xFE), 0xFD);
  for (int v = 0x80; v < 0x100; ++v) seen[v] = true;
  EXPECT_EQ(ChooseMark(0xFF, seen, -1), 0x7F);  // still no text byte
  for (bool& s : seen) s = true;
  EXPECT_EQ(ChooseMark(0xFF, seen, -1), 0xFF);  // every value held: keep it
}

TEST(AdapterKind, FromTheVersionAnswer) {
  struct Row {
    const char* version;
    bool configuredAr488, ar488, readTakesNoEndByte;
  } rows[] = {
      {"Prologix GPIB-USB Controller version 6.107", false, false, false},
      {"AR488 GPIB controller, ver. 0.51.29, 18/03/2023", false, true, false},
      {"AR488 GPIB controller, ver. 0.53.03 (vorel emulator)", false, true, true},
      {"AR488 GPIB controller, ver. 0.53.03 (vorel emulator)", true, true, true},
      {"some clone", true, true, false},
  };
  for (const Row& r : rows) {
    AdapterKind k = KindFromVersion(r.version, r.configuredAr488);
    EXPECT_EQ(k.ar488, r.ar488) << r.version;
    EXPECT_EQ(k.readTakesNoEndByte, r.readTakesNoEndByte) << r.version;
  }
}

TEST(AdapterLines, RefusalsAndTheirErrors) {
  struct Row {
    const char* line;
    bool refusal;
    int error;
  } rows[] = {
      {"Unrecognized command\r", true, ECAP}, {"Unavailable", true, ECAP},
      {"Invalid parameter\r\n", true, EDVR}, {"Invalid parameters", false, -1},
      {"+1.000E+00", false, -1},
  };
  for (const Row& r : rows) {
    int error = -1;
    EXPECT_EQ(AdapterRefusal(r.line, error), r.refusal) << r.line;
    EXPECT_EQ(error, r.error) << r.line;
  }
  EXPECT_TRUE(RefusalPrefix("Inval"));
  EXPECT_TRUE(RefusalPrefix("Unavailable\r"));
  EXPECT_FALSE(RefusalPrefix("Unavailable\r\n"));
  EXPECT_FALSE(RefusalPrefix("TARNWICK"));
}

}  // namespace
}  // namespace vexon::prologix
