#include "calls.h"

#include <algorithm>

#include "described/instance.h"

namespace vorel::sim {

Call::Call() : lock_(busMutex()) {}

Call::~Call() {
  bool work = engineHasWork();
  lock_.unlock();
  if (work && !onEngineThread()) pumpEngine();
}

bool badHandle(int ud, int& sta) {
  if (ud < 0 || ud >= kMaxHandles) {
    sta = fail(0, EHDL);
    return true;
  }
  if (!bus().validHandle(ud)) {
    sta = fail(0, EDVR);
    return true;
  }
  return false;
}

int baseStatus(int ud) {
  Bus& b = bus();
  if (isBoardHandle(ud)) return b.boardStatus(boardIndex(ud));
  int s = 0;
  if (Device* d = deviceOf(ud)) {
    if (d->state.srq) s |= RQS;
    if (d->state.remote) s |= REM;
    if (d->state.lockout) s |= LOK;
  }
  return s;
}


bool lockedOut(int board, int ud) {
  int owner = bus().boards[board].lockOwner;
  if (owner < 0 || owner == ud) return false;
  if (ud < 0 && isBoardHandle(owner)) return false;  // 488.2 routines act as the board
  return true;
}

int takeFault(int board) {
  int f = bus().boards[board].fault;
  bus().boards[board].fault = 0;
  return f;
}

Device* deviceOf(int ud) {
  Bus& b = bus();
  return b.find(boardIndex(ud), b.cfg(ud, IbcPAD), b.cfg(ud, IbcSAD));
}

bool boardHasDevices(int board) {
  for (const auto& d : bus().devices)
    if (d.board == board) return true;
  return false;
}

Device* deviceAt(int board, uint16_t a) {
  if ((a & 0xFF) > 30) return nullptr;
  return bus().find(board, a & 0xFF, a >> 8);
}

void addressToListen(int board, Device& d) {
  Board& b = bus().boards[board];
  b.talker = kBoardTalks;
  b.boardListens = false;
  b.listeners.assign(1, bus().indexOf(&d));
}

void addressToTalk(int board, Device& d) {
  Board& b = bus().boards[board];
  b.talker = bus().indexOf(&d);
  b.boardListens = true;
  b.listeners.clear();
}

void unaddress(int board) {
  Board& b = bus().boards[board];
  b.talker = kNoTalker;
  b.boardListens = false;
  b.listeners.clear();
}

int writeTo(Device& d, const uint8_t* buf, int count, bool eoi, int base) {
  d.model->listen(d.state, buf, static_cast<size_t>(count), eoi);
  return finish(base | CMPL, 0, count);
}

int readFrom(Device& d, uint8_t* buf, int count, bool stopAtEos, int eosChar, int base, int& err,
             int& cnt, int64_t wait) {
  const int64_t start = bus().now;
  const bool waits = wait != kNoWait && count > 0;
  if (waits && d.state.described) {
    described::Instance& in = *d.state.described;
    if (described::ReadableAt(in) < 0) {
      described::QueryError(in);
      d.state.srq = in.status.srq;
    }
    // A response on its way: wait for it, or time out with it still pending.
    if (!waitFor(d.board, &d, wait, [&] { return !in.output.empty(); }) && described::ReadableAt(in) > 0) {
      cnt = 0;
      err = EABO;
      return base | TIMO | ERR;
    }
  }
  size_t n = 0;
  bool end = false;
  if (!stopAtEos) {
    n = d.model->talk(d.state, buf, static_cast<size_t>(count), end);
  } else {
    while (n < static_cast<size_t>(count) && !end) {
      bool e = false;
      if (d.model->talk(d.state, buf + n, 1, e) == 0) break;
      end = e || buf[n] == static_cast<uint8_t>(eosChar);
      ++n;
    }
  }
  cnt = static_cast<int>(n);
  if (n == 0 && count > 0) {
    if (waits && wait != kForever) advanceTime(start + wait);
    err = EABO;
    return base | TIMO | ERR;
  }
  err = 0;
  return base | CMPL | (end ? END : 0);
}

// The parallel poll response of a board's devices: a line is asserted by each
// configured device whose individual status (requesting service) matches its sense.
int parallelPoll(int board) {
  int r = 0;
  for (const auto& d : bus().devices) {
    if (d.board != board || d.ppe == 0) continue;
    bool sense = (d.ppe & 0x08) != 0;
    if (d.state.srq == sense) r |= 1 << (d.ppe & 0x07);
  }
  return r;
}


void runCommands(int board, const uint8_t* p, int count) {
  Bus& bs = bus();
  Board& b = bs.boards[board];
  int lastPad = -1;
  bool lastWasTalk = false;
  auto listener = [&](Device* d) {
    int i = bs.indexOf(d);
    if (std::find(b.listeners.begin(), b.listeners.end(), i) == b.listeners.end())
      b.listeners.push_back(i);
  };
  for (int i = 0; i < count; ++i) {
    uint8_t c = p[i] & 0x7F;
    if (c == command::UNL) {
      b.listeners.clear();
      b.boardListens = false;
      lastPad = -1;
    } else if (c == command::UNT) {
      b.talker = kNoTalker;
      lastPad = -1;
    } else if (c >= command::LAD && c < command::UNL) {  // MLA
      lastPad = c - command::LAD;
      lastWasTalk = false;
      if (lastPad == 0) b.boardListens = true;
      else if (Device* d = bs.find(board, lastPad, 0)) listener(d);
    } else if (c >= command::TAD && c < command::UNT) {  // MTA
      lastPad = c - command::TAD;
      lastWasTalk = true;
      if (lastPad == 0) b.talker = kBoardTalks;
      else if (Device* d = bs.find(board, lastPad, 0)) b.talker = bs.indexOf(d);
      else b.talker = kAbsentTalker;
    } else if (c >= command::SAD && c <= 0x7E && lastPad > 0) {  // secondary of the last address
      if (Device* d = bs.find(board, lastPad, c)) {
        if (lastWasTalk) b.talker = bs.indexOf(d);
        else listener(d);
      }
    } else if (c == command::DCL) {
      for (auto& d : bs.devices)
        if (d.board == board) d.model->deviceClear(d.state);
    } else if (c == command::SDC) {
      for (int l : b.listeners) bs.devices[l].model->deviceClear(bs.devices[l].state);
    } else if (c == command::GET) {
      for (int l : b.listeners) bs.devices[l].model->trigger(bs.devices[l].state);
    } else if (c == command::GTL) {
      for (int l : b.listeners) bs.devices[l].state.remote = false;
    } else if (c == command::LLO) {
      for (auto& d : bs.devices)
        if (d.board == board) d.state.lockout = true;
    } else if (c == command::PPU) {
      for (auto& d : bs.devices)
        if (d.board == board) d.ppe = 0;
    } else if (c == command::TCT && b.talker >= 0) {  // the addressed talker takes control
      b.cic = false;
      b.dcas = b.dtas = true;
    }
  }
}

}  // namespace vorel::sim
