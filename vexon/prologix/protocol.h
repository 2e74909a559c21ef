// The "++" protocol of Prologix and AR488 adapters: setting the adapter up,
// remembering what it was last told so that a setting goes out only when it
// changes, escaping data, and reading a device's response to its end.
#pragma once
#include <cstdint>
#include <map>
#include <string>

#include "../router/bus_config.h"
#include "transport.h"

namespace vexon::prologix {

// How a step went: done, no answer within the time (the device or the
// adapter did not answer; the stream is fine), or the stream failed (errno).
enum class Outcome { Done, NoAnswer, Broken };

// What a read is to stop at, besides the end of the device's message.
struct ReadRequest {
  int count = 0;
  bool stopAtEos = false;
  int eosChar = 0;
  int timeoutMs = -1;  // -1: no limit
};

struct ReadResult {
  int count = 0;
  bool end = false;  // the last byte came with EOI, or was the EOS byte
};

class Adapter {
 public:
  Adapter(const BoardSettings& settings, bool ar488) : settings_(settings), ar488_(ar488) {}

  const BoardSettings& settings() const { return settings_; }
  bool ar488() const { return ar488_; }
  // Where the adapter is: the serial device or host:port, for messages.
  std::string Where() const;

  // Opens the transport and sets the adapter up, unless it is open already.
  // Broken with errno set when the port cannot be opened, or ETIMEDOUT when
  // nothing answers there.
  Outcome Ready();
  // Closes the stream and forgets what the adapter was told, so the next
  // call opens and sets it up afresh.
  void Drop();

  // Sends a "++" command line (given without its line end) that has no answer.
  Outcome Command(const std::string& line);
  // Sends a command line and reads its one-line answer (line end removed).
  Outcome Ask(const std::string& line, std::string& answer, int timeoutMs);

  // Each sends its command only when the setting differs from the last one sent.
  Outcome Address(int pad, int sad);
  Outcome SetEoi(bool on);

  // Sends bytes to the addressed device as one escaped data line.
  Outcome WriteData(const void* buf, int count);
  // Reads from the addressed device: what an earlier read of the same
  // device left first, then a fresh "++read".
  Outcome Read(uint8_t* buf, const ReadRequest& r, ReadResult& result);

  // ibstop from another thread: ends the wait of the step in progress and
  // of every later one until ClearStop().
  void Stop() { transport_.Stop(); }
  void ClearStop() { transport_.ClearStop(); }
  bool Stopped() const { return transport_.Stopped(); }

  // The "++read_tmo_ms" value used for a handle's timeout.
  int ReadTimeoutFor(int timeoutMs) const;

 private:
  struct Leftover {
    std::string bytes;
    bool end = false;  // the message ended with the last of these bytes
  };
  Outcome SetUp();
  Outcome Send(const std::string& bytes);
  Outcome Setting(int& known, int value, const char* command);
  Outcome SettleStream();
  void TakeLeftover(Leftover& left, uint8_t* buf, const ReadRequest& r, ReadResult& result);
  Outcome FreshRead(const ReadRequest& r, std::string& got, bool& ended);
  void ChooseMark(const std::string& got, const ReadRequest& r);

  BoardSettings settings_;
  bool ar488_;
  Transport transport_;
  // What the adapter was last told; -1 when not known.
  int pad_ = -1, sad_ = -1, eoi_ = -1, eotChar_ = -1, readTmo_ = -1;
  // The byte the adapter appends when a read ends on EOI.
  int mark_ = 0xFF;
  // Bytes a read left unread, by device (pad | sad << 8).
  std::map<int, Leftover> leftovers_;
  // A read gave up while the adapter may still be sending: what comes is
  // thrown away before the next line goes out.
  bool unsettled_ = false;
};

// The data line for bytes: CR, LF, ESC and '+' each preceded by ESC, then LF.
std::string EscapeData(const void* buf, int count);

}  // namespace vexon::prologix
