// The gateway's links: each a library handle owned by one connection, with
// the VXI-11 lock of its device, held for the whole server.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "connection.h"
#include "link_name.h"

namespace gateway {

// A device (or a board's interface) as all links to it share it.
struct Device {
  std::mutex order;   // one call at a time to the device, in arrival order
  long lockHolder = 0;  // the lid holding the lock, 0 for none (guarded by the table)
};

struct Link {
  long lid = 0;
  std::shared_ptr<Connection> connection;
  LinkTarget target;
  int ud = -1;
  int board = 0;
  bool ownsHandle = false;  // device handles close with the link; board handles stay
  std::shared_ptr<Device> device;     // its own lock (the interface's for an interface link)
  std::shared_ptr<Device> interface;  // the board's: its lock covers every device on it
  std::atomic<bool> aborted{false};
  // Settings last given to the handle, so a call sets only what changed.
  int timeoutCode = -1;
  int eos = -1;
  int eot = -1;
  // SRQ, guarded by the table.
  bool srqEnabled = false;
  std::vector<char> srqHandle;
};

constexpr int kMaxLinks = 256;

// The server's maxRecvSize and abort port, set once at start.
extern unsigned long maxRecvSize;
extern unsigned short abortPort;

// Makes a link of `connection` to `target` (already parsed) and locks it
// when `lockDevice`; returns 0 or the VXI-11 error.
long OpenLink(const std::shared_ptr<Connection>& connection, const LinkTarget& target, bool lockDevice,
              unsigned long lockTimeout, std::shared_ptr<Link>* link);

// The link `lid` when `connection` owns it, else null.
std::shared_ptr<Link> FindLink(const Connection& connection, long lid);
// The link `lid` of any connection (the abort channel's view), else null.
std::shared_ptr<Link> FindAnyLink(long lid);

// Closes a link: its lock released, SRQ off, its handle closed.
void CloseLink(const std::shared_ptr<Link>& link);
// Closes every link of `connection`; returns how many there were.
int CloseLinksOf(const Connection& connection);

// Waits until no other link holds the lock of `link`'s device (up to
// `lockTimeout` ms with waitlock, else not at all); 0, 11 or 23 (aborted).
long WaitUnlocked(Link& link, long flags, unsigned long lockTimeout);
long LockDevice(Link& link, long flags, unsigned long lockTimeout);
long UnlockDevice(Link& link);

// Ends `link`'s call in progress: a wait for a lock or the library call.
void AbortLink(Link& link);

// The links with SRQ enabled on `board`: their connections and handles.
struct SrqTarget {
  std::shared_ptr<Connection> connection;
  std::vector<char> handle;
};
std::vector<SrqTarget> SrqTargets(int board);
// Sets whether `link` hears SRQ, and the handle it is told with.
void SetSrq(Link& link, bool enable, const char* handle, unsigned length);

// The handle of board `board` opened at start, or -1 when it is not served.
int BoardHandle(int board);
// Opens every board of the bus and asserts REN on it; returns how many.
int OpenBoards();

}  // namespace gateway
