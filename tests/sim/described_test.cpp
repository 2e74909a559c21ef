// Described instruments without the bus: the definition reader, the message
// matching, the status model and the response timing, on plain structs.
#include <gtest/gtest.h>
#include <yaml-cpp/yaml.h>

#include <algorithm>

#include "../../vexon/sim/definition_reader.h"
#include "../../vexon/sim/described/field_format.h"
#include "../../vexon/sim/described/instance.h"
#include "described_query.h"

namespace vorel::sim::described {
namespace {

constexpr Nanoseconds kSecond = 1'000'000'000;

const char kSupply[] = R"(
eom: {GPIB INSTR: {q: "\n", r: "\n"}}
error: ERROR
dialogues:
  - {q: "*IDN?", r: "ACME,PSU,1,1.0"}
  - {q: "PING", r: null_response}
  - {q: "MEAS?", r: "4.2", delay: 2}
properties:
  voltage:
    default: 1.5
    getter: {q: "VOLT?", r: "{:.3f}"}
    setter: {q: "VOLT {:f}", r: OK, e: RANGE}
    specs: {min: 0, max: 30, type: float}
  mode:
    default: DC
    getter: {q: "MODE?", r: "{:s}"}
    setter: {q: "MODE {:s}"}
    specs: {valid: [DC, AC]}
  count:
    default: 3
    getter: {q: "COUNT?", r: "{:d}"}
    setter: {q: "COUNT {:d} X"}
)";

// Reads a definition as the bus file's reader does; false with its error.
bool ReadDefinition(const std::string& yaml, Definition& d, vexon::BusFileError& e) {
  try {
    vexon::InstrumentDefinition out;
    ReadInstrumentDefinition(vexon::YamlFile{"bus.yaml", yaml, {}}, "psu", YAML::Load(yaml), out);
    d = out.described;
    return true;
  } catch (const vexon::BusFileError& error) {
    e = error;
    return false;
  }
}

Instance Make(const std::string& yaml) {
  Definition d;
  vexon::BusFileError e;
  EXPECT_TRUE(ReadDefinition(yaml, d, e)) << e.line << ":" << e.column << ": " << e.what;
  Instance in;
  in.definition = std::make_shared<const Definition>(d);
  in.name = "psu";
  PowerOn(in);
  return in;
}

TEST(DescribedMessages, MatchedInOrder) {
  Instance in = Make(kSupply);
  struct Row {
    const char* write;
    const char* read;
  } rows[] = {
      {"*IDN?\n", "ACME,PSU,1,1.0\n"},
      {"*idn?", "ACME,PSU,1,1.0\n"},  // the file's answer serves every form
      {"VOLT?\n", "1.500\n"},
      {"VOLT 12.25\n", "OK\n"},
      {"VOLT?;COUNT?\n", "12.250;3\n"},
      {"  VOLT? ; ;MODE?  \r\n", "12.250;DC\n"},
      {"VOLT 31\n", "RANGE\n"},
      {"VOLT abc\n", "ERROR\n"},      // not a float: no match, a command error
      {"COUNT 2.5 X\n", "ERROR\n"},   // not an int
      {"COUNT 7 X\n", ""},
      {"COUNT?\n", "7\n"},
      {"MODE AC\n", ""},
      {"MODE XX\n", "ERROR\n"},       // not valid and no `e`: the command error's response
      {"MODE?;PING\n", "AC\n"},
      {"volt?\n", "ERROR\n"},         // the file's strings match exactly
      {"*RST;VOLT?;MODE?;COUNT?\n", "1.500;DC;3\n"},
      {"*ESR?\n", "176\n"},           // PON, CME, EXE
      {"SYST:ERR?;SYST:ERR?;:system:error:next?\n",
       "-222,\"Data out of range\";-113,\"Undefined header\";-113,\"Undefined header\"\n"},
      {"*CLS;SYST:ERR?;*ESR?\n", "0,\"No error\";0\n"},
      {"*ESE 300\n", "ERROR\n"},
      {"*ESE\n", "ERROR\n"},
      {"*CLS 1\n", "ERROR\n"},
      {"syst:err?;SYST:ERR?;SYST:ERR?;*ESE?\n",
       "-222,\"Data out of range\";-109,\"Missing parameter\";-108,\"Parameter not allowed\";0\n"},
      {"*OPC;*ESR?;*OPC?;*TST?\n", "49;1;0\n"},  // EXE, CME of the rows above, OPC
      {"PING\nVOLT?\n", "1.500\n"},   // two messages in one write
  };
  for (const Row& r : rows) EXPECT_EQ(Query(in, r.write), r.read) << r.write;
}

TEST(DescribedMessages, FileErrorsAndModelForms) {
  const char kFile[] = R"(
error:
  response: {command_error: BAD, query_error: EMPTY}
  status_register: [{q: "*ESR?", command_error: 32, query_error: 4}]
  error_queue: [{q: ":SYST:ERR?", default: "0, No Error", command_error: "1, Command error"}]
properties:
  level: {default: 1, getter: {q: "LEV?", r: "{:d}"}, setter: {q: "LEV {:d}"}, specs: {min: 1, max: 6}}
)";
  Instance in = Make(kFile);
  struct Row {
    const char* write;
    const char* read;
  } rows[] = {
      {"*esr?", "0\n"},               // the file's register, PON not in it
      {"FAKE", "BAD\n"},
      {"LEV 9", "BAD\n"},             // a rejected value is a command error to the file
      {"syst:err?;SYSTEM:ERROR:NEXT?;:SYST:ERR?", "1, Command error;1, Command error;0, No Error\n"},
      {"*ESR?", "32\n"},
      {"*ESR?", "0\n"},
      {"*IDN?", "vorel,psu,0,1.0\n"},
      {"*STB?", "0\n"},
  };
  for (const Row& r : rows) EXPECT_EQ(Query(in, r.write), r.read) << r.write;
  // A read of nothing is a query error: the file's response is read instead.
  EXPECT_EQ(ReadableAt(in), -1);
  QueryError(in);
  EXPECT_EQ(Query(in, ""), "EMPTY\n");
  EXPECT_EQ(Query(in, "*ESR?"), "4\n");
  EXPECT_EQ(in.status.esr & kQYE, kQYE);  // the model counts it too
}

