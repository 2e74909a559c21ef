// The board and device functions of the simulated driver. Every call holds the
// bus for its whole run and leaves ibsta, iberr and ibcntl behind.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "calls.h"
#include "described/instance.h"
#include "../router/addresses.h"
#include "../router/file_transfers.h"

using namespace vorel::sim;

namespace {

// Takes handle ud, which the router picked and recorded.
void placeHandle(int ud) {
  Bus& b = bus();
  Handle h;
  h.used = true;
  if (b.handles.size() <= static_cast<size_t>(ud)) b.handles.resize(ud + 1);
  b.handles[ud] = h;
}

Handle& handle(int ud) { return bus().handles[ud]; }
Board& boardOf(int ud) { return bus().boards[boardIndex(ud)]; }

// The checks a call that uses the bus makes before it moves anything: a
// transfer already running on the handle, a lock held through another
// handle, a fault injected with IbeDebugMode.
bool refused(int ud, int& sta) {
  int base = baseStatus(ud);
  if (handle(ud).io != Io::Idle) {
    sta = fail(base, EOIP);
  } else if (lockedOut(boardIndex(ud), ud)) {
    sta = fail(base, ELCK);
  } else if (int f = takeFault(boardIndex(ud))) {
    sta = fail(base, f);
  } else {
    return false;
  }
  return true;
}

// Device calls need the board to be controller-in-charge.
bool notController(int ud, int& sta) {
  if (boardOf(ud).cic) return false;
  sta = fail(baseStatus(ud), ECIC);
  return true;
}

bool badBuffer(const void* buf, int count) { return (!buf && count) || count < 0; }

void afterDeviceCall(int ud) {
  if (bus().cfg(ud, IbcUnAddr)) unaddress(boardIndex(ud));
}

// Board-level writes go to the listeners that earlier commands addressed.
int boardWriteCheck(int ud, int& sta) {
  Board& b = boardOf(ud);
  if (b.talker != kBoardTalks) return sta = fail(baseStatus(ud), EADR), 1;
  if (b.listeners.empty()) return sta = fail(baseStatus(ud), ENOL), 1;
  return 0;
}

int boardReadCheck(int ud, int& sta) {
  if (!boardOf(ud).boardListens) return sta = fail(baseStatus(ud), EADR), 1;
  return 0;
}

int deviceRead(int ud, void* buf, int count) {
  Bus& b = bus();
  Device* d = nullptr;
  if (isBoardHandle(ud)) {
    int t = b.boards[boardIndex(ud)].talker;
    if (t >= 0) d = &b.devices[t];
  } else {
    d = deviceOf(ud);
    if (d) addressToTalk(boardIndex(ud), *d);
  }
  int base = baseStatus(ud);
  if (!d) return fail(base | TIMO, EABO);
  int err = 0, cnt = 0;
  int sta = readFrom(*d, static_cast<uint8_t*>(buf), count, b.cfg(ud, IbcEOSrd) != 0,
                     b.cfg(ud, IbcEOSchar), base, err, cnt, timeoutOf(b.cfg(ud, IbcTMO)));
  if (!isBoardHandle(ud)) afterDeviceCall(ud);
  return finish(sta, err, cnt);
}

int deviceWrite(int ud, const void* buf, int count) {
  Bus& b = bus();
  const auto* p = static_cast<const uint8_t*>(buf);
  bool eoi = b.cfg(ud, IbcEOT) != 0;
  if (isBoardHandle(ud)) {
    for (int l : b.boards[boardIndex(ud)].listeners) b.devices[l].model->listen(b.devices[l].state, p, count, eoi);
    return finish(baseStatus(ud) | CMPL, 0, count);
  }
  Device* d = deviceOf(ud);
  addressToListen(boardIndex(ud), *d);
  int sta = writeTo(*d, p, count, eoi, baseStatus(ud));
  afterDeviceCall(ud);
  return sta;
}

// What a write, asynchronous or not, checks before the first byte.
bool writeRefused(int ud, const void* buf, int count, int& sta) {
  if (badBuffer(buf, count)) return sta = fail(baseStatus(ud), EARG), true;
  if (refused(ud, sta)) return true;
  if (isBoardHandle(ud)) return boardWriteCheck(ud, sta) != 0;
  if (notController(ud, sta)) return true;
  if (!deviceOf(ud)) return sta = fail(baseStatus(ud), ENOL), true;
  return false;
}

bool readRefused(int ud, void* buf, int count, int& sta) {
  if (badBuffer(buf, count)) return sta = fail(baseStatus(ud), EARG), true;
  if (refused(ud, sta)) return true;
  if (isBoardHandle(ud)) return boardReadCheck(ud, sta) != 0;
  return notController(ud, sta);
}

bool commandRefused(int ud, const void* buf, int count, int& sta) {
  if (badBuffer(buf, count)) return sta = fail(baseStatus(ud), EARG), true;
  if (!isBoardHandle(ud)) return sta = fail(baseStatus(ud), ECAP), true;
  if (refused(ud, sta) || notController(ud, sta)) return true;
  // Nobody on the bus accepts the command bytes.
  if (!boardHasDevices(boardIndex(ud)) && count > 0) return sta = fail(baseStatus(ud), EBUS), true;
  return false;
}

// The status bits ibwait and ibnotify may name for this kind of handle.
int conditions(int ud) { return vexon::WaitConditions(isBoardHandle(ud)); }

// The checks of a call on one device: a device handle (ECAP for a board), the
// bus free for it, the board in charge, and a device at its address (else
// `missing` with `missingBits`). Null once the failure is reported in sta.
Device* calledDevice(int ud, int& sta, int missing, int missingBits = 0) {
  if (isBoardHandle(ud)) return sta = fail(baseStatus(ud), ECAP), nullptr;
  if (refused(ud, sta) || notController(ud, sta)) return nullptr;
  Device* d = deviceOf(ud);
  if (!d) sta = fail(baseStatus(ud) | missingBits, missing);
  return d;
}


}  // namespace

