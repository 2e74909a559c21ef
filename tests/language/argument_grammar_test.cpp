// The argument parser: special lines, every command's arguments and the
// record fields they fill, prompting on the console and in command files,
// raw mode, expert-only commands, and what a commit keeps.
#include "language/argument_grammar.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "console/command_catalogue.h"
#include "language/value_parsers.h"
#include "language_fixture.h"

namespace {


const std::string kAbort = "    abort\n";
const std::string kBadFunction = "Bad function. Enter 'help' for help\n";

std::string Bytes(const uint8_t* data, size_t length) {
  std::string shown;
  for (size_t i = 0; i < length; ++i) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\x%02x", data[i]);
    shown += data[i] >= 0x20 && data[i] < 0x7F ? std::string(1, static_cast<char>(data[i])) : hex;
  }
  return shown;
}

// The command's name and every field that is not zero.
std::string Describe(const ParsedCommand& c) {
  std::string shown = kCatalogue[c.catalogueIndex].name;
  if (c.code != kCatalogue[c.catalogueIndex].code) shown += " code=" + std::to_string(c.code);
  auto field = [&](const char* name, int32_t value) {
    if (value) shown += std::string(" ") + name + "=" + std::to_string(value);
  };
  auto group = [&](const char* name, const int32_t* values, int n) {
    bool any = false;
    for (int i = 0; i < n; ++i) any = any || values[i];
    if (!any) return;
    shown += std::string(" ") + name + "=(";
    for (int i = 0; i < n; ++i) {
      if (i) shown += ',';
      shown += std::to_string(values[i]);
    }
    shown += ")";
  };
  if (c.addressList) {
    shown += c.addressList == addressList ? " addr=(" : " foreign addr=(";
    for (int i = 0; i < kAddressListSize && c.addressList[i] != 0xFFFF; ++i) {
      if (i) shown += ',';
      shown += std::to_string(c.addressList[i]);
    }
    shown += ")";
  }
  if (c.resultList) shown += " resultList";
  if (c.data) {
    const size_t length = c.count > 0 ? c.count : std::strlen(reinterpret_cast<const char*>(c.data));
    shown += " data=\"" + Bytes(c.data, length) + "\"";
  }
  field("count", c.count);
  field("value", c.value);
  field("value2", c.value2);
  field("pad", c.pad);
  field("sad", c.sad);
  field("boardIndex", c.boardIndex);
  field("timeout", c.timeout);
  field("eotFlag", c.eotFlag);
  field("eos", c.eos);
  field("deviceCode", c.deviceCode);
  field("param", c.param);
  group("writeArgs", c.writeArgs, 4);
  group("readArgs", c.readArgs, 3);
  group("lockArgs", c.lockArgs, 5);
  return shown;
}

struct Outcome {
  bool ok;
  std::string output;
};

class ArgumentGrammar : public language_test::LanguageTest {
 protected:
  Outcome Parse(const std::string& line, InputStream* in) {
    SetLine(line);
    bool ok = false;
    std::string output = Capture([&] { ok = ParseCommand(command, in); });
    return {ok, output};
  }
  Outcome Parse(const std::string& line) { return Parse(line, StandardInput()); }

  ParsedCommand command{};
};

TEST_F(ArgumentGrammar, SpecialLinesAndRefusals) {
  const struct {
    const char* line;
    std::string output;
    int quiet;
  } kRows[] = {
      {"", "", 0},
      {"   ", "", 0},
      {"# ibclr", "", 0},
      {"!", "", 0},  // nothing committed yet
      {"- ibclr", "", 1},
      {"+ 5", "", 0},
      {"5", kBadFunction, 0},
      {"* ibclr", kBadFunction, 0},
      {"08", "Number syntax\n" + kBadFunction, 0},
      {"ibfoo", kBadFunction, 0},
      {"qu", kBadFunction, 0},
      {"3 * ibrd 1", kBadFunction, 0},
      {"ibdev.x", kBadFunction, 0},
      {"ibclr 5", "Trailing garbage\n", 0},
      {"ibpoke", "This function is not supported by Tarnwick\n", 0},
      {"ibrd 10 \"x\"", "Trailing garbage\n", 0},
      {"w xyz", "Invalid mask bit\n" + kAbort, 0},
      {"w (timo", "Missing ')'\n" + kAbort, 0},
  };
  for (const auto& row : kRows) {
    quietMode = row.line[0] == '+';
    const Outcome got = Parse(row.line);
    EXPECT_FALSE(got.ok) << row.line;
    EXPECT_EQ(got.output, row.output) << row.line;
    EXPECT_EQ(quietMode, row.quiet) << row.line;
    EXPECT_EQ(command.code, 0) << row.line;
    if (!row.output.empty()) {
      EXPECT_STREQ(readCursor, "") << row.line;  // nothing more of a refused line is read
    }
  }
}

