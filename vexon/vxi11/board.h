// The boards and links of the vxi11 back end: each board one Session with
// its interface link, each device handle one link, and the status each
// reply of the server leaves. Handles are the router's records
// (handle_record.h).
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "../router/backend.h"
#include "../router/bus_yaml.h"
#include "../router/handle_record.h"
#include "../router/status.h"
#include "interrupts.h"
#include "session.h"

namespace vexon::vxi11 {

// A board handle reports the gateway's interface as controller-in-charge.
constexpr int kBoardBase = CIC | ATN;

// The ibnotify of a board handle: a thread that runs while generation is
// the one it started with.
struct Notification {
  long generation = 0;
  std::thread thread;
};

struct Board {
  std::mutex lock;  // held for each call on the board (the session's lock)
  std::unique_ptr<Session> session;
  std::string interfaceName;
  Link interfaceLink;
  std::map<uint16_t, Link> byAddress;  // links the 488.2 routines make, by address
  InterruptServer interrupts;
  long srqEnabledOn = -1;  // the connection SRQ was enabled on
  std::mutex notifyLock;   // guards notification
  Notification notification;
};

Board& BoardAt(int index);
// The link of a device handle (its own) or a board handle (the interface's).
Link& LinkOf(int ud);
inline int BaseOf(const HandleKind& h) { return h.isBoard ? kBoardBase : 0; }
// A timeout code in milliseconds for the server (kForever for none).
uint32_t ServerTimeout(int code);

// Leaves the status a reply gives and returns ibsta: success is done(), a
// refusal or a lost connection fails the call (cnt: bytes moved so far).
int Settle(Board& b, const Reply& r, int base, int cnt, const Link& link);

// The link name of a device at pad and sad (0 or 0x60 to 0x7E).
std::string DeviceLinkName(const std::string& interfaceName, int pad, int sad);

// Makes sure the server tells this board's interrupt server of SRQ; false
// once the failure is left in the status (base: the call's status bits).
bool SrqEnabled(Board& b, int base);

// Ends the board's ibnotify thread (also from within its callback).
void StopNotification(Board& b);

// The back-end operations that open and close boards and links.
bool OpenBoard(const BoardSettings& s);
void CloseBoard(int board);
int OpenDevice(int ud, int board, int pad, int sad, int tmo, int eot, int eos);
int OpenLink(int ud, int board, const char* link, int tmo, int eot, int eos);
// The board's entry of the bus file, and its description for vorel-bus.
void ReadBoardEntry(const YamlFile& file, const YAML::Node& node, BoardSettings& b);
std::string DescribeBoard(const BoardSettings& b);
int Online(int ud, int v);

}  // namespace vexon::vxi11
