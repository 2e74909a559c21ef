// The byte stream to a "++" adapter: a serial port in raw mode (Prologix
// GPIB-USB, AR488) or a TCP connection (Prologix GPIB-ETHERNET). Every wait
// is bounded by the caller's time limit; nothing here raises a signal.
#pragma once
#include <cerrno>
#include <cstddef>
#include <string>
#include <utility>

#include "../router/bus_config.h"

namespace vexon::prologix {

// Whether a serial port is set to baud by Open.
bool TakesBaudRate(int baud);

// Why port cannot be opened, for the system error e: for a port the user may
// not open, the group that may (dialout) and how to join it.
std::string PortProblem(const std::string& port, int e);

class Transport {
 public:
  Transport();
  Transport(const Transport&) = delete;
  Transport& operator=(const Transport&) = delete;
  ~Transport();

  // Opens the port or connects to the host of the settings. False with errno set.
  bool Open(const BoardSettings& s);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }

  // What went wrong, for the system error e of the last failure: the words
  // of NoteProblem or of a failed Open, else the system's text for e.
  std::string Problem(int e) const;
  // Names the cause of a failure found above the stream, until the next Open.
  void NoteProblem(std::string what) { problem_ = std::move(what); }

  // Sends every byte within timeoutMs. A peer that has gone away is found
  // before the first byte, since a TCP send after the peer closed succeeds
  // locally. False with errno set.
  bool Send(const std::string& bytes, int timeoutMs);
  // Waits up to timeoutMs (negative: no limit) for bytes. Returns the count
  // received, 0 when none came in time, kWoken when Wake ended the wait, -1
  // with errno set when the stream failed or the far end went away.
  long Receive(char* buf, size_t max, int timeoutMs);
  static constexpr long kWoken = -2;
  // Waits timeoutMs without reading; false when Wake ended the wait.
  bool Pause(int timeoutMs);

  // Ends the wait under way (or the next one) from any thread.
  void Wake();
  // Forgets a Wake that no wait has seen yet.
  void ClearWake();

 private:
  std::string problem_;
  bool OpenSerial(const BoardSettings& s);
  bool OpenTcp(const BoardSettings& s);
  bool PeerGone();
  // The error a stream that went away reports: a serial port unplugged fails
  // with EIO, a connection closed by the far end with ECONNRESET.
  int HangUpError() const { return serial_ ? EIO : ECONNRESET; }

  // Waits for the stream or for a Wake; 1 ready, 0 timed out, kWoken, -1 failed.
  int WaitFor(short events, int timeoutMs, short& revents);

  int fd_ = -1;
  int wake_ = -1;  // an eventfd that Wake writes
  bool serial_ = false;
};

}  // namespace vexon::prologix