TEST_F(ArgumentGrammar, FieldsOfEachCommand) {
  const struct {
    const char* line;
    const char* fields;
  } kRows[] = {
      {"IBCLR", "ibclr"},
      {"-ibclr", "ibclr"},
      {"ibrsp", "ibrsp count=1"},
      {"iblines", "iblines count=2"},
      {"ibtmo 13", "ibtmo value=13"},
      {"ibpad -5", "ibpad value=-5"},
      {"ibwait timo end", "ibwait value=24576"},
      {"ibnotify (rqs)", "ibnotify value=2048"},
      {"ibwrt \"*IDN?\\n\"", "ibwrt data=\"*IDN?\\x0a\" count=6"},
      {"ibwrt \"a\\0b\"", "ibwrt data=\"a\\x00b\" count=3"},
      {"ibrd 100", "ibrd count=100"},
      {"ibrdf \"my file.dat\"", "ibrdf data=\"my file.dat\""},
      {"ibfind GPIB0", "ibfind data=\"GPIB0\""},
      {"ibln 3 0x60", "ibln count=2 pad=3 sad=96"},
      {"ibdev 1 3 96 13 1 0x140a", "ibdev pad=3 sad=96 boardIndex=1 timeout=13 eotFlag=1 eos=5130"},
      {"ibconfig ibctmo 12", "ibconfig value=3 value2=12"},
      {"ibask IbaBNA", "ibask count=4 value=512"},
      {"iblck 1 500", "iblck value=1 param=500"},
      {"sendsetup 3,4", "sendsetup addr=(3,4)"},
      {"findrqs 1,2", "findrqs addr=(1,2) count=2"},
      {"allspoll ()", "allspoll addr=()"},
      {"findlstn (1,2,3) 5", "findlstn addr=(1,2,3) count=3 value=5"},
      {"devclear 5", "devclear addr=(5)"},
      {"readstatusbyte 0x10005", "readstatusbyte addr=(5) count=1"},
      {"senddatabytes \"ab\" dabend", "senddatabytes data=\"ab\" count=2 value=2"},
      {"send 5 \"data\" nlend", "send addr=(5) data=\"data\" count=4 value=1"},
      {"sendlist (1,2) \"x\" 1", "sendlist addr=(1,2) data=\"x\" count=1 value=1"},
      {"receive 3 10 stopend", "receive addr=(3) count=10 value=256"},
      {"rcvrespmsg 10 13", "rcvrespmsg count=10 value=13"},
      {"ppollconfig 3 2 1", "ppollconfig addr=(3) value=2 value2=1"},
      {"buffer brief", "buffer value=3"},
      {"w", "w"},
      {"print \"hi\"", "print data=\"hi\" count=2"},
      {"$cmds.txt", "$ data=\"cmds.txt\""},
      {"$ cmds.txt", "$ data=\"cmds.txt\""},
      {"set gpib0", "set data=\"gpib0\""},
      {"set 488.2 2", "set value=2"},
      {"help ibwrt", "help data=\"ibwrt\""},
      {"help", "help"},
      {"raw on", "raw value=1"},
      {"ibwrtn 10", "ibwrtn count=10"},
      {"ibexpert 0", "ibexpert count=9"},
      {"ibexpert IbeBoardType", "ibexpert count=4 value=1"},
      {"ibexpert 3", "ibexpert count=16 value=3"},
      {"ibexpert IbeDebugMode 1", "ibexpert count=4 value=5 param=1"},
      {"ibexpert 6", "ibexpert count=32 value=6"},
      {"ibexpert IbeWrite 0x100 2 4 0xff", "ibexpert count=4 value=7 writeArgs=(256,2,4,255)"},
      {"ibexpert IbeRead 0x100 2 4", "ibexpert count=4 value=8 readArgs=(256,2,4)"},
      {"ibexpert IbeSwapSPDCommandBytes 1", "ibexpert count=4 value=9 param=1"},
      {"ibexpert 10", "ibexpert count=400 value=10"},
      {"ibexpert 11 7", "ibexpert count=100 value=11 param=7"},
      {"ibexpert IbeLck 1 2 3 4 5", "ibexpert value=12 lockArgs=(1,2,3,4,5)"},
      {"ibexpert 13 \"SN42\"", "ibexpert data=\"SN42\" count=4 value=13"},
      {"ibexpert IbeChangeDeviceBNA 2", "ibexpert value=15 boardIndex=2"},
      {"ibexpert 99", "ibexpert value=99"},
  };
  expertMode = 1;
  for (const auto& row : kRows) {
    const Outcome got = Parse(row.line);
    EXPECT_TRUE(got.ok) << row.line;
    EXPECT_EQ(got.output, "") << row.line;
    EXPECT_EQ(Describe(command), row.fields) << row.line;
  }
}

