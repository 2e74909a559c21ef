// The simulated bus: the sim boards of the bus, the devices on them and the
// state of each handle the router gave the sim. All access goes through
// busMutex().
#pragma once
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include <vexon.h>
#include "../router/bus_config.h"
#include "../router/handle_record.h"
#include "../router/timeouts.h"
#include "instrument.h"

namespace vorel::sim {

struct Device {
  std::string name;
  int board, pad, sad;  // sad: 0 = none, else 0x60..0x7E
  const Instrument* model;
  DeviceState state;
  int ppe = 0;  // parallel poll response: 0 = none, else the PPE byte 0x60..0x6F
};

// Who the board's addressing left as talker.
enum : int { kNoTalker = -1, kBoardTalks = -2, kAbsentTalker = -3 };

struct Board {
  bool present = false;    // a board of the simulated bus, devices placed
  bool opened = false;     // opened by the router (not only the target of a moved device)
  int pad = 0;             // the board's primary address
  bool sc = true;          // system controller (IbcSC)
  bool cic = true;         // controller-in-charge
  bool atn = true;         // ATN asserted (false after ibgts)
  bool remoteEnable = false;
  int talker = kNoTalker;  // device index, or one of the values above
  bool boardListens = false;
  std::vector<int> listeners;  // device indexes
  bool dcas = false, dtas = false;  // cleared or triggered by the controller we passed to
  int lockOwner = -1;      // handle holding iblck, -1 when unlocked
  int fault = 0;           // error code the next transfer fails with (IbeDebugMode)
  int debugMode = 0, swapSpd = 0;
  std::string serial = "TW-SIM-000001";
  std::map<long, int> registers;  // IbeWrite / IbeRead
};

enum class Io { Idle, Running, Done };
enum class IoKind { Read, Write, Command };

// What the simulated bus keeps of a handle beside the router's record
// (board, options): its transfer and its notification.
struct Handle {
  bool used = false;
  // Asynchronous transfer.
  Io io = Io::Idle;
  IoKind ioKind = IoKind::Read;
  void* ioBuf = nullptr;
  int ioCount = 0;
  int ioSta = 0, ioErr = 0, ioCnt = 0;
  // ibnotify.
  int notifyMask = 0;
  NotifyCallback notifyCb = nullptr;
  void* notifyRef = nullptr;
};

// Handles run from 0 to kMaxHandles - 1; a value outside is not a handle at all.
constexpr int kMaxHandles = 1024;

struct Bus {
  std::vector<Device> devices;
  int64_t now = 0;  // bus time in nanoseconds: it passes only while a call waits
  std::vector<Handle> handles;
  Board boards[vexon::kMaxBoards];

  Device* find(int board, int pad, int sad);
  int indexOf(const Device* d) const { return static_cast<int>(d - devices.data()); }
  bool validHandle(int ud) const;
  int boardStatus(int board);
  int cfg(int ud, int opt) const { return vexon::OptionOf(ud, opt); }
};

Bus& bus();
// The router's record of a handle.
inline bool isBoardHandle(int ud) { return vexon::KindOf(ud).isBoard; }
inline int boardIndex(int ud) { return vexon::KindOf(ud).board; }
std::mutex& busMutex();

// Bus time. A wait of kForever (timeout code TNONE) has no limit; kNoWait
// does not wait at all and lets no time pass.
constexpr int64_t kForever = vexon::kNoTimeLimit, kNoWait = -1;
// A timeout code (0 to 17) in nanoseconds.
inline int64_t timeoutOf(int code) { return vexon::TimeoutNs(code); }
// The timeout of a board's 488.2 routines: that of its board handle, 10 s
// while none is open.
int64_t boardTimeout(int board);
// Moves the clock on to `to` (never back) and lets every device see it.
void advanceTime(int64_t to);
// The earliest bus time a device of the board (or only `device`) has a
// response coming, or -1 when none is pending.
int64_t nextResponseTime(int board, const Device* device);
// Waits in bus time, up to wait, until holds() is true: time moves on to the
// responses pending on the board (or the device) one by one. When nothing is
// pending, returns at once; otherwise a wait that does not see holds() true
// lasts the whole timeout. Returns holds() at the end.
template <class F>
bool waitFor(int board, const Device* device, int64_t wait, F holds) {
  if (holds()) return true;
  int64_t start = bus().now, next = nextResponseTime(board, device);
  if (next < 0 || wait == kNoWait) return false;
  int64_t limit = wait == kForever ? kForever : start + wait;
  for (; next >= 0 && next <= limit; next = nextResponseTime(board, device)) {
    advanceTime(next);
    if (holds()) return true;
  }
  if (limit != kForever) advanceTime(limit);
  return holds();
}


}  // namespace vorel::sim
