// The argument parser: special lines, every command's arguments and the
// record fields they fill, prompting on the console and in command files,
// raw mode, expert-only commands, and what a commit keeps.
#include "language/argument_grammar.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "core/command_catalogue.h"
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