namespace vorel::sim {

#define HANDLE_CALL(ud)                      \
  Call call_;                                \
  if (int sta_ = 0; badHandle(ud, sta_)) return sta_

int openBoardHandle(int ud, int board) {
  Call call;
  placeHandle(ud);
  // A board handle reports the board's own address and role.
  vexon::SetOptionOf(ud, IbcPAD, bus().boards[board].pad);
  vexon::SetOptionOf(ud, IbcSC, bus().boards[board].sc ? 1 : 0);
  return finish(bus().boardStatus(board) | CMPL, 0, 0);
}

int openDevice(int ud, int, int, int, int, int, int) {
  Call call;
  placeHandle(ud);
  return finish(baseStatus(ud) | CMPL, 0, 0);
}

int startingStatus(int ud) {
  Call call;
  return baseStatus(ud);
}

bool configure(int ud, int option, int value) {
  Call call;
  if (!isBoardHandle(ud)) return true;
  Board& b = boardOf(ud);
  if (option == IbcSRE) b.remoteEnable = value != 0;
  if (option == IbcSC) b.sc = value != 0;
  return true;
}

int ibonl(int ud, int v) {
  HANDLE_CALL(ud);
  Handle& h = handle(ud);
  if (lockedOut(boardIndex(ud), ud)) return fail(baseStatus(ud), ELCK);
  abortTransfer(ud);
  queueResetNotice(ud);
  int s = baseStatus(ud);
  if (v == 0) {
    if (boardOf(ud).lockOwner == ud) boardOf(ud).lockOwner = -1;
    h.used = false;
  }
  return finish(s | CMPL, 0, 0);
}

int ibwrt(int ud, const void* buf, int count) {
  HANDLE_CALL(ud);
  if (int sta = 0; writeRefused(ud, buf, count, sta)) return sta;
  return deviceWrite(ud, buf, count);
}

int ibrd(int ud, void* buf, int count) {
  HANDLE_CALL(ud);
  if (int sta = 0; readRefused(ud, buf, count, sta)) return sta;
  return deviceRead(ud, buf, count);
}

int ibcmd(int ud, const void* buf, int count) {
  HANDLE_CALL(ud);
  if (int sta = 0; commandRefused(ud, buf, count, sta)) return sta;
  boardOf(ud).atn = true;
  runCommands(boardIndex(ud), static_cast<const uint8_t*>(buf), count);
  return finish(baseStatus(ud) | CMPL, 0, count);
}

// The asynchronous forms check like their synchronous ones, then leave the
// transfer to the engine; the call itself returns without CMPL.
int ibwrta(int ud, const void* buf, int count) {
  HANDLE_CALL(ud);
  if (int sta = 0; writeRefused(ud, buf, count, sta)) return sta;
  if (!isBoardHandle(ud)) addressToListen(boardIndex(ud), *deviceOf(ud));
  startTransfer(ud, IoKind::Write, const_cast<void*>(buf), count);
  return finish(baseStatus(ud), 0, 0);
}

int ibrda(int ud, void* buf, int count) {
  HANDLE_CALL(ud);
  if (int sta = 0; readRefused(ud, buf, count, sta)) return sta;
  if (!isBoardHandle(ud))
    if (Device* d = deviceOf(ud)) addressToTalk(boardIndex(ud), *d);
  startTransfer(ud, IoKind::Read, buf, count);
  return finish(baseStatus(ud), 0, 0);
}

int ibcmda(int ud, const void* buf, int count) {
  HANDLE_CALL(ud);
  if (int sta = 0; commandRefused(ud, buf, count, sta)) return sta;
  boardOf(ud).atn = true;
  startTransfer(ud, IoKind::Command, const_cast<void*>(buf), count);
  return finish(baseStatus(ud), 0, 0);
}

int ibwait(int ud, int mask) {
  HANDLE_CALL(ud);
  Handle& h = handle(ud);
  if (mask & ~conditions(ud)) return fail(baseStatus(ud), EARG);
  if (mask != 0 && h.notifyMask != 0) return fail(baseStatus(ud), EWIP);
  if (h.io == Io::Running && (mask & CMPL) && !isBoardHandle(ud) && h.ioKind == IoKind::Read) {
    // A response on its way ends the read when it comes within the timeout.
    Device* d = deviceOf(ud);
    if (d && d->state.described) {
      waitFor(boardIndex(ud), d, timeoutOf(bus().cfg(ud, IbcTMO)), [&] { return !d->state.described->output.empty(); });
      advanceTransfer(ud);
    }
  }
  if (h.io == Io::Running && (mask & CMPL)) {
    // Nothing comes from the talker: the transfer's own timeout ends it.
    h.io = Io::Done;
    h.ioSta = ERR | TIMO | CMPL;
    h.ioErr = EABO;
    h.ioCnt = 0;
  }
  if (mask & (RQS | SRQI)) {
    // A response on its way may bring the service request: wait for it in bus time.
    Device* d = isBoardHandle(ud) ? nullptr : deviceOf(ud);
    if (isBoardHandle(ud) || d)
      waitFor(boardIndex(ud), d, timeoutOf(bus().cfg(ud, IbcTMO)),
              [&] { return (handleStatus(ud) & mask & ~TIMO) != 0; });
  }
  int s = handleStatus(ud);
  if (mask == 0 || (s & mask & ~TIMO)) {
    bool done = h.io == Io::Done;
    int err = h.ioErr, cnt = done ? h.ioCnt : vexon::LastCount();
    if (done && (mask & CMPL)) abortTransfer(ud);
    return finish(s, err, cnt);
  }
  // Nothing more can change while the program waits: the wait times out.
  return finish((s & ~ERR) | TIMO, 0, vexon::LastCount());
}

int ibstop(int ud) {
  HANDLE_CALL(ud);
  bool running = handle(ud).io == Io::Running;
  abortTransfer(ud);
  int s = baseStatus(ud) | CMPL;
  return running ? fail(s, EABO) : finish(s, 0, 0);
}

int ibnotify(int ud, int mask, NotifyCallback cb, void* refData) {
  HANDLE_CALL(ud);
  Handle& h = handle(ud);
  if ((mask & ~conditions(ud)) || (mask && !cb)) return fail(baseStatus(ud), EARG);
  h.notifyMask = mask;
  h.notifyCb = cb;
  h.notifyRef = refData;
  int s = handleStatus(ud) & ~(ERR | TIMO);
  return finish(s, 0, h.io == Io::Done ? h.ioCnt : 0);
}

int ibclr(int ud) {
  HANDLE_CALL(ud);
  int sta = 0;
  Device* d = calledDevice(ud, sta, ENOL);
  if (!d) return sta;
  d->model->deviceClear(d->state);
  afterDeviceCall(ud);
  return finish(baseStatus(ud) | CMPL, 0, 0);
}

int ibtrg(int ud) {
  HANDLE_CALL(ud);
  int sta = 0;
  Device* d = calledDevice(ud, sta, ENOL);
  if (!d) return sta;
  d->model->trigger(d->state);
  return finish(baseStatus(ud) | CMPL, 0, 0);
}

int ibrsp(int ud, char* spr) {
  HANDLE_CALL(ud);
  if (!spr) return fail(baseStatus(ud), EARG);
  int sta = 0;
  Device* d = calledDevice(ud, sta, EABO, TIMO);
  if (!d) return sta;
  *spr = static_cast<char>(d->model->serialPoll(d->state));
  return finish(baseStatus(ud) | CMPL, 0, 1);
}

int ibloc(int ud) {
  HANDLE_CALL(ud);
  if (!isBoardHandle(ud)) {
    if (lockedOut(boardIndex(ud), ud)) return fail(baseStatus(ud), ELCK);
    if (Device* d = deviceOf(ud)) d->state.remote = false;
  }
  return finish(baseStatus(ud) | CMPL, 0, 0);
}

int ibsic(int ud) {
  HANDLE_CALL(ud);
  if (!isBoardHandle(ud)) return fail(baseStatus(ud), EARG);
  if (!boardOf(ud).sc) return fail(baseStatus(ud), ESAC);
  if (lockedOut(boardIndex(ud), ud)) return fail(baseStatus(ud), ELCK);
  // Interface clear: the system controller takes control back.
  Board& b = boardOf(ud);
  b.cic = b.atn = true;
  b.dcas = b.dtas = false;
  unaddress(boardIndex(ud));
  return finish(baseStatus(ud) | CMPL, 0, 0);
}

int ibgts(int ud, int v) {
  HANDLE_CALL(ud);
  if (!isBoardHandle(ud)) return fail(baseStatus(ud), ECAP);
  if (v < 0 || v > 1) return fail(baseStatus(ud), EARG);
  if (int sta = 0; notController(ud, sta)) return sta;
  boardOf(ud).atn = false;
  return finish(baseStatus(ud) | CMPL, 0, 0);
}

int ibcac(int ud, int v) {
  HANDLE_CALL(ud);
  if (!isBoardHandle(ud)) return fail(baseStatus(ud), ECAP);
  if (v < 0 || v > 1) return fail(baseStatus(ud), EARG);
  if (int sta = 0; notController(ud, sta)) return sta;
  boardOf(ud).atn = true;
  return finish(baseStatus(ud) | CMPL, 0, 0);
}

int ibpct(int ud) {
  HANDLE_CALL(ud);
  int sta = 0;
  Device* d = calledDevice(ud, sta, ENOL);
  if (!d) return sta;
  addressToTalk(boardIndex(ud), *d);
  const uint8_t tct = 0x09;
  runCommands(boardIndex(ud), &tct, 1);
  return finish(baseStatus(ud) | CMPL, 0, 0);
}

int ibppc(int ud, int v) {
  HANDLE_CALL(ud);
  if (v != 0 && (v < 0x60 || v > 0x7F)) return fail(baseStatus(ud), EARG);
  if (isBoardHandle(ud)) return finishWithValue(baseStatus(ud) | CMPL, vexon::SetOptionOf(ud, IbcPPC, v));
  int sta = 0;
  Device* d = calledDevice(ud, sta, ENOL);
  if (!d) return sta;
  int prev = d->ppe ? d->ppe : 0x70;
  d->ppe = v >= 0x60 && v <= 0x6F ? v : 0;
  return finishWithValue(baseStatus(ud) | CMPL, prev);
}

int ibrpp(int ud, char* ppr) {
  HANDLE_CALL(ud);
  if (!ppr) return fail(baseStatus(ud), EARG);
  if (int sta = 0; refused(ud, sta) || notController(ud, sta)) return sta;
  *ppr = static_cast<char>(parallelPoll(boardIndex(ud)));
  return finish(baseStatus(ud) | CMPL, 0, 1);
}

int iblines(int ud, short* lines) {
  HANDLE_CALL(ud);
  if (!lines) return fail(baseStatus(ud), EARG);
  int board = boardIndex(ud);
  Board& b = bus().boards[board];
  // Low byte: which lines the board can sense (not NRFD); high byte: asserted.
  int state = (boardHasDevices(board) ? 0x02 : 0) | (b.remoteEnable ? 0x10 : 0) |
              ((bus().boardStatus(board) & SRQI) ? 0x20 : 0) | ((b.cic && b.atn) ? 0x40 : 0);
  put(lines, 0xFB | (state << 8));
  return finish(baseStatus(ud) | CMPL, 0, 0);
}

int ibln(int ud, int pad, int sad, short* listen) {
  HANDLE_CALL(ud);
  bool anySad = sad == 0xFFFF || sad == -1;
  if (!listen || pad < 0 || pad > 30 || !(sad == 0 || anySad || (sad >= 0x60 && sad <= 0x7E)))
    return fail(baseStatus(ud), EARG);
  if (int sta = 0; refused(ud, sta) || notController(ud, sta)) return sta;
  int b = boardIndex(ud);
  bool found = false;
  if (anySad) {
    for (auto& d : bus().devices) found |= d.board == b && d.pad == pad;
  } else {
    found = bus().find(b, pad, sad) != nullptr;
  }
  put(listen, found ? 1 : 0);
  return finish(baseStatus(ud) | CMPL, 0, 0);
}

int iblck(int ud, int v, int, void*) {
  HANDLE_CALL(ud);
  if (v < 0 || v > 1) return fail(baseStatus(ud), EARG);
  Board& b = boardOf(ud);
  if (b.lockOwner >= 0 && b.lockOwner != ud) return fail(baseStatus(ud), ELCK);
  if (v == 0 && b.lockOwner != ud) return fail(baseStatus(ud), ELCK);
  b.lockOwner = v ? ud : -1;
  return finish(baseStatus(ud) | CMPL, 0, 0);
}

int ibrdfA(int ud, const char* fileName) {
  HANDLE_CALL(ud);
  if (!fileName) return fail(baseStatus(ud), EARG);
  if (int sta = 0; readRefused(ud, nullptr, 0, sta)) return sta;
  return vexon::ReadIntoFile(fileName, baseStatus(ud), bus().cfg(ud, IbcEOSrd) != 0, bus().cfg(ud, IbcEOSchar),
                             [ud](void* buf, int count, int& got) {
                               int sta = deviceRead(ud, buf, count);
                               got = vexon::LastCount();
                               return sta;
                             });
}

int ibwrtfA(int ud, const char* fileName) {
  HANDLE_CALL(ud);
  if (!fileName) return fail(baseStatus(ud), EARG);
  return vexon::WriteFromFile(fileName, baseStatus(ud), [ud](const void* buf, int count) {
    if (int sta = 0; writeRefused(ud, buf, count, sta)) return sta;
    return deviceWrite(ud, buf, count);
  });
}

}  // namespace vorel::sim