TEST_F(ArgumentGrammar, PromptsInACommandFile) {
  const struct {
    const char* line;
    const char* file;
    bool ok;
    const char* fields;
    std::string output;
    const char* nextFileLine;  // what the file still holds afterwards
  } kRows[] = {
      {"ibrd", "ibclr\n", false, "", "    command file error\n" + kAbort, "ibclr"},
      {"ibwrt hello", "ibclr\n", false, "", "    command file error\n" + kAbort, "ibclr"},
      {"ibdev 0 1", "ibclr\n", false, "", "    command file error\n" + kAbort, "ibclr"},
      {"ibrd 09", "ibclr\n", false, "", "Number syntax\n    command file error\n" + kAbort, "ibclr"},
      {"print \"open", "ibclr\n", false, "", "Non-terminated string\n    command file error\n" + kAbort, "ibclr"},
      {"help", "ibclr\n", true, "help", "    command file error\n", "ibclr"},
      {"findlstn", "(1,2) 5\nibclr\n", true, "findlstn addr=(1,2) count=2 value=5",
       "    enter address list: (1,2) 5\n", "ibclr"},
      {"findlstn", "(1,2)\n5\n", false, "", "    enter address list: (1,2)\n    command file error\n" + kAbort, "5"},
      // The end of the file answers like an empty line; a last line without
      // its line feed is no answer.
      {"sendsetup", "", true, "sendsetup addr=()", "    enter address list: ", nullptr},
      {"sendsetup", "1,2", true, "sendsetup addr=()", "    enter address list: ", nullptr},
      {"findlstn", "", false, "", "    enter address list:     command file error\n" + kAbort, nullptr},
      {"devclear", "", false, "", "    enter address : " + kAbort, nullptr},
      {"ibwait", "cmpl\n", true, "ibwait value=256", "    enter mask : cmpl\n", nullptr},
  };
  for (const auto& row : kRows) {
    InputStream* in = FileAnswers(row.file);
    quietMode = 1;  // readers show the answer lines they take all the same
    const Outcome got = Parse(row.line, in);
    EXPECT_EQ(quietMode, 1) << row.line;
    EXPECT_EQ(got.ok, row.ok) << row.line;
    EXPECT_EQ(got.output, row.output) << row.line;
    if (row.ok) {
      EXPECT_EQ(Describe(command), row.fields) << row.line;
    }
    if (row.nextFileLine) {
      EXPECT_TRUE(ReadLine(in)) << row.line;
      EXPECT_STREQ(lineBuffer, row.nextFileLine) << row.line;
    } else {
      EXPECT_FALSE(ReadLine(in)) << row.line;
    }
    quietMode = 0;
  }
}