TEST(DescribedMessages, StatusOffLeavesCommonCommandsToTheFile) {
  Instance in = Make("{status: off, error: NO, dialogues: [{q: '*IDN?', r: X}]}");
  EXPECT_EQ(Query(in, "*IDN?"), "X\n");
  EXPECT_EQ(Query(in, "*idn?;*CLS;SYST:ERR?"), "NO;NO;NO\n");
  EXPECT_EQ(SerialPoll(in), 0);
}

// Files read as pyvisa-sim reads them, each with the messages that show it.
TEST(DescribedMessages, LoadedAsPyvisaSimLoads) {
  struct Exchange {
    const char* write;
    const char* read;
  };
  struct Row {
    const char* yaml;
    std::vector<Exchange> exchanges;
  } rows[] = {
      // Spaces (not tabs) around q, r and e are dropped.
      {"dialogues: [{q: '  PADDED  ', r: ' YES '}, {q: \"\\tTAB\", r: x}]",
       {{"PADDED", "YES\n"}, {"TAB", ""}}},  // the tab stays, the command loses its own: no match
      // "\n" and "\r" written in single quotes are LF and CR in messages and eom.
      {"eom: {GPIB INSTR: {q: '\\r\\n', r: '\\r\\n'}}\ndialogues: [{q: A, r: 'x\\ny'}]",
       {{"A\r\nA\r\n", "x\ny\r\nx\ny\r\n"}}},
      // A getter's format and a setter's pattern keep them as written.
      {"properties: {v: {default: 1, getter: {q: 'V?', r: '{:d}\\n'}, setter: {q: 'V {:d}\\n'}}}",
       {{"V?", "1\\n\n"}, {"V 2\\n", ""}, {"V?", "2\\n\n"}}},
      // The last of two dialogues with the same q answers; every scalar is text.
      {"dialogues: [{q: A, r: first}, {q: A, r: last}, {q: N, r: ~}, {q: E, r: }, {q: T, r: true},"
       " {q: F, r: 1.50}, {q: Z, r: null_response}]",
       {{"A", "last\n"}, {"N", "~\n"}, {"E", "\n"}, {"T", "true\n"}, {"F", "1.50\n"}, {"Z", ""}}},
      // str specs: min and max compare as text.
      {"error: ERROR\nproperties: {s: {default: b, getter: {q: 'S?', r: '{}'}, setter: {q: 'S {:s}', r: OK},"
       " specs: {type: str, min: b, max: d}}}",
       {{"S c", "OK\n"}, {"S a", "ERROR\n"}, {"S dd", "ERROR\n"}, {"S?", "c\n"}}},
      // inf, -inf and nan defaults, printed as Python prints them.
      {"error: E\nproperties:\n  a: {default: inf, getter: {q: 'A?', r: '{:.2f}'}, specs: {type: float}}\n"
       "  b: {default: -inf, getter: {q: 'B?', r: '{:E}'}}\n  c: {default: nan, getter: {q: 'C?', r: '{}'}}",
       {{"A?;B?;C?", "inf;-INF;nan\n"}}},
      // A setter's own e: not counted by the file's register and queue.
      {"error:\n  status_register: [{q: '*ESR?', command_error: 32}]\n"
       "  error_queue: [{q: 'ERR?', default: none, command_error: cmd}]\n"
       "properties: {v: {default: 1, setter: {q: 'V {:d}', e: NO}, specs: {max: 5}},"
       " w: {default: 1, setter: {q: 'W {:d}'}, specs: {max: 5}}}",
       {{"V 9", "NO\n"}, {"*ESR?;ERR?", "0;none\n"}, {"W 9", ""}, {"*ESR?;ERR?", "32;cmd\n"}}},
      // BYTES(...) in dialogues, of hex digits or of characters that stand for
      // bytes ("\xNN"); a malformed one stays as written.
      {"dialogues: [{q: 'BYTES(41 42)', r: 'xBYTES(4c)y'}, {q: B, r: 'BYTES(4)BYTES()'},"
       " {q: \"BYTES(\\xaaU\\x02)\", r: \"BYTES(\\xff)\\u6e2c\"}]",
       {{"AB", "xLy\n"}, {"B", "BYTES(4)BYTES()\n"}, {"\xaaU\x02", "\xff\xe6\xb8\xac\n"}}},
      // Channels chosen by selection (can_select false) and by their id in the message.
      {"error: ERROR\nproperties: {selected_channel: {default: 1, getter: {q: 'I?', r: '{}'}, setter: {q: 'I {}'}}}\n"
       "channels:\n  a: {ids: [1, 2], can_select: False, properties: {f: {default: 1.0, getter: {q: 'F?', r: '{:.3f}'},"
       " setter: {q: 'F {:.3f}'}, specs: {min: 1, max: 10, type: float}}}}\n"
       "  b: {ids: [7, 8], can_select: true, dialogues: [{q: 'CH{ch_id}?', r: here}],"
       " properties: {v: {default: 0, getter: {q: 'V{ch_id}?', r: '{:d}'}, setter: {q: 'V{ch_id} {:d}'}}}}",
       {{"I?;F?", "1;1.000\n"}, {"F 5.0", ""}, {"F?", "5.000\n"}, {"I 2;F?", "1.000\n"}, {"I 1;F?", "5.000\n"},
        {"I 3;F?", "ERROR\n"}, {"F 11", "ERROR\n"}, {"CH7?;CH8?;CH9?", "here;here;ERROR\n"},
        {"V8 4;V7?;V8?", "0;4\n"}, {"*RST;I?;V8?", "1;0\n"}}},
  };
  for (const Row& r : rows) {
    Instance in = Make(r.yaml);
    for (const Exchange& e : r.exchanges) EXPECT_EQ(Query(in, e.write), e.read) << r.yaml << "\n" << e.write;
  }
}

