// The gateway's links and the locks of their devices.
#include "links.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <string>

#include "library.h"
#include "protocol.h"

namespace gateway {

unsigned long maxRecvSize = 1024;
unsigned short abortPort = 0;

namespace {

std::mutex tableLock;
std::condition_variable lockChanged;  // a lock released, a link aborted
std::map<long, std::shared_ptr<Link>> links;
std::map<long, std::shared_ptr<Device>> devices;
long lastLid = 0;
int boardHandles[16] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};

constexpr long kInterfaceKey = 0xFFFF;

std::shared_ptr<Device> DeviceFor(long key) {
  auto& device = devices[key];
  if (!device) device = std::make_shared<Device>();
  return device;
}

// Link ids start at 1, never 0, and skip those still open.
long NextLid() {
  do {
    lastLid = lastLid >= 0x7FFFFFFF ? 1 : lastLid + 1;
  } while (links.count(lastLid));
  return lastLid;
}

// Opens the library handle of `target`; 0 or the VXI-11 error.
long OpenHandle(const LinkTarget& target, Link* link) {
  if (target.kind == LinkTarget::kInterface) {
    link->ud = BoardHandle(target.board);
    link->board = target.board;
    return link->ud < 0 ? kNotAccessible : kNoError;
  }
  if (target.kind == LinkTarget::kDevice) {
    if (BoardHandle(target.board) < 0) return kNotAccessible;
    int ud = -1;
    CallStatus st = LibraryCall([&] { ud = ibdev(target.board, target.pad, target.sad, T10s, 1, 0); });
    if (st.sta & ERR) return st.err == EARG ? kInvalidAddress : kNotAccessible;
    link->ud = ud;
    link->board = target.board;
    link->ownsHandle = true;
    return kNoError;
  }
  int ud = -1;
  CallStatus st = LibraryCall([&] { ud = ibfind(target.name.c_str()); });
  if ((st.sta & ERR) || ud < 0) return kNotAccessible;
  int board = -1, pad = 0, sad = 0;
  CallStatus bst = LibraryCall([&] { ibask(ud, IbcBNA, &board); });
  LibraryCall([&] { ibask(ud, IbcPAD, &pad); });
  LibraryCall([&] { ibask(ud, IbcSAD, &sad); });
  if ((bst.sta & ERR) || board < 0 || board > 15 || BoardHandle(board) < 0) {
    // A name of a board, or of a board this gateway does not serve.
    LibraryCall([&] { ibonl(ud, 0); });
    return kNotAccessible;
  }
  link->ud = ud;
  link->board = board;
  link->ownsHandle = true;
  link->target.pad = pad;
  link->target.sad = sad;
  return kNoError;
}

// The link holding the lock that keeps `link` waiting, or null.
std::shared_ptr<Link> BlockingHolder(const Link& link) {
  for (const Device* d : {link.interface.get(), link.device.get()}) {
    if (d->lockHolder != 0 && d->lockHolder != link.lid) {
      auto it = links.find(d->lockHolder);
      if (it != links.end()) return it->second;
    }
  }
  return nullptr;
}

// Waits with the table held; 0, 11 or 23.
long WaitLocked(std::unique_lock<std::mutex>& hold, Link& link, long flags, unsigned long lockTimeout) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(lockTimeout);
  while (true) {
    if (link.aborted.exchange(false)) return kAbort;
    std::shared_ptr<Link> holder = BlockingHolder(link);
    if (!holder) return kNoError;
    // A lock held by a link of the same connection cannot go while this
    // connection waits, and a client that has gone needs no answer.
    if (!(flags & kWaitLock) || holder->connection == link.connection || link.connection->PeerGone())
      return kLockedByAnother;
    auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return kLockedByAnother;
    auto slice = std::min<std::chrono::steady_clock::duration>(deadline - now, std::chrono::milliseconds(100));
    lockChanged.wait_for(hold, slice);
  }
}

void ReleaseLock(Link& link) {
  bool released = false;
  for (Device* d : {link.interface.get(), link.device.get()}) {
    if (d && d->lockHolder == link.lid) {
      d->lockHolder = 0;
      released = true;
    }
  }
  if (released) lockChanged.notify_all();
}

}  // namespace

