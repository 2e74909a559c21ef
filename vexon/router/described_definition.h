// A described instrument as the bus file gives it (pyvisa-sim's definition
// format with vorel's additions), read once into plain structs: the bus
// holds them (bus_config.h), the simulator answers by them, the recorder
// writes them.
#pragma once
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace vorel::sim::described {

// A response the instrument may queue. Absent (no `r`, or `null_response`)
// means nothing is queued.
struct Response {
  bool present = false;
  std::string text;
};

// Bus time in nanoseconds.
using Nanoseconds = int64_t;

// A dialogue or property of a channel: the channel's id, and whether it is
// chosen by the device's `selected_channel` property (pyvisa-sim's
// can_select false) rather than by the id written in its messages.
struct Channel {
  std::string id;  // empty: not a channel's
  bool bySelection = false;
};

struct Dialogue {
  std::string q;
  Response r;
  bool random = false;  // r holds RANDOM(...) fields
  Nanoseconds delay = 0;
  Channel channel;
};

enum class ValueType { Int, Float, Str };
using Value = std::variant<long long, double, std::string>;

struct Getter {
  bool present = false;
  std::string q;
  Response r;  // a format string applied to the value
  Nanoseconds delay = 0;
};

struct Setter {
  bool present = false;
  std::string prefix, suffix;  // the pattern around its one replacement field
  char field = 0;              // the field's type letter, 0 when it has none
  Response r, e;               // on success; on a rejected value
  bool hasE = false;           // without `e` a rejected value gets the command error's response
};

struct Property {
  std::string name;
  ValueType type = ValueType::Float;
  Value initial;  // `default`, of type
  Getter getter;
  Setter setter;
  bool hasMin = false, hasMax = false;
  Value min, max;            // of type: numbers compare as numbers, strings as text
  std::vector<Value> valid;  // empty: any value
  Channel channel;
};

// An error register of the file: a query reads it in decimal and clears it.
struct ErrorRegister {
  std::string q;
  int commandError = 0, queryError = 0;  // bits ORed in
};

// An error queue of the file: a query answers the oldest entry or `empty`.
struct ErrorQueue {
  std::string q;
  std::string empty;
  Response commandError, queryError;
};

// What the built-in SCPI instruments (the meter, the faulty device) have
// always done where described instruments do otherwise; only their
// definitions, shipped in the library, set them.
struct BuiltInHabits {
  bool powerOnEvent = true;        // PON in the event status register at power-on
  bool queryErrors = true;         // a read of nothing counts as a query error
  bool anyCase = false;            // the file's queries match without regard to case
  bool responsePerCommand = false; // each command's response ended on its own
  bool resetClearsOutput = false;  // *RST drops responses not yet read
  bool requestWhileReason = false; // SRQ after every command while STB & SRE holds
  bool requestAtPowerOn = false;   // requesting service from power-on
  int statusBits = 0;              // status byte bits always on
};

struct Definition {
  std::string q = "\n", r = "\n";  // end of message in and out (`eom`, GPIB INSTR)
  Response commandError, queryError;
  std::vector<ErrorRegister> registers;
  std::vector<ErrorQueue> queues;
  std::vector<Dialogue> dialogues;
  std::vector<Property> properties;
  bool statusModel = true;  // `status`
  int selectedChannel = -1;  // the property `selected_channel`, when there is one
  bool channelsWithoutIds = false;  // a channel group leaves its ids to the resources' `channel_ids`
  uint64_t seed = 0;         // of the RANDOM(...) numbers: the bus file's `seed`
  BuiltInHabits habits;
};

// Numbers compare as numbers, strings as text; a string never compares with a number.
bool Less(const Value& a, const Value& b);

}  // namespace vorel::sim::described
