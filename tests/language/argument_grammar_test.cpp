// The argument parser, the token reader and the value readers, on whole lines.
#include "language/argument_grammar.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "console/command_catalogue.h"
#include "console/line_input.h"
#include "console/print.h"
#include "exec/mode_flags.h"
#include "language/token_reader.h"
#include "language/value_parsers.h"
#include "platform/input_stream.h"
#include "registry/handle_registry.h"


namespace {

struct Grammar : testing::Test {
  char tokens[kLevelTokenStorage]{};
  std::string path = testing::TempDir() + "vorel_grammar_answers.txt";
  InputStream* answers = nullptr;
  std::string output;

  void SetUp() override {
    expertMode = rawMode = 0;
    quietMode = 0;
    ResetRegistry();
  }
  void TearDown() override {
    if (answers) CloseTextFile(answers);
    std::remove(path.c_str());
    expertMode = rawMode = 0;
    quietMode = 0;
  }

  // Parses line; further lines, if any, are the answers to prompts, read
  // from a file (so strict readers refuse to prompt, as in a command file).
  bool Parse(ParsedCommand& record, const std::string& line, const std::string& more = "") {
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(more.data(), 1, more.size(), f);
    std::fclose(f);
    if (answers) CloseTextFile(answers);
    answers = OpenTextFile(path.c_str());
    std::snprintf(lineBuffer, sizeof lineBuffer, "%s", line.c_str());
    readCursor = lineBuffer;
    tokenBuffer = tokenPosition = tokens;
    testing::internal::CaptureStdout();
    bool ok = ParseCommand(record, answers);
    std::fflush(stdout);
    output = testing::internal::GetCapturedStdout();
    return ok;
  }
  ParsedCommand Ok(const std::string& line, const std::string& more = "") {
    ParsedCommand r{};
    EXPECT_TRUE(Parse(r, line, more)) << line << "\n" << output;
    return r;
  }
  std::string Data(const ParsedCommand& r) const { return std::string(reinterpret_cast<char*>(r.data), r.count); }
};

TEST_F(Grammar, DeviceArgumentsWithAndWithoutPrompts) {
  ParsedCommand r = Ok("ibdev 0 3 0 13 1 0");
  EXPECT_EQ(r.code, CODE_IBDEV);
  EXPECT_EQ(r.boardIndex, 0);
  EXPECT_EQ(r.pad, 3);
  EXPECT_EQ(r.timeout, 13);
  EXPECT_EQ(r.eotFlag, 1);
  EXPECT_EQ(r.deviceCode, 0);

  r = Ok("IBLN 0x10 017");
  EXPECT_EQ(r.pad, 16);
  EXPECT_EQ(r.sad, 15);
  EXPECT_EQ(r.count, 2);

  r = Ok("ibwrt \"a\\x41\\102\\n\\0z\"");
  EXPECT_EQ(Data(r), std::string("aAB\n\0z", 6));

  r = Ok("ibask ibapad");
  EXPECT_EQ(r.value, 1);
  EXPECT_EQ(r.count, 4);
  r = Ok("ibconfig IbcTMO 12");
  EXPECT_EQ(r.value, 3);
  EXPECT_EQ(r.value2, 12);
  r = Ok("ibwait (timo cmpl)");
  EXPECT_EQ(r.value, 0x4100);
  r = Ok("w");
  EXPECT_EQ(r.value, 0);
}

TEST_F(Grammar, RefusedLinesPrintTheirMessageAndKeepTheRecord) {
  ParsedCommand r = Ok("ibwrt \"abc\"");
  const std::string kept = Data(r);
  struct Case {
    const char* line;
    const char* message;
  } cases[] = {
      {"ibclr 5", "Trailing garbage\n"},
      {"qu", "Bad function. Enter 'help' for help\n"},
      {"ibexpert 0", "Bad function. Enter 'help' for help\n"},
      {"iblock", "This function is not supported by Tarnwick\n"},
      {"ibrd", "    command file error\n    abort\n"},
      {"ibwrt hello", "    command file error\n    abort\n"},
      {"w xyz", "Invalid mask bit\n    abort\n"},
      {"ibwait all", "Invalid mask bit\n"},
      {"devclear 3,5", "Cannot accept address list\n"},
      {"findlstn (3,,5)", "Trailing comma\n"},
      {"findlstn ,3", "Unexpected comma\n"},
      {"ibrd 09", "Number syntax\n"},
      {"ibrd 2147483648", "Number out of range\n"},
      {"print \"open", "Non-terminated string\n"},
      {"", ""},
      {"# comment", ""},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(Parse(r, c.line)) << c.line;
    EXPECT_NE(output.find(c.message), std::string::npos) << c.line << "\n" << output;
    EXPECT_EQ(r.code, CODE_IBWRT) << c.line;
    EXPECT_EQ(Data(r), kept) << c.line;
  }
  // "!" runs the committed command again, its text intact.
  EXPECT_TRUE(Parse(r, "!"));
  EXPECT_EQ(Data(r), "abc");
  ParsedCommand fresh{};
  EXPECT_FALSE(Parse(fresh, "!"));
}

TEST_F(Grammar, QuietLinesAndMinusBeforeAWord) {
  ParsedCommand r{};
  EXPECT_FALSE(Parse(r, "-"));
  EXPECT_EQ(quietMode, 1);
  EXPECT_FALSE(Parse(r, "+ anything"));
  EXPECT_EQ(quietMode, 0);
  r = Ok("-ibclr");
  EXPECT_EQ(r.code, CODE_IBCLR);
}

TEST_F(Grammar, AddressListsAndTheRoutinesThatTakeThem) {
  ParsedCommand r = Ok("findlstn (1,2,3) 5");
  EXPECT_EQ(r.count, 3);
  EXPECT_EQ(r.value, 5);
  EXPECT_EQ(r.addressList, addressList);
  EXPECT_EQ(addressList[2], 3);
  EXPECT_EQ(addressList[3], 0xFFFF);

  r = Ok("allspoll 0x10005");
  EXPECT_EQ(addressList[0], 5);
  EXPECT_EQ(r.count, 1);

  // An empty answer gives an empty list for a list, and ends a single address.
  r = Ok("sendsetup", "\n");
  EXPECT_EQ(addressList[0], 0xFFFF);
  ParsedCommand failed{};
  EXPECT_FALSE(Parse(failed, "devclear", "\n"));
  EXPECT_NE(output.find("    enter address : "), std::string::npos);

  // Answers come from the next line of a file for the prompting readers.
  r = Ok("findlstn", "(4, 5) 3\n");
  EXPECT_EQ(r.count, 2);
  EXPECT_FALSE(Parse(failed, "findlstn", "(4, 5)\n")) << "the limit is a plain number";

  r = Ok("send 5 \"data\" nlend");
  EXPECT_EQ(r.value, 1);
  EXPECT_EQ(Data(r), "data");
  r = Ok("receive 5 100 STOPEND");
  EXPECT_EQ(r.value, 0x100);
  r = Ok("ppollconfig 5 3 1");
  EXPECT_EQ(r.value2, 1);
}

TEST_F(Grammar, OwnCommands) {
  ParsedCommand r = Ok("$cmds.txt");
  EXPECT_STREQ(reinterpret_cast<char*>(r.data), "cmds.txt");
  r = Ok("$ cmds.txt");
  EXPECT_STREQ(reinterpret_cast<char*>(r.data), "cmds.txt");
  r = Ok("set 488.2 1");
  EXPECT_EQ(r.data, nullptr);
  EXPECT_EQ(r.value, 1);
  r = Ok("set dmm");
  EXPECT_STREQ(reinterpret_cast<char*>(r.data), "dmm");
  r = Ok("buffer BRIEF");
  EXPECT_EQ(r.value, 3);
  r = Ok("help ibwrt");
  EXPECT_STREQ(reinterpret_cast<char*>(r.data), "ibwrt");
  r = Ok("help");
  EXPECT_EQ(r.data, nullptr);
  EXPECT_NE(output.find("command file error"), std::string::npos);
  ParsedCommand failed{};
  EXPECT_FALSE(Parse(failed, "3 * ibrd 1"));  // the repeat prefix belongs to the loop
  EXPECT_NE(output.find("Bad function"), std::string::npos);
}

TEST_F(Grammar, ExpertOptionsAndRawMode) {
  expertMode = 1;
  struct Case {
    const char* line;
    int32_t value, count;
  } cases[] = {
      {"ibexpert 0", 0, 9},          {"ibexpert IbeDriverVersion", 3, 16}, {"ibexpert 5 7", 5, 4},
      {"ibexpert 6", 6, 32},         {"ibexpert 10", 10, 400},             {"ibexpert 11 2", 11, 100},
      {"ibexpert 12 1 2 3 4 5", 12, 0}, {"ibexpert 16", 16, 0},
  };
  for (const Case& c : cases) {
    ParsedCommand r = Ok(c.line);
    EXPECT_EQ(r.value, c.value) << c.line;
    EXPECT_EQ(r.count, c.count) << c.line;
  }
  ParsedCommand r = Ok("ibexpert IbeWrite 1 2 3 4");
  EXPECT_EQ(r.writeArgs[3], 4);
  r = Ok("ibexpert 12 1 2 3 4 5");
  EXPECT_EQ(r.lockArgs[4], 5);
  r = Ok("ibexpert 15 1");
  EXPECT_EQ(r.boardIndex, 1);

  rawMode = 1;
  r = Ok("ibclr 256");
  EXPECT_EQ(r.deviceCode, 256);
  r = Ok("help");  // no device code for a command that needs no handle
  EXPECT_EQ(r.deviceCode, -1);
  ParsedCommand failed{};
  EXPECT_FALSE(Parse(failed, "ibclr"));
  EXPECT_NE(output.find("command file error"), std::string::npos);
}

}  // namespace
