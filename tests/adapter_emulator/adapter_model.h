// A "++" adapter (Prologix GPIB-USB/ETHERNET, AR488) as its manuals describe
// it, whose GPIB bus is the driver library's simulated bus: each command and
// data line from the host becomes classic driver calls on board 0. On
// request ("++emulate", below) it misbehaves as real adapters and devices
// do: late and slow talkers, stray lines, huge answers, dropped links.
#pragma once
#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace emulator {

// Sends bytes to the host. False when the host has not taken them within
// stallMs (the adapter then gives up, as its read timeout would).
using Output = std::function<bool(const std::string& bytes, int stallMs)>;

// What the emulator is asked to get wrong, for every connection. Set with
// a command line "++emulate WHAT [ARGS]" from any connection:
//   late MS          the next response is ready MS after the device was asked
//   slow MS          each byte of a response comes MS after the one before (0: off)
//   drop N           the connection drops after N bytes of the next response
//   stray TEXT       the line TEXT goes to the host ahead of the next response
//   refuse CMD TEXT  the command CMD is answered with TEXT and does nothing
//                    (without TEXT: it works again)
//   big N            the next response is N bytes of text, with EOI
//   stall MS         the adapter takes nothing from the host for MS, from
//                    the next bytes it receives on
//   hold MS NAME     the next "++NAME" is carried out MS late, as by a busy
//                    adapter
//   reset            all of this off
struct Faults {
  int lateMs = 0, slowMs = 0, stallMs = 0;
  int holdMs = 0;
  std::string holdOn;
  long dropAfter = -1, bigBytes = -1;
  std::string stray;
  std::map<std::string, std::string> refused;
};

// How the adapter is built: which firmware, how it starts.
struct Firmware {
  bool ar488 = false;
  // An AR488's firmware version: 0.53 reads "++read N" as an address;
  // "++fndl" came with 0.52.17.
  int major = 0, minor = 53, patch = 3;
};

class AdapterModel {
 public:
  AdapterModel(const Firmware& fw, Output out) : fw_(fw), out_(std::move(out)) {}

  // Takes bytes from the host; each complete line is logged, as it would be
  // shown, and runs.
  void Feed(const std::string& bytes);
  void SetLog(std::function<void(const std::string&)> log) { log_ = std::move(log); }
  // The connection is to drop now (a fault asked for it).
  bool WantsDrop() const { return dropNow_; }
  // The firmware restarts: what it was told is forgotten, and what the
  // host sends until bootMs has passed is lost.
  void Restart(int bootMs);

 private:
  using Clock = std::chrono::steady_clock;
  struct Held {  // what a talker has said that no read has passed on yet
    std::string bytes;
    bool end = false;
  };
  void RunLine(const std::string& line, bool command);
  void RunCommand(const std::string& name, const std::vector<int>& args, const std::string& rest);
  void Emulate(const std::string& rest);
  void WriteData(const std::string& data);
  void ReadToHost(int ud, bool untilEoi, int endChar);
  bool PassOn(const std::string& bytes);
  void Reply(const std::string& text);
  int DeviceHandle(int pad, int sad);
  bool Ar488Since(int major, int minor, int patch) const;

  Firmware fw_;
  Output out_;
  std::function<void(const std::string&)> log_;
  std::string line_;
  bool escaped_ = false;
  bool lineIsData_ = false;  // an escaped byte came: the line cannot be a command
  bool dropNow_ = false;
  Clock::time_point bootUntil_{};
  // The settings a freshly powered adapter has; the host must change them.
  int pad_ = 1, sad_ = 0, mode_ = 1, autoRead_ = 1, eoi_ = 1, eos_ = 0;
  int eotEnable_ = 0, eotChar_ = 0, readTmoMs_ = 500;
  std::map<int, int> handles_;  // pad | sad << 8 -> handle on the simulated bus
  std::map<int, Held> held_;    // by handle
  Clock::time_point readyAt_{};  // a late response is ready then
};

Faults& SharedFaults();

}  // namespace emulator