long OpenLink(const std::shared_ptr<Connection>& connection, const LinkTarget& target, bool lockDevice,
              unsigned long lockTimeout, std::shared_ptr<Link>* result) {
  {
    std::lock_guard<std::mutex> hold(tableLock);
    if (links.size() >= kMaxLinks) return kOutOfResources;
  }
  auto link = std::make_shared<Link>();
  link->connection = connection;
  link->target = target;
  long error = OpenHandle(target, link.get());
  if (error != kNoError) return error;
  std::unique_lock<std::mutex> hold(tableLock);
  if (links.size() >= kMaxLinks) {
    hold.unlock();
    if (link->ownsHandle) LibraryCall([&] { ibonl(link->ud, 0); });
    return kOutOfResources;
  }
  link->lid = NextLid();
  long boardKey = static_cast<long>(link->board) << 16;
  link->interface = DeviceFor(boardKey | kInterfaceKey);
  link->device = target.kind == LinkTarget::kInterface
                     ? link->interface
                     : DeviceFor(boardKey | (link->target.pad << 8) | link->target.sad);
  links[link->lid] = link;
  if (lockDevice) {
    error = WaitLocked(hold, *link, kWaitLock, lockTimeout);
    if (error == kNoError) {
      link->device->lockHolder = link->lid;
    } else {
      hold.unlock();
      CloseLink(link);
      return error;
    }
  }
  *result = link;
  return kNoError;
}

std::shared_ptr<Link> FindLink(const Connection& connection, long lid) {
  std::lock_guard<std::mutex> hold(tableLock);
  auto it = links.find(lid);
  if (it == links.end() || it->second->connection.get() != &connection) return nullptr;
  return it->second;
}

std::shared_ptr<Link> FindAnyLink(long lid) {
  std::lock_guard<std::mutex> hold(tableLock);
  auto it = links.find(lid);
  return it == links.end() ? nullptr : it->second;
}

void CloseLink(const std::shared_ptr<Link>& link) {
  {
    std::lock_guard<std::mutex> hold(tableLock);
    ReleaseLock(*link);
    link->srqEnabled = false;
    links.erase(link->lid);
  }
  if (link->ownsHandle) {
    // Wait for a call still running on the device (an abort ends it).
    std::lock_guard<std::mutex> order(link->device->order);
    LibraryCall([&] { ibonl(link->ud, 0); });
  }
}

int CloseLinksOf(const Connection& connection) {
  std::vector<std::shared_ptr<Link>> owned;
  {
    std::lock_guard<std::mutex> hold(tableLock);
    for (auto& [lid, link] : links)
      if (link->connection.get() == &connection) owned.push_back(link);
  }
  for (auto& link : owned) CloseLink(link);
  return static_cast<int>(owned.size());
}

long WaitUnlocked(Link& link, long flags, unsigned long lockTimeout) {
  std::unique_lock<std::mutex> hold(tableLock);
  return WaitLocked(hold, link, flags, lockTimeout);
}

long LockDevice(Link& link, long flags, unsigned long lockTimeout) {
  std::unique_lock<std::mutex> hold(tableLock);
  long error = WaitLocked(hold, link, flags, lockTimeout);
  if (error == kNoError) link.device->lockHolder = link.lid;
  return error;
}

long UnlockDevice(Link& link) {
  std::lock_guard<std::mutex> hold(tableLock);
  if (link.device->lockHolder != link.lid) return kNoLockHeld;
  ReleaseLock(link);
  return kNoError;
}

void AbortLink(Link& link) {
  std::lock_guard<std::mutex> hold(tableLock);
  if (!links.count(link.lid)) return;
  link.aborted = true;
  lockChanged.notify_all();
  StopCall(link.ud);
}

std::vector<SrqTarget> SrqTargets(int board) {
  std::vector<SrqTarget> targets;
  std::lock_guard<std::mutex> hold(tableLock);
  for (auto& [lid, link] : links)
    if (link->board == board && link->srqEnabled) targets.push_back({link->connection, link->srqHandle});
  return targets;
}

void SetSrq(Link& link, bool enable, const char* handle, unsigned length) {
  std::lock_guard<std::mutex> hold(tableLock);
  link.srqEnabled = enable;
  link.srqHandle.assign(handle, handle + length);
}

int BoardHandle(int board) { return board >= 0 && board < 16 ? boardHandles[board] : -1; }

int OpenBoards() {
  int served = 0;
  for (int board = 0; board < 16; ++board) {
    std::string name = "gpib" + std::to_string(board);
    int ud = -1;
    CallStatus st = LibraryCall([&] { ud = ibfind(name.c_str()); });
    if ((st.sta & ERR) || ud < 0) continue;
    LibraryCall([&] { ibconfig(ud, IbcSRE, 1); });
    boardHandles[board] = ud;
    ++served;
  }
  return served;
}

}  // namespace gateway