TEST(DescribedMessages, RandomResponsesRepeatWithTheirSeed) {
  const std::string kFile = R"(
error: ERROR
dialogues:
  - {q: ":READ?", r: "{RANDOM(0, 10.5, 1):.2f}"}
  - {q: ":SCAN?", r: "{RANDOM(0, 10.5, 5):.2f}"}
  - {q: ":BAD?", r: "{RANDOM(0, 10.5):.2f}"}
properties:
  v: {default: 1.0, getter: {q: "V?", r: "{RANDOM(-5, 5, 1):+.1f} V"}}
)";
  Instance a = Make(kFile), b = Make(kFile);
  std::string first = Query(a, ":READ?;:SCAN?;V?");
  EXPECT_EQ(first, Query(b, ":READ?;:SCAN?;V?"));
  EXPECT_NE(first, Query(a, ":READ?;:SCAN?;V?"));
  EXPECT_EQ(Query(a, ":BAD?"), "ERROR\n");  // a malformed directive is a command error
  // Two decimals; five of them; a sign, one decimal and the getter's text.
  const size_t scan = first.find(';'), volt = first.rfind(';');
  ASSERT_NE(scan, volt) << first;
  EXPECT_EQ(first.substr(scan - 3, 1), ".") << first;
  EXPECT_EQ(std::count(first.begin() + scan, first.begin() + volt, ','), 4) << first;
  EXPECT_EQ(first.substr(volt + 1, 1).find_first_of("+-"), 0u) << first;
  EXPECT_EQ(first.substr(volt + 3, 1), ".") << first;
  EXPECT_EQ(first.substr(volt + 5), " V\n") << first;
  PowerOn(a);  // the sequence starts again
  EXPECT_EQ(Query(a, ":READ?;:SCAN?;V?"), first);
  Definition seeded = *a.definition;
  seeded.seed = 1;
  a.definition = std::make_shared<const Definition>(seeded);
  PowerOn(a);
  EXPECT_NE(Query(a, ":READ?;:SCAN?;V?"), first);
}

