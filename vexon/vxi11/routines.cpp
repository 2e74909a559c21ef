// The IEEE 488.2 routines on a vxi11 board: a device's routine goes to a
// link of its address (made on first use and kept), a board's to the
// interface link; SRQ is the bus status and the interrupt channel.
#include <cstring>

#include "../router/addresses.h"
#include "../router/gpib_commands.h"
#include "calls.h"

namespace vexon::vxi11 {

namespace {

constexpr char kLocalLockout = static_cast<char>(command::LLO);

struct HeldBoard {
  explicit HeldBoard(int board) : board(board), b(BoardAt(board)), lock(b.lock) {}
  int board;
  Board& b;
  std::lock_guard<std::mutex> lock;
  Session& s() { return *b.session; }
  uint32_t timeout() const { return ServerTimeout(OptionOf(board, IbcTMO)); }
  // The link of a device address, made on first use.
  Link& at(uint16_t a) {
    auto it = b.byAddress.find(a);
    if (it == b.byAddress.end())
      it = b.byAddress.emplace(a, Link{DeviceLinkName(b.interfaceName, a & 0xFF, a >> 8)}).first;
    return it->second;
  }
  // False once the reply's failure is left in the status.
  bool ok(const Reply& r, const Link& link, int cnt = 0) {
    if (r.ok()) return true;
    Settle(b, r, kBoardBase, cnt, link);
    return false;
  }
};

void Done(int cnt = 0, int extra = 0) { Finish(kBoardBase | CMPL | extra, 0, cnt); }
void Refuse(int err) { Fail(kBoardBase, err); }

bool BufferOk(const void* buf, int count) { return (buf || !count) && count >= 0; }
bool EotOk(int eotMode) { return eotMode >= NULLend && eotMode <= DABend; }

// Writes the data of Send, SendList and SendDataBytes to one link.
bool WriteTo(HeldBoard& c, Link& link, const void* buf, int count, int eotMode) {
  std::string data(static_cast<const char*>(buf), static_cast<size_t>(count));
  if (eotMode == NLend) data += '\n';
  size_t written = 0;
  return c.ok(c.s().Write(link, data.data(), data.size(), eotMode != NULLend, c.timeout(), written), link,
              static_cast<int>(written));
}

void ReadFrom(HeldBoard& c, Link& link, void* buf, int count, int termination) {
  size_t got = 0;
  long reason = 0;
  Reply r = c.s().Read(link, buf, static_cast<size_t>(count), termination == STOPend ? -1 : termination & 0xFF,
                       c.timeout(), got, reason);
  if (c.ok(r, link, static_cast<int>(got))) Done(static_cast<int>(got), reason & (kReasonEnd | kReasonChr) ? END : 0);
}

bool Command(HeldBoard& c, long cmd, const std::string& value, long datasize) {
  return c.ok(c.s().Docmd(c.b.interfaceLink, cmd, value.data(), value.size(), datasize, c.timeout(), nullptr),
              c.b.interfaceLink);
}

std::string Short(int v) { return std::string{0, static_cast<char>(v)}; }

// A generic call to each address of a list; an empty list makes it the
// interface's (DCL, GET to the addressed listeners), or fails with ECAP.
void ToListed(int board, const uint16_t* list, Generic which, bool boardToo) {
  HeldBoard c(board);
  if (!list) return Refuse(EARG);
  if (list[0] == NOADDR) {
    if (!boardToo) return Refuse(ECAP);
    if (c.ok(c.s().Call(c.b.interfaceLink, which, c.timeout()), c.b.interfaceLink)) Done();
    return;
  }
  if (AnyInvalid(list)) return Refuse(ENOL);
  bool ok = true;
  ForList(list, [&](int, uint16_t a) { ok = ok && c.ok(c.s().Call(c.at(a), which, c.timeout()), c.at(a)); });
  if (ok) Done();
}

// The SRQ line through the bus status: 0 or 1, -1 once the failure is left.
int SrqLine(HeldBoard& c) {
  bool srq = false;
  if (!c.ok(c.s().BusStatus(c.b.interfaceLink, kStatusSrq, srq), c.b.interfaceLink)) return -1;
  return srq ? 1 : 0;
}

int SerialPoll(HeldBoard& c, uint16_t a) {
  if (!ValidAddress(a)) return Fail(kBoardBase | TIMO, EABO), -1;
  uint8_t stb = 0;
  if (!c.ok(c.s().ReadStb(c.at(a), c.timeout(), stb), c.at(a))) return -1;
  return stb;
}

void Store(short* to, int v) {
  short s = static_cast<short>(v);
  std::memcpy(to, &s, sizeof s);  // the caller's buffer may be unaligned
}

}  // namespace

void Send(int board, uint16_t address, const void* buf, int count, int eotMode) {
  HeldBoard c(board);
  if (!BufferOk(buf, count) || !EotOk(eotMode)) return Refuse(EARG);
  if (!ValidAddress(address)) return Refuse(ENOL);
  if (WriteTo(c, c.at(address), buf, count, eotMode)) Done(count + (eotMode == NLend ? 1 : 0));
}

void SendList(int board, const uint16_t* list, const void* buf, int count, int eotMode) {
  HeldBoard c(board);
  if (!list || !BufferOk(buf, count) || !EotOk(eotMode)) return Refuse(EARG);
  if (list[0] == NOADDR || AnyInvalid(list)) return Refuse(ENOL);
  bool ok = true;
  ForList(list, [&](int, uint16_t a) { ok = ok && WriteTo(c, c.at(a), buf, count, eotMode); });
  if (ok) Done(count + (eotMode == NLend ? 1 : 0));
}

void Receive(int board, uint16_t address, void* buf, int count, int termination) {
  HeldBoard c(board);
  if (!BufferOk(buf, count) || termination < 0 || termination > STOPend) return Refuse(EARG);
  if (!ValidAddress(address)) return void(Fail(kBoardBase | TIMO, EABO));
  ReadFrom(c, c.at(address), buf, count, termination);
}

void SendDataBytes(int board, const void* buf, int count, int eotMode) {
  HeldBoard c(board);
  if (!BufferOk(buf, count) || !EotOk(eotMode)) return Refuse(EARG);
  if (WriteTo(c, c.b.interfaceLink, buf, count, eotMode)) Done(count + (eotMode == NLend ? 1 : 0));
}

void RcvRespMsg(int board, void* buf, int count, int termination) {
  HeldBoard c(board);
  if (!BufferOk(buf, count) || termination < 0 || termination > STOPend) return Refuse(EARG);
  ReadFrom(c, c.b.interfaceLink, buf, count, termination);
}

void SendCmds(int board, const void* buf, int count) {
  HeldBoard c(board);
  if (!BufferOk(buf, count)) return Refuse(EARG);
  if (count && !Command(c, kCmdSendCommand, std::string(static_cast<const char*>(buf), static_cast<size_t>(count)), 1))
    return;
  Done(count);
}

void DevClear(int board, uint16_t address) {
  const uint16_t list[] = {address, NOADDR};
  ToListed(board, address == NOADDR ? list + 1 : list, Generic::Clear, true);
}

void Trigger(int board, uint16_t address) {
  const uint16_t list[] = {address, NOADDR};
  ToListed(board, address == NOADDR ? list + 1 : list, Generic::Trigger, true);
}

void EnableLocal(int board, const uint16_t* list) {
  if (list && list[0] == NOADDR) {  // every device: REN off
    HeldBoard c(board);
    if (Command(c, kCmdRen, Short(0), 2)) Done();
    return;
  }
  ToListed(board, list, Generic::Local, false);
}

void EnableRemote(int board, const uint16_t* list) {
  if (list && list[0] == NOADDR) {  // REN on
    HeldBoard c(board);
    if (Command(c, kCmdRen, Short(1), 2)) Done();
    return;
  }
  ToListed(board, list, Generic::Remote, false);
}

void SendLLO(int board) {
  HeldBoard c(board);
  if (Command(c, kCmdRen, Short(1), 2) && Command(c, kCmdSendCommand, std::string(1, kLocalLockout), 1)) Done();
}

void SendIFC(int board) {
  HeldBoard c(board);
  if (Command(c, kCmdIfc, std::string(), 0)) Done();
}

void PassControl(int board, uint16_t address) {
  HeldBoard c(board);
  if (!ValidAddress(address) || (address >> 8)) return Refuse(EARG);
  if (Command(c, kCmdPassControl, std::string{0, 0, 0, static_cast<char>(address & 0xFF)}, 4)) Done();
}

int BoardAddress(int board) {
  HeldBoard c(board);
  int address = 0;
  if (!c.ok(c.s().BusStatus(c.b.interfaceLink, kStatusBusAddress, address), c.b.interfaceLink)) return -1;
  if (address < 0 || address > 30) {
    ReportProblem("gpib" + std::to_string(board) + ": " + c.b.interfaceName + ": the server gave bus address " +
                  std::to_string(address) + ", not one of 0 to 30");
    return Fail(kBoardBase, EDVR), -1;
  }
  return address;
}

void ReadStatusByte(int board, uint16_t address, short* result) {
  HeldBoard c(board);
  if (!result) return Refuse(EARG);
  int stb = SerialPoll(c, address);
  if (stb < 0) return;
  Store(result, stb);
  Done(1);
}

void TestSRQ(int board, short* result) {
  HeldBoard c(board);
  if (!result) return Refuse(EARG);
  int srq = SrqLine(c);
  if (srq < 0) return;
  Store(result, srq);
  Done(0, srq ? SRQI : 0);
}

void WaitSRQ(int board, short* result) {
  Board& b = BoardAt(board);
  long seen = 0;
  uint32_t timeout = 0;
  {
    HeldBoard c(board);
    if (!result) return Refuse(EARG);
    if (!SrqEnabled(b, kBoardBase)) return;
    seen = b.interrupts.count();
    int srq = SrqLine(c);
    if (srq < 0) return;
    if (srq) {
      Store(result, 1);
      return Done(0, SRQI);
    }
    timeout = c.timeout();
  }
  const bool came = b.interrupts.WaitBeyond(seen, timeout == kForever ? -1 : static_cast<int>(timeout)) > seen;
  Store(result, came ? 1 : 0);
  Done(0, came ? SRQI : TIMO);
}

}  // namespace vexon::vxi11
