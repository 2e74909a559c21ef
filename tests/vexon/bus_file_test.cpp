// The bus file reader: what each malformed file says, and where; files that
// cannot be read; the installed example of the default bus.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <string>

#include "../../vexon/router/bus_loader.h"

namespace {

// A scratch folder for the files of one test.
class Scratch {
 public:
  Scratch() {
    char templ[] = "/tmp/vexon_test_XXXXXX";
    dir_ = mkdtemp(templ);
  }
  ~Scratch() { std::system(("rm -rf '" + dir_ + "'").c_str()); }
  std::string Write(const std::string& name, const std::string& text) const {
    std::ofstream(dir_ + "/" + name, std::ios::binary) << text;
    return dir_ + "/" + name;
  }
  // The message of loading FILE, with the folder left out; empty when it loads.
  std::string Load(const std::string& name, int* error = nullptr) const {
    vexon::BusConfig bus;
    std::string message;
    int code = 0;
    if (vexon::LoadBusFile(dir_ + "/" + name, bus, message, code)) return "";
    if (error) *error = code;
    for (size_t at; (at = message.find(dir_ + "/")) != std::string::npos;) message.erase(at, dir_.size() + 1);
    return message;
  }
  const std::string& dir() const { return dir_; }

 private:
  std::string dir_;
};

TEST(BusFile, EachMistakeNamesItsLineAndColumn) {
  struct Row {
    std::string text;
    const char* message;  // "" when the file is valid
  } const rows[] = {
      {"", ""},
      {"spec: \"1.1\"\nboards: {gpib0: {}}\n", ""},
      {"foo: 1\n", "bus.yaml:1:1: unknown key 'foo' in the bus file (expected spec, boards, devices, resources, names, seed)"},
      {"- boards\n", "bus.yaml:1:1: a bus file is a mapping of spec, boards, devices, resources and names"},
      {"boards: [1\n", "bus.yaml:1:9: a '[' opened at line 1 is never closed"},
      // YAML syntax mistakes are named in plain words at the line of their cause.
      {"boards:\n\tgpib0: {}\n", "bus.yaml:2:1: a tab used to indent; YAML indents with spaces only"},
      {"boards:\n  gpib0: {}\n gpib1: {}\n", "bus.yaml:3:2: an indent of 1 space that matches no level above it"},
      {"names:\n  x: \"GPIB0::1::INSTR\n  y: GPIB0::2::INSTR\n",
       "bus.yaml:2:6: a quote (\") opened at line 2 is never closed"},
      {std::string("boards: {}\n\0\n", 13), "bus.yaml:2:1: a NUL byte: a bus file is text"},
      {"names: [[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[\n",
       "bus.yaml:1:72: nesting deeper than 64 levels"},
      {"boards:\n  gpib2: {backend: ar488, port: p, baud: 12345}\n",
       "bus.yaml:2:42: baud: a serial port takes 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, "
       "230400, 460800, 500000 or 921600"},
      {"devices:\n  a: {model: meter}\nresources:\n  GPIB0::4::INSTR: {device: a}\n  GPIB0::4::0::INSTR: {device: a}\n",
       "bus.yaml:5:3: GPIB0::4::0::INSTR: pad 4 is used both with and without a secondary address"},
      {"boards: {gpib0: {}}\nnames:\n  \"\": GPIB0::1::INSTR\n", "bus.yaml:3:3: names: a name may not be empty"},
      {"devices:\n  a:\n    properties:\n      v: {default: 1, specs: {min: 5, max: 1, type: int}}\n",
       "bus.yaml:4:30: specs: min is above max, so no value can be set"},
      {"boards: {}\nboards: {}\n", "bus.yaml:2:1: the bus file: 'boards' given twice"},
      {"spec: [1]\n", "bus.yaml:1:7: spec: expected a version"},
      {"boards:\n  gpib16: {}\n", "bus.yaml:2:3: 'gpib16' is not a board (gpib0 to gpib15)"},
      {"boards:\n  gpib0: {}\n  GPIB0: {}\n", "bus.yaml:3:3: gpib0 given twice"},
      {"boards:\n  gpib0: 5\n", "bus.yaml:2:10: gpib0: expected a mapping"},
      {"boards:\n  gpib0: {backend: usb}\n",
       "bus.yaml:2:20: unknown back end 'usb' (expected sim, linux-gpib, prologix, ar488, vxi11)"},
      {"boards:\n  gpib0: {backend: sim, port: x}\n",
       "bus.yaml:2:25: unknown key 'port' in gpib0, a sim board (expected backend, pad, system_controller, record)"},
      {"boards:\n  gpib0: {record: ''}\n", "bus.yaml:2:19: record: expected a text"},
      {"boards:\n  gpib0: {record: a.yaml}\n  gpib1: {record: a.yaml}\n",
       "bus.yaml:3:11: gpib1: gpib0 records to a.yaml already"},
      {"boards:\n  gpib0: {pad: 31}\n", "bus.yaml:2:16: pad: expected a whole number from 0 to 30"},
      {"boards:\n  gpib0: {pad: 1.5}\n", "bus.yaml:2:16: pad: expected a whole number from 0 to 30"},
      {"boards:\n  gpib0: {system_controller: maybe}\n", "bus.yaml:2:30: system_controller: expected true or false"},
      {"boards:\n  gpib1: {backend: linux-gpib, minor: x}\n",
       "bus.yaml:2:39: minor: expected a whole number from 0 to 15"},
      {"boards:\n  gpib2: {backend: prologix}\n",
       "bus.yaml:2:10: gpib2: give either 'port' (a serial device) or 'host' (TCP)"},
      {"boards:\n  gpib2: {backend: prologix, port: /dev/ttyUSB0, host: h}\n",
       "bus.yaml:2:50: gpib2: give either 'port' (a serial device) or 'host' (TCP)"},
      {"boards:\n  gpib2: {backend: ar488, host: h, baud: 9600}\n", "bus.yaml:2:36: gpib2: 'baud' goes with 'port'"},
      {"boards:\n  gpib2: {backend: prologix, port: p, tcp_port: 1}\n",
       "bus.yaml:2:39: gpib2: 'tcp_port' goes with 'host'"},
      {"boards:\n  gpib2: {backend: prologix, host: h, tcp_port: 65536}\n",
       "bus.yaml:2:49: tcp_port: expected a whole number from 1 to 65535"},
      {"boards:\n  gpib2: {backend: ar488, host: h, end_wait_ms: -1}\n",
       "bus.yaml:2:49: end_wait_ms: expected a whole number from 0 to 3000"},
      {"devices:\n  a: 5\n", "bus.yaml:2:6: device a: expected a mapping"},
      {"devices:\n  a: {model: meter, eom: x}\n", "bus.yaml:2:21: device a: a definition with 'model' has no other keys"},
      {"devices:\n  a: {model: volt}\n",
       "bus.yaml:2:14: unknown model 'volt' (expected meter, loopback, sequence, secondary, faulty)"},
      {"devices:\n  a: {status: maybe}\n",
       "bus.yaml:2:15: unknown status value 'maybe' (expected on, off, true or false)"},
      {"devices:\n  a: {dialogue: []}\n",
       "bus.yaml:2:7: unknown key 'dialogue' in device a (expected eom, error, dialogues, properties, channels, status)"},
      {"devices:\n  a: {dialogues: {}}\n", "bus.yaml:2:18: dialogues: expected a list"},
      {"devices:\n  a:\n    channels:\n      ch: {}\n", ""},  // the ids may come from the resources
      {"devices:\n  a:\n    channels: [1]\n", "bus.yaml:3:15: channels: expected a mapping"},
      {"devices:\n  a:\n    dialogues:\n      - {q: \"X?\", r: \"RANDOM(1, 2)\"}\n", ""},
      {"devices:\n  a:\n    dialogues:\n      - {q: \"X?\", r: \"BYTES(1)\"}\n", ""},
      {"seed: 12\n", ""},
      {"seed: -1\n", "bus.yaml:1:7: seed: expected a number from 0 to 18446744073709551615"},
      {"devices:\n  a: {model: meter}\nresources:\n  GPIB0::1::INSTR: {device: b}\n",
       "bus.yaml:4:29: device 'b' is not defined"},
      {"resources:\n  GPIB0::1::INSTR: {}\n", "bus.yaml:2:20: GPIB0::1::INSTR: 'device' missing"},
      {"resources:\n  GPIB0::1::INSTR: {device: a, bundled: true}\n", "bus.yaml:2:29: device 'a' is not defined"},
      {"resources:\n  ASRL1::INSTR: {device: a}\n  TCPIP::10.0.0.1::INSTR: 5\n  USB::1::2::3::INSTR: x\n", ""},
      {"resources:\n  GPIB0::INTFC: {device: a}\n",
       "bus.yaml:2:3: 'GPIB0::INTFC' is not a resource (GPIBn::PAD[::SAD]::INSTR)"},
      {"resources:\n  GPIB0::31::INSTR: {device: a}\n", "bus.yaml:2:3: GPIB0::31::INSTR: primary address beyond 30"},
      {"resources:\n  GPIB0::1::31::INSTR: {device: a}\n",
       "bus.yaml:2:3: GPIB0::1::31::INSTR: secondary address beyond 30"},
      {"resources:\n  GPIB16::1::INSTR: {device: a}\n", "bus.yaml:2:3: GPIB16::1::INSTR: boards run from GPIB0 to GPIB15"},
      {"boards:\n  gpib1: {backend: linux-gpib}\ndevices:\n  a: {model: meter}\nresources:\n  GPIB1::1::INSTR: {device: a}\n",
       "bus.yaml:6:3: GPIB1::1::INSTR: gpib1 is a linux-gpib board; simulated instruments sit on sim boards"},
      {"devices:\n  a: {model: meter}\nresources:\n  GPIB0::0::INSTR: {device: a}\n",
       "bus.yaml:4:3: GPIB0::0::INSTR: pad 0 is the board's own address"},
      {"devices:\n  a: {model: meter}\nresources:\n  GPIB0::1::INSTR: {device: a}\n  gpib0::1::instr: {device: a}\n",
       "bus.yaml:5:3: gpib0::1::instr: another resource sits at that address"},
      {"devices:\n  a: {eom: {GPIB INSTR: {q: x, z: y}}}\n",
       "bus.yaml:2:32: unknown key 'z' in eom (expected q, r)"},
      {"devices:\n  a:\n    properties:\n      v: {default: x, specs: {type: int}}\n",
       "bus.yaml:4:20: default must be an int"},
      {"boards: {gpib0: {}}\nnames:\n  GPIB2: GPIB0::1::INSTR\n", "bus.yaml:3:3: 'GPIB2' is a board's name"},
      {"boards: {gpib0: {}}\nnames:\n  Dmm: GPIB0::1::INSTR\n  dmm: GPIB0::2::INSTR\n",
       "bus.yaml:4:3: name 'dmm' given twice"},
      {"boards: {gpib0: {}}\nnames:\n  x: {resource: GPIB0::1::INSTR, board: 0}\n",
       "bus.yaml:3:34: name x: 'resource' and 'board' exclude each other"},
      {"boards: {gpib0: {}}\nnames:\n  x: {board: 0}\n", "bus.yaml:3:6: name x: give 'resource', or 'board' and 'pad' (or 'link')"},
      {"boards: {gpib0: {}}\nnames:\n  x: {board: 0, pad: 1, sad: 0x20}\n",
       "bus.yaml:3:30: sad: expected 0 (none) or 0x60 to 0x7E"},
      {"boards: {gpib0: {}}\nnames:\n  x: {board: 0, pad: 1, tmo: 18}\n",
       "bus.yaml:3:30: tmo: expected a whole number from 0 to 17"},
      {"boards: {gpib0: {}}\nnames:\n  x: {board: 0, pad: 1, mode: 1}\n",
       "bus.yaml:3:25: unknown key 'mode' in name x (expected resource, board, pad, sad, link, tmo, eot, eos)"},
      {"boards: {gpib0: {}}\nnames:\n  x: TCPIP::1.2.3.4::INSTR\n",
       "bus.yaml:3:6: name x: 'TCPIP::1.2.3.4::INSTR' is not a GPIB resource (GPIBn::PAD[::SAD]::INSTR)"},
      {"boards: {gpib0: {}}\nnames:\n  x: {board: 4, pad: 1}\n", "bus.yaml:3:14: name x: the bus has no gpib4"},
      {"names:\n  x: GPIB0::1::INSTR\n", "bus.yaml:2:6: name x: the bus has no gpib0"},
      {"names:\n  x: [1]\n", "bus.yaml:2:6: name x: expected a resource or a mapping"},
      {"boards:\n  gpib4: {backend: vxi11, host: gw, interface: gpib1, timeout: 10}\nnames:\n  s: {board: 4, link: inst0}\n",
       ""},
      {"boards:\n  gpib2: {backend: vxi11}\n", 
       "bus.yaml:2:10: gpib2: a vxi11 board needs 'host' (the server's name or address)"},
      {"boards:\n  gpib2: {backend: vxi11, host: h, port: p}\n", 
       "bus.yaml:2:36: unknown key 'port' in gpib2, a vxi11 board (expected backend, host, interface, timeout, record)"},
      {"boards:\n  gpib2: {backend: vxi11, host: h, timeout: 0}\n", 
       "bus.yaml:2:45: timeout: expected a whole number from 1 to 300"},
      {"boards:\n  gpib2: {backend: vxi11, host: h, interface: \"gpib 0\"}\n", 
       "bus.yaml:2:47: interface: expected a link name such as gpib0 or inst0"},
      {"boards: {gpib0: {}}\nnames:\n  x: {board: 0, link: inst0}\n", 
       "bus.yaml:3:17: name x: 'link' is for names on vxi11 boards; gpib0 is a sim board"},
      {"boards: {gpib2: {backend: vxi11, host: h}}\nnames:\n  x: {board: 2, pad: 1, link: inst0}\n", 
       "bus.yaml:3:25: name x: 'link' and 'pad'/'sad' exclude each other"},
  };
  Scratch scratch;
  for (const Row& row : rows) {
    scratch.Write("bus.yaml", row.text);
    EXPECT_EQ(scratch.Load("bus.yaml"), row.message) << row.text;
  }
}

TEST(BusFile, NestingTooDeepIsAnError) {
  Scratch scratch;
  scratch.Write("bus.yaml", "names: " + std::string(100000, '['));
  EXPECT_NE(scratch.Load("bus.yaml"), "");
}

// Aliases of aliases multiply what a reader walks: the file is refused
// after a bounded walk instead of holding the driver for minutes.
TEST(BusFile, AliasBombIsRefused) {
  std::string text = "devices:\n  a:\n    l0: &l0 [x, x, x, x, x, x, x, x, x, x]\n";
  for (int level = 1; level < 9; ++level) {
    const std::string prev = "*l" + std::to_string(level - 1);
    text += "    l" + std::to_string(level) + ": &l" + std::to_string(level) + " [" + prev;
    for (int i = 1; i < 10; ++i) text += ", " + prev;
    text += "]\n";
  }
  Scratch scratch;
  scratch.Write("bus.yaml", text);
  EXPECT_NE(scratch.Load("bus.yaml").find("more than 100000 values once its aliases are followed"), std::string::npos);
}

TEST(BusFile, FilenameTakesOneDefinitionFromAnotherFile) {
  Scratch scratch;
  scratch.Write("bus.yaml", "resources:\n  GPIB0::1::INSTR: {device: m, filename: other.yaml}\n");
  scratch.Write("other.yaml", "devices:\n  m: {model: meter}\n  n: {model: nothing}\n");
  EXPECT_EQ(scratch.Load("bus.yaml"), "");
  scratch.Write("other.yaml", "devices:\n  m: {model: nothing}\n");
  EXPECT_EQ(scratch.Load("bus.yaml"),
            "other.yaml:2:14: unknown model 'nothing' (expected meter, loopback, sequence, secondary, faulty)");
  scratch.Write("other.yaml", "devices:\n  n: {model: meter}\n");
  EXPECT_EQ(scratch.Load("bus.yaml"), "bus.yaml:2:29: device 'm' is not defined in other.yaml");
  unlink((scratch.dir() + "/other.yaml").c_str());
  EXPECT_EQ(scratch.Load("bus.yaml"), "bus.yaml:2:42: other.yaml: cannot read: No such file or directory");
}

TEST(BusFile, FilesThatCannotBeRead) {
  Scratch scratch;
  mkdir((scratch.dir() + "/folder").c_str(), 0700);
  mkfifo((scratch.dir() + "/fifo").c_str(), 0600);
  // A writer that never closes: the pipe never ends.
  const int writer = open((scratch.dir() + "/fifo").c_str(), O_RDWR | O_NONBLOCK);
  symlink("/dev/zero", (scratch.dir() + "/zero").c_str());
  struct Row {
    const char* name;
    const char* message;
    int error;
  } const rows[] = {
      {"missing.yaml", "missing.yaml: cannot read: No such file or directory", ENOENT},
      {"folder", "folder: cannot read: Is a directory", EISDIR},
      {"fifo", "fifo: cannot read: no end of file within a second", ETIMEDOUT},
      {"zero", "zero: cannot read: larger than 1 MiB", EFBIG},
  };
  for (const Row& row : rows) {
    int error = 0;
    EXPECT_EQ(scratch.Load(row.name, &error), row.message);
    EXPECT_EQ(error, row.error) << row.name;
  }
  close(writer);
}

// The example installed as the default bus describes the built-in bus.
TEST(BusFile, DefaultExampleIsTheBuiltInBus) {
  vexon::BusConfig file, builtIn = vexon::DefaultBus();
  std::string message;
  int error = 0;
  ASSERT_TRUE(vexon::LoadBusFile(VEXON_EXAMPLES "/default-bus.yaml", file, message, error)) << message;
  ASSERT_EQ(file.boards.size(), builtIn.boards.size());
  for (size_t i = 0; i < file.boards.size(); ++i) {
    const auto &a = file.boards[i], &b = builtIn.boards[i];
    EXPECT_EQ(a.index, b.index);
    EXPECT_EQ(a.backend, b.backend);
    EXPECT_EQ(a.pad, b.pad);
    EXPECT_EQ(a.systemController, b.systemController);
    ASSERT_EQ(a.instruments.size(), b.instruments.size());
    for (size_t k = 0; k < a.instruments.size(); ++k) {
      EXPECT_EQ(a.instruments[k].pad, b.instruments[k].pad);
      EXPECT_EQ(a.instruments[k].sad, b.instruments[k].sad);
      EXPECT_EQ(a.instruments[k].definition.name, b.instruments[k].definition.name);
      EXPECT_EQ(a.instruments[k].definition.model, b.instruments[k].definition.model);
    }
  }
  ASSERT_EQ(file.names.size(), builtIn.names.size());
  for (size_t i = 0; i < file.names.size(); ++i) {
    const auto &a = file.names[i], &b = builtIn.names[i];
    EXPECT_EQ(std::tie(a.name, a.board, a.pad, a.sad, a.tmo, a.eot, a.eos),
              std::tie(b.name, b.board, b.pad, b.sad, b.tmo, b.eot, b.eos));
  }
}

}  // namespace