TEST(DescribedStatus, ServiceRequestOnNewReasons) {
  Instance in = Make(kSupply);
  // Each step: a message written (or "poll", or "read"), then the request
  // expected and, for a poll, the status byte.
  struct Step {
    const char* action;
    bool srq;
    int stb;
  } steps[] = {
      {"*CLS;*SRE 16", false, 0},
      {"*IDN?", true, 0},
      {"poll", false, 0x50},
      {"poll", false, 0x10},          // MSS still holds, the request is over
      {"read", false, 0},
      {"*IDN?", true, 0},
      {"read", false, 0},             // MAV off before a poll: withdrawn
      {"poll", false, 0x00},
      {"*ESE 32;*SRE 32", false, 0},
      {"BOGUS", true, 0},             // CME through ESB
      {"read", true, 0},
      {"*STB?", true, 0},
      {"poll", false, 0x70},          // MAV of the *STB? answer, ESB, RQS
      {"read", false, 0},
      {"BOGUS", false, 0},            // ESB still on: no new reason
      {"*CLS", false, 0},
      {"BOGUS", true, 0},
  };
  for (const Step& s : steps) {
    std::string a = s.action;
    char buf[64];
    bool end = false;
    if (a == "poll") EXPECT_EQ(SerialPoll(in), s.stb) << a;
    else if (a == "read") while (Talk(in, buf, sizeof buf, end)) {}
    else Receive(in, a, true, 0);
    EXPECT_EQ(in.status.srq, s.srq) << a;
  }
}

TEST(DescribedStatus, ErrorQueueOverflows) {
  StatusModel s;
  for (int i = 0; i < 40; ++i) PushError(s, kUndefinedHeader);
  ASSERT_EQ(s.errors.size(), kErrorQueueSize);
  for (size_t i = 0; i + 1 < kErrorQueueSize; ++i) EXPECT_EQ(PopError(s), "-113,\"Undefined header\"");
  EXPECT_EQ(PopError(s), "-350,\"Queue overflow\"");
  EXPECT_EQ(PopError(s), "0,\"No error\"");
}

TEST(DescribedTime, DelayedResponsesComeInOrder) {
  Instance in = Make(kSupply);
  Receive(in, "MEAS?", true, 0);
  Receive(in, "VOLT?", true, kSecond);  // ready at once, but after the measurement
  EXPECT_EQ(ReadableAt(in), 2 * kSecond);
  TimePassed(in, 2 * kSecond - 1);
  EXPECT_TRUE(in.output.empty());
  TimePassed(in, 2 * kSecond);
  EXPECT_EQ(in.output, "4.2\n1.500\n");
  Receive(in, "MEAS?;*IDN?", true, 5 * kSecond);  // one message: readable together
  EXPECT_EQ(in.pending.front().readyAt, 7 * kSecond);
  EXPECT_EQ(in.pending.front().bytes, "4.2;ACME,PSU,1,1.0\n");
  DeviceClear(in);
  EXPECT_EQ(ReadableAt(in), -1);
}

