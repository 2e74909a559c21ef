// The line reader on files with awkward bytes, and the repeat prefix.
#include "core/line_input.h"

#include <gtest/gtest.h>

#include "capture.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "console/command_loop.h"
#include "core/print.h"
#include "language/token_reader.h"
#include "platform/input_stream.h"

namespace {

struct LineInput : testing::Test {
  std::string path = TempPath("vorel_line_input.txt");
  InputStream* Open(const std::string& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return OpenTextFile(path.c_str());
  }
  void SetUp() override { quietMode = 1; }  // no echo of file lines
  void TearDown() override {
    quietMode = 0;
    std::remove(path.c_str());
  }
};

TEST_F(LineInput, ByteFFEndsTheInput) {
  InputStream* in = Open("ab\xff" "cd\nef\n");
  EXPECT_FALSE(ReadLine(in));
  CloseTextFile(in);
}

TEST_F(LineInput, Backspaces) {
  InputStream* in = Open("\bab\bc\n");
  std::string out = Capture([&] { ASSERT_TRUE(ReadLine(in)); });
  EXPECT_STREQ(lineBuffer, "ac");
  EXPECT_EQ(out, "  \b");
  CloseTextFile(in);
}

TEST(RepeatCount, Prefixes) {
  char tokens[kLevelTokenStorage];
  struct Row {
    const char* line;
    int count;
    const char* printed;
    const char* rest;
  } rows[] = {
      {"3 * ibclr", 3, "", " ibclr"},
      {"ibclr", 1, "", "ibclr"},
      {"3 ibclr", 0, "'*' expected\n", ""},
      {"0 * ibclr", 0, "", " ibclr"},
      {"-2 * ibclr", 0, "", " ibclr"},
      {"", 1, "", ""},
  };
  for (const Row& r : rows) {
    std::strcpy(lineBuffer, r.line);
    readCursor = lineBuffer;
    tokenBuffer = tokenPosition = tokens;
    int count = -1;
    EXPECT_EQ(Capture([&] { count = ReadRepeatCount(); }), r.printed) << r.line;
    EXPECT_EQ(count, r.count) << r.line;
    EXPECT_STREQ(readCursor, r.rest) << r.line;
  }
}

}  // namespace
