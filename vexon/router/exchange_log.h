// What a recording keeps of one device: the messages written to it and the
// bytes read back after each, in order, with its serial poll results. The
// log does not grow with the length of a session: past a few hundred
// exchanges the older ones are folded into the distinct commands they hold,
// each with its last answer and the answers seen, and what the settings
// among them read back.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vexon {

// One message to the device and what was read from it before the next.
struct Exchange {
  std::string message;   // as written, terminator included
  bool ended = false;    // the write sent END with its last byte
  std::string response;  // every byte read until the next message
  bool answered = false; // a read of the response ended with END
};

// One distinct command and what it got, the end of responses removed.
struct RecordedDialogue {
  std::string q;
  bool answered = false;           // false: a command that got no response
  std::string r;                   // the last response
  std::vector<std::string> seen;   // the distinct responses, in order, at most kSeenKept
  long moreSeen = 0;               // responses beyond those, not kept
  bool blockPart = false;          // cut from a binary block at ";", as the replay cuts it
};
constexpr size_t kSeenKept = 16;

// How "HEADER value" and "HEADER?" went so far: the setting is a property
// when every answer after a write gave the value written, as written or as
// a float with the decimals of the first such answer.
struct SettingTrace {
  bool written = false, readBefore = false, broken = false;
  std::string value, initial;  // the last value written; read before any write, else the first written
  long pairs = 0;              // answers after a write
  bool asWritten = true, asFloat = true;
  int decimals = -1;           // of the first answer after a write
};

// Which ends every text so far has: "\r\n", "\n", "\r".
struct EndsSeen {
  long texts = 0;
  bool crlf = true, lf = true, cr = true;
};

// The exchanges folded so far.
struct FoldedLog {
  std::vector<RecordedDialogue> dialogues;  // in the order first seen
  std::map<std::string, size_t> index;      // by command
  std::map<std::string, SettingTrace> settings;  // by header
  EndsSeen messageEnds, responseEnds;
};

// Serial poll results as runs of one value.
struct PollRun {
  uint8_t result = 0;
  long times = 0;
};
constexpr size_t kPollRunsKept = 4096;

struct DeviceLog {
  int board = 0, pad = 0, sad = 0;
  std::string link;               // a vxi11 link name where the device has no GPIB address
  std::string foundAs;            // the back end's own name ibfind opened it by
  int eot = 1, eos = 0;           // the last handle's terminators
  std::vector<Exchange> exchanges;  // those not folded yet
  FoldedLog folded;
  long messages = 0;              // every message written
  std::string unsolicited;        // bytes read before anything was written
  std::vector<PollRun> polls;     // serial poll results, in order
  long pollsDropped = 0;          // results beyond kPollRunsKept runs
  int openHandles = 0;
};

// Bytes the device accepted; end when they closed the message.
void LogWrite(DeviceLog& log, std::string_view bytes, bool end);
// Bytes the device sent; end when the read stopped at END.
void LogRead(DeviceLog& log, std::string_view bytes, bool end);
void LogPoll(DeviceLog& log, uint8_t result);

// The exchanges kept before the older ones are folded.
constexpr size_t kExchangesKept = 256;

}  // namespace vexon
