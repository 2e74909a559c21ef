// What a recorded device answers: the ends of its messages, a dialogue per
// distinct command with its last answer, and properties only for settings
// that read back as they were written.
#include "../../vexon/router/recorded_answers.h"

#include <gtest/gtest.h>

namespace {

// A log of {written, read} pairs, every write and read ended.
vexon::DeviceLog Log(std::initializer_list<std::pair<const char*, const char*>> exchanges) {
  vexon::DeviceLog log;
  for (const auto& [written, read] : exchanges) {
    vexon::LogWrite(log, written, true);
    if (*read) vexon::LogRead(log, read, true);
  }
  return log;
}

// The summary as one line: "eom q|r; q=>r ...; prop header=initial ...".
std::string Text(const vexon::RecordedDevice& d) {
  auto show = [](const std::string& s) {
    std::string out;
    for (char c : s) out += c == '\n' ? std::string("\\n") : c == '\r' ? std::string("\\r") : std::string(1, c);
    return out;
  };
  std::string out = "eom " + show(d.q) + "|" + show(d.r) + ";";
  for (const auto& dialogue : d.dialogues) {
    out += " " + dialogue.q;
    if (dialogue.answered) out += "=>" + show(dialogue.r);
    if (dialogue.seen.size() > 1) out += "(" + std::to_string(dialogue.seen.size()) + " seen)";
  }
  for (const auto& p : d.properties)
    out += "; prop " + p.header + "=" + p.initial + (p.decimals >= 0 ? " .f" + std::to_string(p.decimals) : "");
  return out;
}

TEST(RecordedAnswers, DialoguesPropertiesAndEnds) {
  struct Row {
    vexon::DeviceLog log;
    const char* summary;
  } const rows[] = {
      {Log({{"*IDN?\n", "ACME,X,1,2\n"}, {"*RST\n", ""}}), "eom \\n|\\n; *IDN?=>ACME,X,1,2 *RST"},
      // The last answer replays; the others are counted.
      {Log({{"READ?\r\n", "1.0\r\n"}, {"READ?\r\n", "1.1\r\n"}, {"READ?\r\n", "1.0\r\n"}}),
       "eom \\r\\n|\\r\\n; READ?=>1.0(2 seen)"},
      // Set, then read back as written: a property, starting at the value read first.
      {Log({{"VOLT?\n", "0\n"}, {"VOLT 5\n", ""}, {"VOLT?\n", "5\n"}, {"*IDN?\n", "A\n"}}),
       "eom \\n|\\n; *IDN?=>A; prop VOLT=0"},
      {Log({{"MODE FAST\n", ""}, {"MODE?\n", "FAST\n"}, {"MODE SLOW\n", ""}, {"MODE?\n", "SLOW\n"}}),
       "eom \\n|\\n;; prop MODE=FAST"},
      // Read back as the number written with fixed decimals: a float property.
      {Log({{"VOLT 5\n", ""}, {"VOLT?\n", "5.000\n"}, {"VOLT 2.5\n", ""}, {"VOLT?\n", "2.500\n"}}),
       "eom \\n|\\n;; prop VOLT=5.000 .f3"},
      {Log({{"CURR?\n", "0.10\n"}, {"CURR 1\n", ""}, {"CURR?\n", "1.00\n"}}), "eom \\n|\\n;; prop CURR=0.10 .f2"},
      // Read back differently, never read back, or changed without a write: no property.
      {Log({{"VOLT 5\n", ""}, {"VOLT?\n", "4.998\n"}}), "eom \\n|\\n; VOLT 5 VOLT?=>4.998"},
      {Log({{"VOLT 5\n", ""}, {"VOLT?\n", "+5.000E+00\n"}}), "eom \\n|\\n; VOLT 5 VOLT?=>+5.000E+00"},
      {Log({{"VOLT MAX\n", ""}, {"VOLT?\n", "30.0\n"}}), "eom \\n|\\n; VOLT MAX VOLT?=>30.0"},
      {Log({{"VOLT 5\n", ""}, {"VOLT 6\n", ""}}), "eom \\n|\\n; VOLT 5 VOLT 6"},
      {Log({{"VOLT?\n", "1\n"}, {"VOLT?\n", "2\n"}, {"VOLT 2\n", ""}, {"VOLT?\n", "2\n"}}),
       "eom \\n|\\n; VOLT?=>2(2 seen) VOLT 2"},
      // A write never read back after it stays a dialogue.
      {Log({{"MEAS:VOLT?\n", "1\n"}, {"MEAS:VOLT 1\n", ""}}), "eom \\n|\\n; MEAS:VOLT?=>1 MEAS:VOLT 1"},
      // A message of several commands: one answer per query, joined with ";".
      {Log({{"*CLS;*IDN?;READ?\n", "A;1.5\n"}}), "eom \\n|\\n; *CLS *IDN?=>A READ?=>1.5"},
      {Log({{" *IDN? ;\n", "A;B\n"}}), "eom \\n|\\n; *IDN?=>A;B"},
      // Messages ended by END alone, responses without a common end.
      {Log({{"A?", "1"}, {"B?", "2\n"}}), "eom \\n|; A?=>1 B?=>2\\n"},
  };
  for (const Row& r : rows) EXPECT_EQ(Text(vexon::SummarizeDevice(r.log)), r.summary);
}

TEST(RecordedAnswers, MessagesAcrossWritesAndReads) {
  vexon::DeviceLog log;
  // Without END a write goes on in the next; two messages in one write; a
  // response read in pieces; bytes read before any write are kept apart.
  vexon::LogRead(log, "HELLO", true);
  vexon::LogWrite(log, "*ID", false);
  vexon::LogWrite(log, "N?\n", true);
  vexon::LogRead(log, "AC", false);
  vexon::LogRead(log, "ME\n", true);
  vexon::LogWrite(log, "*CLS\nREAD?\n", true);
  vexon::LogRead(log, "7\n", true);
  vexon::LogPoll(log, 0x50);
  const vexon::RecordedDevice d = vexon::SummarizeDevice(log);
  EXPECT_EQ(Text(d), "eom \\n|\\n; *IDN?=>ACME *CLS READ?=>7");
  EXPECT_EQ(d.unsolicited, "HELLO");
  ASSERT_EQ(log.polls.size(), 1u);
  EXPECT_EQ(log.polls[0].result, 0x50);
}

// A long session keeps a bounded log: the older exchanges fold into their
// commands, and what the file says is what the whole session says.
TEST(RecordedAnswers, ALongSessionFoldsIntoItsCommands) {
  vexon::DeviceLog log;
  // A setting read back as written until a write it does not read back,
  // early; the property must not come back once that is folded away.
  vexon::LogWrite(log, "RANGE 1\n", true);
  vexon::LogWrite(log, "RANGE?\n", true);
  vexon::LogRead(log, "1\n", true);
  vexon::LogWrite(log, "RANGE 2\n", true);
  vexon::LogWrite(log, "RANGE?\n", true);
  vexon::LogRead(log, "1\n", true);
  for (int i = 0; i < 20000; ++i) {
    const std::string volts = std::to_string(i % 7);
    vexon::LogWrite(log, "VOLT " + volts + "\n", true);
    vexon::LogWrite(log, "VOLT?\n", true);
    vexon::LogRead(log, volts + ".00\n", true);
    vexon::LogWrite(log, "READ?\n", true);
    vexon::LogRead(log, std::to_string(i % 40) + "\n", true);
    vexon::LogWrite(log, "RANGE 1\n", true);
    vexon::LogWrite(log, "RANGE?\n", true);
    vexon::LogRead(log, "1\n", true);
    vexon::LogPoll(log, i % 1000 ? 0x00 : 0x40);
  }
  vexon::LogWrite(log, "READ?\n", true);
  vexon::LogRead(log, "last\n", true);
  EXPECT_LE(log.exchanges.size(), vexon::kExchangesKept);
  EXPECT_EQ(log.messages, 100005);
  EXPECT_EQ(log.polls.size(), 40u);  // 0x40 once, then 999 of 0x00, twenty times
  EXPECT_EQ(log.polls[1].times, 999);
  const vexon::RecordedDevice d = vexon::SummarizeDevice(log);
  EXPECT_EQ(Text(d), "eom \\n|\\n; RANGE 1 RANGE?=>1 RANGE 2 READ?=>last(16 seen); prop VOLT=0.00 .f2");
  ASSERT_EQ(d.dialogues.size(), 4u);
  EXPECT_EQ(d.dialogues[3].seen.size(), vexon::kSeenKept);
  EXPECT_EQ(d.dialogues[3].moreSeen, 20000 - 16 * 500 + 1);
}

// A binary block holding ";" is cut there as the replay cuts it: the parts
// are commands, the whole response goes to the last one.
TEST(RecordedAnswers, BlocksHoldingSemicolons) {
  const vexon::RecordedDevice d =
      vexon::SummarizeDevice(Log({{"DATA #15a;b?c;LOAD?\n", "1;2\n"}, {"X?;Y?\n", "1;2\n"}}));
  EXPECT_EQ(Text(d), "eom \\n|\\n; DATA #15a b?c LOAD?=>1;2 X?=>1 Y?=>2");
  EXPECT_TRUE(d.dialogues[0].blockPart && d.dialogues[2].blockPart);
  EXPECT_FALSE(d.dialogues[3].blockPart);
}

}  // namespace