TEST_F(ArgumentGrammar, RawModeDeviceCode) {
  rawMode = 1;
  EXPECT_TRUE(Parse("ibclr 256").ok);
  EXPECT_EQ(Describe(command), "ibclr deviceCode=256");
  EXPECT_TRUE(Parse("ibrd 256 10").ok);
  EXPECT_EQ(Describe(command), "ibrd count=10 deviceCode=256");

  InputStream* in = ConsoleAnswers("7 ibcpad 1\n");
  Outcome got = Parse("ibconfig", in);
  EXPECT_TRUE(got.ok);
  EXPECT_EQ(got.output, "    enter device code: ");
  EXPECT_EQ(Describe(command), "ibconfig value=1 value2=1 deviceCode=7");

  got = Parse("ibclr", FileAnswers("256\n"));
  EXPECT_FALSE(got.ok);
  EXPECT_EQ(got.output, "    command file error\n" + kAbort);

  // Commands that need no handle take the current selection's, -1 for none.
  EXPECT_EQ(Parse("help").output, "");
  EXPECT_EQ(Describe(command), "help deviceCode=-1");
  ASSERT_TRUE(RegisterNamed(17, "dev1"));
  EXPECT_TRUE(Parse("set dev2").ok);
  EXPECT_EQ(Describe(command), "set data=\"dev2\" deviceCode=17");
}

TEST_F(ArgumentGrammar, FailedLinesKeepTheCommittedCommand) {
  ASSERT_TRUE(Parse("ibwrt \"hello\"").ok);
  const ParsedCommand committed = command;
  // Each of these lines writes token text before it is rejected.
  const struct {
    const char* line;
    const char* answers;
  } kFailing[] = {
      {"ibwrt \"zzzzzzzzzzzzzzzz\" trailing", ""},
      {"ibfoo_overwrites_the_token_buffer", ""},
      {"ibwrt", "\n"},
      {"", ""},
      {"send 5 \"yyyyyyyyyyyy\" bogus", "\n"},
      {"ibfind", "\"\"\n\n"},
  };
  for (const auto& row : kFailing) {
    EXPECT_FALSE(Parse(row.line, ConsoleAnswers(row.answers)).ok) << row.line;
    EXPECT_EQ(std::memcmp(&command, &committed, sizeof command), 0) << row.line;
    EXPECT_EQ(Describe(command), "ibwrt data=\"hello\" count=5") << row.line;
  }
  // "!" runs the committed command again, its string untouched.
  const Outcome again = Parse("!");
  EXPECT_TRUE(again.ok);
  EXPECT_EQ(again.output, "");
  EXPECT_EQ(Describe(command), "ibwrt data=\"hello\" count=5");

  // A new commit replaces the record whole.
  ASSERT_TRUE(Parse("ibrd 3").ok);
  EXPECT_EQ(Describe(command), "ibrd count=3");
}

TEST_F(ArgumentGrammar, SendKeepsItsStringBehindTheEotWord) {
  InputStream* in = ConsoleAnswers("nullendxxxxxxxx\nnlend\n");
  const Outcome got = Parse("senddatabytes \"data\"", in);
  EXPECT_TRUE(got.ok);
  EXPECT_EQ(got.output, "    enter EOTmode : Invalid EOTmode\n    enter EOTmode : ");
  EXPECT_EQ(Describe(command), "senddatabytes data=\"data\" count=4 value=1");
  EXPECT_EQ(command.data[4], 0);
}

class ArgumentGrammarDeathTest : public ArgumentGrammar {};

// At the end of the console input a prompt is not repeated: the command ends.
TEST_F(ArgumentGrammarDeathTest, EndOfConsoleInputEndsTheCommand) {
  EXPECT_EXIT(
      {
        const int none = open("/dev/null", O_RDONLY);
        dup2(none, 0);
        const Outcome got = Parse("ibrd");
        const Outcome list = Parse("findlstn");
        const bool good = !got.ok && got.output == "    enter byte count: " + kAbort && !list.ok &&
                          list.output == "    enter address list:     enter 'limit' number: " + kAbort;
        if (!good) std::fprintf(stderr, "%s|%s", got.output.c_str(), list.output.c_str());
        _exit(good ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
}

}  // namespace
