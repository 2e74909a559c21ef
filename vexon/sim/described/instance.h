// One described instrument on the bus: its definition and what it holds at
// run time (property values, the file's error registers and queues, the
// status model, responses queued and pending), with the operations the
// simulated bus calls as a controller talks to it.
#pragma once
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "../../router/described_definition.h"
#include "random_source.h"
#include "status_model.h"

namespace vorel::sim::described {

// The responses of one message, readable from readyAt on.
struct PendingResponse {
  Nanoseconds readyAt = 0;
  std::string bytes;
};

struct Instance {
  std::shared_ptr<const Definition> definition;
  std::string name;  // the definition's name, for *IDN?
  std::vector<Value> values;               // by property
  std::vector<int> registers;              // the file's error registers
  std::vector<std::deque<std::string>> queues;  // the file's error queues
  StatusModel status;
  std::string input;    // the message being received
  std::string output;   // readable bytes
  std::deque<PendingResponse> pending;  // not readable yet, in order
  RandomSource random;                  // of RANDOM(...) responses
};

// The responses one message queues: their texts and the longest delay.
struct Reply {
  std::vector<std::string> parts;
  Nanoseconds delay = 0;
};

// Power-on: defaults, empty queues, PON in the event status register, the
// random numbers from the start of their sequence.
void PowerOn(Instance& in);
// Bytes received at bus time now; end when the last one came with EOI.
// Each complete message is run, its responses queued.
void Receive(Instance& in, std::string_view bytes, bool end, Nanoseconds now);
// Runs one command of a message (white space around it already removed).
void Execute(Instance& in, std::string_view command, Reply& reply);
// Moves the responses whose time has come to the readable bytes.
void TimePassed(Instance& in, Nanoseconds now);
// When the next bytes are readable: 0 for now, the bus time of the next
// pending response, or -1 when nothing is queued or pending.
Nanoseconds ReadableAt(const Instance& in);
// A read found nothing to read: the error is counted and the file's
// query_error response, if any, becomes readable.
void QueryError(Instance& in);
// Takes up to max readable bytes; end when the last one is taken.
size_t Talk(Instance& in, char* buf, size_t max, bool& end);
// The status byte of a serial poll; ends the service request.
uint8_t SerialPoll(Instance& in);
// Device clear: input, readable and pending responses dropped.
void DeviceClear(Instance& in);

// Runs a status-model command (common commands, the error query); false when
// the command is none of them.
bool RunCommonCommand(Instance& in, std::string_view command, Reply& reply);
// Whether two commands name the same status-model command with the same
// argument (*idn? and *IDN?, SYST:ERR? and :system:error:next?).
bool SameCommonCommand(std::string_view a, std::string_view b);
// Counts an error of a command: the file's registers and queues count it as
// a command error, the status model queues code; the file's command error
// response is queued.
void CommandError(Instance& in, Reply& reply, int code);

}  // namespace vorel::sim::described
