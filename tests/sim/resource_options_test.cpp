// A resource's own keys beside its device: `channel_ids` giving the ids of
// a channel group, and `bundled` taking a definition from pyvisa-sim's
// bundled default.yaml. Read by the bus file reader, answered by the
// described instrument it places.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../../vexon/router/bus_file.h"
#include "../../vexon/sim/described/instance.h"
#include "described_query.h"

namespace vorel::sim::described {
namespace {

const char kDevices[] = R"(
devices:
  psu:
    error: ERROR
    properties:
      selected_channel: {default: 1, getter: {q: 'I?', r: '{}'}, setter: {q: 'I {}'}}
    channels:
      out:
        ids: [1, 2]
        can_select: true
        dialogues: [{q: 'CH{ch_id}?', r: 'here {ch_id}'}]
      sel:
        ids: [1]
        properties: {f: {default: 1, getter: {q: 'F?', r: '{:d}'}, setter: {q: 'F {:d}'}}}
  bare:
    channels:
      out: {can_select: true, dialogues: [{q: 'CH{ch_id}?', r: 'bare {ch_id}'}]}
  meter: {model: meter}
resources:
)";

// Reads the bus file of kDevices with the resources given; "" when it loads,
// else the message with its place.
std::string Load(const std::string& resources, vexon::BusConfig& bus) {
  try {
    vexon::ReadBusFile(kDevices + resources, "bus.yaml", bus);
    return "";
  } catch (const vexon::BusFileError& e) {
    return e.file + ":" + std::to_string(e.line) + ":" + std::to_string(e.column) + ": " + e.what;
  }
}

// The instance of the resource at pad on gpib0, powered on.
Instance At(const vexon::BusConfig& bus, int pad) {
  Instance in;
  for (const vexon::InstrumentPlacement& p : bus.board(0)->instruments)
    if (p.pad == pad) {
      in.definition = std::make_shared<const Definition>(p.definition.described);
      in.name = p.definition.name;
    }
  EXPECT_TRUE(in.definition) << "no instrument at pad " << pad;
  if (in.definition) PowerOn(in);
  return in;
}

TEST(ResourceOptions, ChannelIdsReplaceTheGroupsIds) {
  struct Exchange {
    int pad;
    const char* write;
    const char* read;
  };
  vexon::BusConfig bus;
  ASSERT_EQ(Load("  GPIB0::1::INSTR: {device: psu, channel_ids: {out: [5, A], sel: [3, 4]}}\n"
                 "  GPIB0::2::INSTR: {device: psu}\n"
                 "  GPIB0::3::INSTR: {device: psu, channel_ids: {out: []}}\n"  // an empty list keeps the group's
                 "  GPIB0::4::INSTR: {device: bare, channel_ids: {out: [9]}}\n",  // a group without ids of its own
                 bus),
            "");
  const Exchange exchanges[] = {
      {1, "CH5?;CHA?", "here 5;here A\n"}, {1, "CH1?", "ERROR\n"},
      {1, "F?", "ERROR\n"},  // selected_channel 1 is none of the resource's ids
      {1, "I 4;F 7;F?;I 3;F?", "7;1\n"},
      {2, "CH1?;CH2?", "here 1;here 2\n"}, {2, "CH5?", "ERROR\n"}, {2, "F?", "1\n"},
      {3, "CH2?", "here 2\n"},
      {4, "CH9?", "bare 9\n"},
  };
  Instance in[] = {At(bus, 1), At(bus, 2), At(bus, 3), At(bus, 4)};
  for (const Exchange& e : exchanges) EXPECT_EQ(Query(in[e.pad - 1], e.write), e.read) << e.pad << " " << e.write;
}

TEST(ResourceOptions, BundledDefaultYaml) {
  vexon::BusConfig bus;
  ASSERT_EQ(Load("  GPIB0::1::INSTR: {device: device 1, filename: default.yaml, bundled: true}\n"
                 "  GPIB0::2::INSTR: {device: device 2, filename: default.yaml, bundled: yes}\n",
                 bus),
            "");
  Instance first = At(bus, 1);
  EXPECT_EQ(Query(first, "?IDN"), "LSG Serial #1234\n");
  EXPECT_EQ(Query(first, "!FREQ 0.5"), "FREQ_ERROR\n");
  Instance second = At(bus, 2);
  EXPECT_EQ(Query(second, "*IDN?"), "SCPI,MOCK,VERSION_1.0\n");
}

TEST(ResourceOptions, MistakesNameTheirPlace) {
  struct Row {
    const char* resources;
    const char* message;
  } rows[] = {
      {"  GPIB0::1::INSTR: {device: psu, channel_ids: {chan: [1]}}\n",
       "bus.yaml:20:48: channel_ids: device 'psu' has no channel group 'chan'"},
      {"  GPIB0::1::INSTR: {device: meter, channel_ids: {out: [1]}}\n",
       "bus.yaml:20:50: channel_ids: device 'meter' has no channel group 'out'"},
      {"  GPIB0::1::INSTR: {device: psu, channel_ids: {out: 1}}\n",
       "bus.yaml:20:53: channel_ids: the ids of 'out' must be a list"},
      {"  GPIB0::1::INSTR: {device: psu, channel_ids: [1]}\n", "bus.yaml:20:47: channel_ids: expected a mapping"},
      {"  GPIB0::1::INSTR: {device: device 1, filename: other.yaml, bundled: true}\n",
       "bus.yaml:20:49: pyvisa-sim bundles no file 'other.yaml' (it bundles default.yaml); for a file of your own "
       "give its path in 'filename' without 'bundled'"},
      {"  GPIB0::1::INSTR: {device: device 9, filename: default.yaml, bundled: true}\n",
       "bus.yaml:20:29: device 'device 9' is not defined in pyvisa-sim's bundled default.yaml"},
      {"  GPIB0::1::INSTR: {device: psu, bundled: maybe}\n", "bus.yaml:20:43: bundled: expected true or false"},
      {"  GPIB0::1::INSTR: {device: psu, bundled: true}\n", ""},  // without a file name it has no say
      {"  GPIB0::1::INSTR: {device: bare}\n",
       "bus.yaml:17:12: channel group 'out' needs its 'ids' (or a resource's channel_ids for it)"},
  };
  for (const Row& r : rows) {
    vexon::BusConfig bus;
    EXPECT_EQ(Load(r.resources, bus), r.message) << r.resources;
  }
}

}  // namespace
}  // namespace vorel::sim::described
