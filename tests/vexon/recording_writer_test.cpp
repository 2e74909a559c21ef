// The text of a recording: strings that come back byte for byte through the
// bus file reader, BYTES(...) where pyvisa-sim needs it, and a whole file
// that the driver's loader reads as the devices recorded.
#include "../../vexon/router/recording_writer.h"

#include <gtest/gtest.h>

#include "../../vexon/router/bus_file.h"

namespace {

TEST(RecordingWriter, QuotedText) {
  struct Row {
    std::string text;
    bool bytes;
    const char* quoted;
  } const rows[] = {
      {"*IDN?", true, "\"*IDN?\""},
      {"say \"hi\"\\", true, "\"say \\\"hi\\\"\\\\\""},
      {std::string("a\0b\n\r\t\x7f", 7), true, "\"a\\0b\\n\\r\\t\\x7F\""},
      {"#13\x01\x02\x03", true, "\"#13\\x01\\x02\\x03\""},
      // What pyvisa-sim would alter when loading plain text goes in BYTES(...).
      {"\xB5m", true, "\"BYTES(B56D)\""},
      {" 1.25", true, "\"BYTES(20312E3235)\""},
      {"C:\\new", true, "\"BYTES(433A5C6E6577)\""},
      {"null_response", true, "\"BYTES(6E756C6C5F726573706F6E7365)\""},
      // Ends of messages and comments stay text.
      {"\xB5m", false, "\"\\xB5m\""},
      {"", true, "\"\""},
  };
  for (const Row& r : rows) EXPECT_EQ(vexon::QuotedText(r.text, r.bytes), r.quoted);
}

vexon::DeviceLog Device(int pad, int sad = 0) {
  vexon::DeviceLog d;
  d.board = 2, d.pad = pad, d.sad = sad;
  return d;
}

TEST(RecordingWriter, TheFileLoadsAsTheDevicesRecorded) {
  vexon::BoardSettings board;
  board.index = 2, board.backend = "prologix", board.host = "10.0.0.5";
  vexon::DeviceLog meter = Device(7), other = Device(9, 0x62);
  // Every byte value, as a command and an answer.
  std::string block = "#3";
  for (int c = 1; c < 0x100; ++c)
    if (c != '\n' && c != ';') block += static_cast<char>(c);
  block += '\0';
  vexon::LogWrite(meter, "*IDN?\n", true);
  vexon::LogRead(meter, "ACME,M,1,2\n", true);
  vexon::LogWrite(meter, "DATA?\n", true);
  vexon::LogRead(meter, block + "\n", true);
  vexon::LogWrite(meter, "RANGE 10\n", true);
  vexon::LogWrite(meter, "RANGE?\n", true);
  vexon::LogRead(meter, "10\n", true);
  vexon::LogWrite(meter, "SOUR:VOLT 1.5\n", true);
  vexon::LogWrite(meter, "SOUR:VOLT?\n", true);
  vexon::LogRead(meter, "1.500\n", true);
  vexon::LogPoll(meter, 0x10);
  vexon::LogWrite(other, "X?\r\n", true);
  vexon::LogRead(other, "1\r\n", true);
  meter.eos = 0x140A;
  // A device reached by a link name takes the first address free.
  vexon::DeviceLog scope = Device(-1);
  scope.link = "inst0";
  vexon::LogWrite(scope, "*IDN?\n", true);
  vexon::LogRead(scope, "SCOPE\n", true);
  vexon::NamedDevice scopeName{"scope", 2, 0, 0, 12, 1, 0};
  scopeName.link = "inst0";
  std::vector<vexon::NamedDevice> names = {{"dmm", 2, 7, 0, 11, 1, 0x140A}, {"elsewhere", 3, 7, 0}, scopeName};

  const std::string text =
      vexon::RecordingText({&board, "FROM", "TO", "bench.yaml"}, {scope, meter, other}, names);
  // pyvisa-sim's keys only; the names are in lines it takes for comments.
  for (size_t at = 0; at < text.size(); at = text.find('\n', at) + 1) {
    const std::string line = text.substr(at, text.find('\n', at) - at);
    if (!line.empty() && line[0] != ' ' && line[0] != '#') {
      EXPECT_TRUE(line == "devices:" || line == "resources:" || line.rfind("spec:", 0) == 0) << line;
    }
  }
  EXPECT_EQ(text.substr(0, text.find('\n')), vexon::kRecordingMark);
  EXPECT_NE(text.find("# Recorded on gpib2 (prologix, host 10.0.0.5, tcp_port 1234)\n# from FROM to TO.\n"),
            std::string::npos);
  EXPECT_NE(text.find("VOREL_BUS=bench.yaml vorel"), std::string::npos);
  EXPECT_NE(text.find("    # serial polls answered, in order: 0x10\n"), std::string::npos);
  EXPECT_NE(text.find("#vorel names:\n#vorel   scope: {resource: GPIB2::1::INSTR, tmo: 12, eot: 1, eos: 0x0}\n"
                      "#vorel   dmm: {resource: GPIB2::7::INSTR, tmo: 11, eot: 1, eos: 0x140A}\n"),
            std::string::npos)
      << text;

  vexon::BusConfig bus;
  ASSERT_NO_THROW(vexon::ReadBusFile(text, "recorded.yaml", bus));
  ASSERT_EQ(bus.boards.size(), 1u);
  const vexon::BoardSettings& sim = bus.boards[0];
  EXPECT_EQ(sim.index, 2);
  EXPECT_EQ(sim.backend, "sim");
  ASSERT_EQ(sim.instruments.size(), 3u);
  EXPECT_EQ(sim.instruments[0].pad, 1);
  EXPECT_EQ(sim.instruments[0].definition.name, "scope");
  const auto& dmm = sim.instruments[1];
  EXPECT_EQ(dmm.pad, 7);
  EXPECT_EQ(dmm.definition.name, "dmm");
  const vexon::DescribedInstrument& d = dmm.definition.described;
  ASSERT_EQ(d.dialogues.size(), 2u);
  EXPECT_EQ(d.dialogues[0].q, "*IDN?");
  EXPECT_EQ(d.dialogues[0].r.text, "ACME,M,1,2");
  EXPECT_EQ(d.dialogues[1].q, "DATA?");
  EXPECT_EQ(d.dialogues[1].r.text, block);
  ASSERT_EQ(d.properties.size(), 2u);
  EXPECT_EQ(d.properties[0].name, "range");
  EXPECT_EQ(d.properties[0].getter.q, "RANGE?");
  EXPECT_EQ(d.properties[0].type, vorel::sim::described::ValueType::Str);
  EXPECT_EQ(d.properties[1].name, "sour_volt");
  EXPECT_EQ(d.properties[1].type, vorel::sim::described::ValueType::Float);
  EXPECT_EQ(d.properties[1].getter.r.text, "{:.3f}");
  EXPECT_EQ(std::get<double>(d.properties[1].initial), 1.5);
  EXPECT_EQ(d.q, "\n");
  const auto& x = sim.instruments[2];
  EXPECT_EQ(x.sad, 0x62);
  EXPECT_EQ(x.definition.name, "gpib2_pad9_sad2");
  EXPECT_EQ(x.definition.described.q, "\r\n");
  EXPECT_EQ(x.definition.described.r, "\r\n");
  // The bench's name with its settings, and the definitions' names.
  const vexon::NamedDevice* named = bus.name("dmm");
  ASSERT_TRUE(named);
  EXPECT_EQ(named->tmo, 11);
  EXPECT_EQ(named->eos, 0x140A);
  EXPECT_TRUE(bus.name("gpib2_pad9_sad2"));
  ASSERT_TRUE(bus.name("scope"));
  EXPECT_EQ(bus.name("scope")->tmo, 12);
  // Those lines are read only in a recording, and not beside a names key.
  EXPECT_NO_THROW(vexon::ReadBusFile(text.substr(text.find('\n') + 1), "recorded.yaml", bus));
  EXPECT_FALSE(bus.name("scope")->tmo == 12);
  EXPECT_THROW(vexon::ReadBusFile(text + "names: {}\n", "recorded.yaml", bus), vexon::BusFileError);
}

}  // namespace
