// What a recording keeps of one device: the messages written to it and the
// bytes read back after each, in order, with its serial poll results.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vexon {

// One message to the device and what was read from it before the next.
struct Exchange {
  std::string message;   // as written, terminator included
  bool ended = false;    // the write sent END with its last byte
  std::string response;  // every byte read until the next message
  bool answered = false; // a read of the response ended with END
};

struct DeviceLog {
  int board = 0, pad = 0, sad = 0;
  int eot = 1, eos = 0;           // the last handle's terminators
  std::vector<Exchange> exchanges;
  std::string unsolicited;        // bytes read before anything was written
  std::vector<uint8_t> polls;     // serial poll results, in order
  int openHandles = 0;
};

// Bytes the device accepted; end when they closed the message.
void LogWrite(DeviceLog& log, std::string_view bytes, bool end);
// Bytes the device sent; end when the read stopped at END.
void LogRead(DeviceLog& log, std::string_view bytes, bool end);
void LogPoll(DeviceLog& log, uint8_t result);

}  // namespace vexon
