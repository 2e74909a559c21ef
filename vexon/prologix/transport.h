// The byte stream to a "++" adapter: a serial port in raw mode (Prologix
// GPIB-USB, AR488) or a TCP connection (Prologix GPIB-ETHERNET). Every wait
// is bounded by the caller's time limit; nothing here raises a signal.
#pragma once
#include <atomic>
#include <cerrno>
#include <cstddef>
#include <string>

#include "../router/bus_config.h"

namespace vexon::prologix {

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

  // Sends every byte within timeoutMs. A peer that has gone away is found
  // before the first byte, since a TCP send after the peer closed succeeds
  // locally. False with errno set.
  bool Send(const std::string& bytes, int timeoutMs);
  // Waits up to timeoutMs (negative: no limit) for bytes. Returns the count
  // received, 0 when none came in time, -1 with errno set when the stream
  // failed or the far end went away.
  long Receive(char* buf, size_t max, int timeoutMs);
  // Throws away whatever has arrived and is still arriving until the stream
  // stays quiet for quietMs, at most limitMs in all. False when it failed.
  bool Drain(int quietMs, int limitMs);

  // Ends the Receive in progress, from any thread, and makes every later one
  // return 0 at once until ClearStop(): ibstop on a call that waits.
  void Stop();
  void ClearStop();
  bool Stopped() const { return stop_.load(std::memory_order_acquire); }

 private:
  bool OpenSerial(const BoardSettings& s);
  bool OpenTcp(const BoardSettings& s);
  bool PeerGone();
  // The error a stream that went away reports: a serial port unplugged fails
  // with EIO, a connection closed by the far end with ECONNRESET.
  int HangUpError() const { return serial_ ? EIO : ECONNRESET; }

  int fd_ = -1;
  bool serial_ = false;
  std::atomic<bool> stop_{false};
  int wake_ = -1;  // an eventfd that Stop() makes readable
};

}  // namespace vexon::prologix