TEST(DescribedReader, FaultsNameTheirPlace) {
  struct Row {
    const char* yaml;
    int line, column;
    const char* what;
  } rows[] = {
      {"channels: {g: {ids: [1], can_select: maybe}}", 1, 38, "can_select must be true or false"},
      {"channels: {g: {can_select: true}}", 1, 15, "channel group 'g' needs its 'ids' (or a resource's channel_ids for it)"},
      {"channels: {g: {ids: [1], modes: []}}", 1, 26,
       "unknown key 'modes' in channel group 'g' (expected ids, can_select, dialogues, properties)"},
      {"foo: 1", 1, 1, "unknown key 'foo' in device psu (expected eom, error, dialogues, properties, channels, status)"},
      {"eom: {GPIB INSTR: {q: x, z: y}}", 1, 26, "unknown key 'z' in eom (expected q, r)"},
      {"status: maybe", 1, 9, "unknown status value 'maybe' (expected on, off, true or false)"},
      {"dialogues:\n  - {r: x}", 2, 5, "a dialogue needs its query 'q'"},
      {"dialogues: [{q: a, delay: -1}]", 1, 27, "delay must be from 0 to 86400 seconds"},
      {"properties:\n  v: {default: x, specs: {type: int}}", 2, 16, "default must be an int"},
      {"properties: {v: {setter: {q: 'V {} {}'}}}", 1, 30, "a setter's q needs exactly one replacement field {}"},
      {"properties: {v: {specs: {type: complex}}}", 1, 32, "type must be float, int or str"},
      {"properties: {v: {default: 1.5, getter: {q: 'V?', r: '{:d}'}, specs: {type: float}}}", 1, 53,
       "the getter's r '{:d}' does not format the value v holds"},
      {"error: {status_register: [{q: '*ESR?', command_error: x}]}", 1, 55,
       "command_error must be a number from 0 to 65535"},
      {"properties: {v: {specs: {valid: 3}}}", 1, 33, "valid must be a list"},
  };
  for (const Row& r : rows) {
    Definition d;
    vexon::BusFileError e;
    EXPECT_FALSE(ReadDefinition(r.yaml, d, e)) << r.yaml;
    EXPECT_EQ(e.line, r.line) << r.yaml;
    EXPECT_EQ(e.column, r.column) << r.yaml;
    EXPECT_EQ(e.what, r.what) << r.yaml;
  }
}

TEST(DescribedReader, StatusValues) {
  struct Row {
    const char* yaml;
    bool on;
  } rows[] = {{"dialogues: []", true}, {"status: on", true}, {"status: off", false}, {"status: false", false},
              {"status: True", true}, {"status: no", false}};
  for (const Row& r : rows) {
    Definition d;
    vexon::BusFileError e;
    ASSERT_TRUE(ReadDefinition(r.yaml, d, e)) << r.yaml;
    EXPECT_EQ(d.statusModel, r.on) << r.yaml;
  }
}

TEST(DescribedFormat, SetterFields) {
  struct Row {
    const char* pattern;
    bool ok;
    const char *prefix, *suffix;
    char field;
  } rows[] = {
      {"VOLT {:f}", true, "VOLT ", "", 'f'},  {"SENS1:FREQ {:.2f} MHZ", true, "SENS1:FREQ ", " MHZ", 'f'},
      {"{{x}} {:d}", true, "{x} ", "", 'd'},  {"CURR:LIM {:}", true, "CURR:LIM ", "", 0},
      {"A {", false, "", "", 0},              {"A }", false, "", "", 0},
  };
  for (const Row& r : rows) {
    Pattern p;
    EXPECT_EQ(SplitPattern(r.pattern, p), r.ok) << r.pattern;
    if (!r.ok) continue;
    EXPECT_EQ(p.prefix, r.prefix);
    EXPECT_EQ(p.suffix, r.suffix);
    EXPECT_EQ(p.field, r.field);
  }
  struct Read {
    const char* text;
    ValueType type;
    std::optional<Value> value;
  } reads[] = {
      {"12", ValueType::Int, 12LL},    {"+12", ValueType::Int, 12LL},       {"2.5", ValueType::Int, {}},
      {" 2.5 ", ValueType::Float, 2.5}, {"1e3", ValueType::Float, 1000.0},  {"abc", ValueType::Float, {}},
      {"nan", ValueType::Float, {}},   {"", ValueType::Str, {}},            {"ON", ValueType::Str, std::string("ON")},
  };
  for (const Read& r : reads) EXPECT_EQ(ReadValue(r.text, r.type), r.value) << r.text;
}

}  // namespace
}  // namespace vorel::sim::described
