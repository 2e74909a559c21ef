// Boards and links of the vxi11 back end, opening them, and the status each
// reply of the server leaves.
#include "board.h"

#include <cerrno>
#include <cstring>

#include "../router/router.h"
#include "../router/timeouts.h"

namespace vexon::vxi11 {

namespace {

Board boards[kMaxBoards];
Link links[vexon::kMaxHandles];  // of device handles

std::string Where(const Board& b) {
  return "gpib" + std::to_string(b.session->board()) + ": " + b.session->host();
}

// Opens the device handle's link; ERR when the server refuses it.
int OpenHandleLink(int ud, int board, const std::string& name) {
  Board& b = boards[board];
  std::lock_guard l(b.lock);
  Link& link = links[ud];
  link = Link{name};
  Reply r = b.session->Open(link);
  if (!r.ok()) return Settle(b, r, 0, 0, link);
  return Finish(CMPL, 0, 0);
}

}  // namespace

Board& BoardAt(int index) { return boards[index]; }
Link& LinkOf(int ud) {
  const HandleKind h = KindOf(ud);
  return h.isBoard ? boards[h.board].interfaceLink : links[ud];
}

uint32_t ServerTimeout(int code) {
  const int ms = TimeoutMs(code);
  return ms < 0 ? kForever : static_cast<uint32_t>(ms);
}

std::string DeviceLinkName(const std::string& interfaceName, int pad, int sad) {
  std::string name = interfaceName + "," + std::to_string(pad);
  if (sad) name += "," + std::to_string(sad - 0x60);
  return name;
}

int Settle(Board& b, const Reply& r, int base, int cnt, const Link& link) {
  if (r.kind == Reply::Lost) {
    ReportProblem(Where(b) + ": " + (b.session->generation() ? "connection lost: " : "cannot connect: ") +
                  std::strerror(r.sysError) + (b.session->generation() ? " (the next call connects again)" : ""));
    return Fail(base, EDVR, r.sysError);
  }
  switch (r.error) {
    case kNotSupported:
      return Fail(base, ECAP);
    case kLocked:
      return Fail(base, ELCK);
    case kIoTimeout:
      return Fail(base | TIMO, EABO, cnt);
    case kAborted:
      return Fail(base, EABO, cnt);
    default:
      ReportProblem(Where(b) + ": " + link.name + ": the server answered error " + std::to_string(r.error) +
                    " (" + ErrorName(r.error) + ")");
      return Fail(base, EDVR, static_cast<int>(r.error));
  }
}

bool SrqEnabled(Board& b, int base) {
  Session& s = *b.session;
  if (Reply r = s.Open(b.interfaceLink); !r.ok()) return Settle(b, r, base, 0, b.interfaceLink), false;
  if (b.srqEnabledOn == s.generation()) return true;
  const uint32_t address = s.localAddress();
  if (b.interrupts.running() && b.interrupts.address() != address) b.interrupts.Stop();
  if (!b.interrupts.Start(address)) {
    ReportProblem(Where(b) + ": cannot listen for service requests: " + std::strerror(errno));
    Fail(base, EDVR, errno);
    return false;
  }
  Reply r = s.CreateInterruptChannel(address, b.interrupts.port());
  if (r.kind == Reply::Refused && r.error == 29) r = Reply{};  // still there from before
  if (r.ok()) r = s.EnableSrq(b.interfaceLink, true, "gpib" + std::to_string(s.board()));
  if (!r.ok()) return Settle(b, r, base, 0, b.interfaceLink), false;
  b.srqEnabledOn = s.generation();
  return true;
}

bool OpenBoard(const BoardSettings& s) {
  Board& b = boards[s.index];
  std::lock_guard l(b.lock);
  if (!b.session) {
    b.session = std::make_unique<Session>(s.index, s.host, s.connectTimeout);
    b.interfaceName = s.interfaceName;
    b.interfaceLink = Link{s.interfaceName};
  }
  Reply r = b.session->Open(b.interfaceLink);
  if (!r.ok()) Settle(b, r, 0, 0, b.interfaceLink);
  return r.ok();
}

void StopNotification(Board& b) {
  std::thread ending;
  {
    std::lock_guard n(b.notifyLock);
    ++b.notification.generation;
    ending = std::move(b.notification.thread);
  }
  b.interrupts.Cancel();
  if (!ending.joinable()) return;
  if (ending.get_id() == std::this_thread::get_id()) ending.detach();
  else ending.join();
}

void CloseBoard(int board) {
  Board& b = boards[board];
  StopNotification(b);
  std::lock_guard l(b.lock);
  if (b.session) b.session->Drop();
  b.interrupts.Stop();
  b.srqEnabledOn = -1;
  b.byAddress.clear();
}

int OpenDevice(int ud, int board, int pad, int sad, int, int, int) {
  return OpenHandleLink(ud, board, DeviceLinkName(boards[board].interfaceName, pad, sad));
}

int OpenLink(int ud, int board, const char* link, int, int, int) {
  if (!link || !*link) return Fail(0, EARG);
  return OpenHandleLink(ud, board, link);
}

int Online(int ud, int v) {
  const HandleKind h = KindOf(ud);
  Board& b = boards[h.board];
  std::lock_guard l(b.lock);
  if (v == 0 && !h.isBoard) b.session->Close(links[ud]);
  return Finish(BaseOf(h) | CMPL, 0, 0);
}

}  // namespace vexon::vxi11
