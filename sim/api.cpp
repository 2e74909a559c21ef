// The driver's C entry points. Every call takes the bus mutex, runs against the
// model and leaves ibsta/iberr/ibcntl behind.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>

#include "../src/driver/gpib.h"
#include "bus.h"

#define SIM_API extern "C" __attribute__((visibility("default")))

using namespace vorel::sim;

#ifdef VOREL_SIM_LEGACY
extern "C" {
__attribute__((visibility("default"))) int user_ibsta = 0;
__attribute__((visibility("default"))) int user_iberr = 0;
__attribute__((visibility("default"))) int user_ibcntl = 0;
}
#else
SIM_API int Ibsta(void) { std::lock_guard l(busMutex()); return bus().status.sta; }
SIM_API int Iberr(void) { std::lock_guard l(busMutex()); return bus().status.err; }
SIM_API int Ibcnt(void) { std::lock_guard l(busMutex()); return bus().status.cnt; }
#endif

namespace {
using Lock = std::lock_guard<std::mutex>;

int finish(int sta, int err, int cnt) {
  auto& s = bus().status;
  s.sta = sta;
  s.err = (sta & ERR) ? err : s.err;
  s.cnt = cnt;
#ifdef VOREL_SIM_LEGACY
  user_ibsta = s.sta;
  user_iberr = s.err;
  user_ibcntl = s.cnt;
#endif
  return sta;
}
int fail(int base, int err, int cnt = 0) { return finish(base | ERR, err, cnt); }

int baseStatus(int ud) {
  Bus& b = bus();
  const Handle& h = b.handles[ud];
  int s = b.boardStatus(h.board);
  if (!h.isBoard) {
    s &= ~(ATN | SRQI);
    Device* d = b.find(h.board, b.cfg(ud, IbcPAD), b.cfg(ud, IbcSAD));
    if (d && d->state.srq) s |= RQS;
    if (d && d->state.remote) s |= REM;
    if (d && d->state.lockout) s |= LOK;
    s &= ~CIC;
  }
  return s;
}

int newHandle(bool isBoard, int board) {
  Bus& b = bus();
  Handle h;
  h.used = true;
  h.isBoard = isBoard;
  h.board = board;
  h.config = defaultConfig(isBoard);
  for (size_t i = 0; i < b.handles.size(); ++i)
    if (!b.handles[i].used) { b.handles[i] = h; return static_cast<int>(i); }
  b.handles.push_back(h);
  return static_cast<int>(b.handles.size() - 1);
}

bool validAddr(int pad, int sad) { return pad >= 0 && pad <= 30 && (sad == 0 || (sad >= 0x60 && sad <= 0x7E)); }
Device* deviceAt(int board, uint16_t a) { return bus().find(board, a & 0xFF, a >> 8); }

// Write to a device. Returns status bits; sets cnt.
int writeTo(Device& d, const uint8_t* buf, int count, bool eoi, int base) {
  d.model->listen(d.state, buf, static_cast<size_t>(count), eoi);
  return finish(base | CMPL, 0, count);
}

// Read from a device, stopping at EOI, at eosChar when stopAtEos, or at count.
int readFrom(Device& d, uint8_t* buf, int count, bool stopAtEos, int eosChar, int base) {
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
  if (n == 0 && count > 0) return fail(base | TIMO, EABO, 0);
  return finish(base | CMPL | (end ? END : 0), 0, static_cast<int>(n));
}

bool boardOk(int board) { return board == 0 || board == 1; }
bool listOk(const uint16_t* list) { return list != nullptr; }
template <class F> void forList(const uint16_t* list, F f) {
  for (int i = 0; list[i] != NOADDR && i < 1024; ++i) f(i, list[i]);
}
}  // namespace

#define CHECK_UD(ud) if (!bus().validHandle(ud)) return fail(0, EDVR)
#define CHECK_BOARD(bd) if (!boardOk(bd)) { fail(0, EDVR); return; }

SIM_API int ibfindA(const char* name) {
  Lock l(busMutex());
  if (!name) { fail(0, EARG); return -1; }
  std::string n(name);
  for (auto& c : n) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (n == "gpib0" || n == "gpib1") {
    int ud = newHandle(true, n[4] - '0');
    finish(bus().boardStatus(bus().handles[ud].board) | CMPL, 0, 0);
    return ud;
  }
  for (auto& d : bus().devices)
    if (n == d.name) {
      int ud = newHandle(false, d.board);
      bus().handles[ud].config[IbcPAD] = d.pad;
      bus().handles[ud].config[IbcSAD] = d.sad;
      finish(CMPL, 0, 0);
      return ud;
    }
  fail(0, EDVR);
  return -1;
}

SIM_API int ibdev(int board, int pad, int sad, int tmo, int eot, int eos) {
  Lock l(busMutex());
  if (!boardOk(board)) { fail(0, EDVR); return -1; }
  if (!validAddr(pad, sad) || tmo < 0 || tmo > 17 || eot < 0 || eot > 1 || eos < 0 || eos > 0xFFFF) {
    fail(0, EARG);
    return -1;
  }
  int ud = newHandle(false, board);
  auto& c = bus().handles[ud].config;
  c[IbcPAD] = pad; c[IbcSAD] = sad; c[IbcTMO] = tmo; c[IbcEOT] = eot; c[IbcEOS] = eos;
  c[IbcEOSchar] = eos & 0xFF; c[IbcEOSrd] = (eos & 0x400) != 0;
  c[IbcEOSwrt] = (eos & 0x800) != 0; c[IbcEOScmp] = (eos & 0x1000) != 0;
  finish(CMPL, 0, 0);
  return ud;
}

SIM_API int ibonl(int ud, int v) {
  Lock l(busMutex());
  CHECK_UD(ud);
  if (v < 0 || v > 1) return fail(0, EARG);
  Handle& h = bus().handles[ud];
  int s = baseStatus(ud);
  if (v == 0) h.used = false;
  else { bool isB = h.isBoard; int pad = h.config[IbcPAD], sad = h.config[IbcSAD];
    h.config = defaultConfig(isB); h.config[IbcPAD] = pad; h.config[IbcSAD] = sad; }
  return finish(s | CMPL, 0, 0);
}

SIM_API int ibask(int ud, int option, int* value) {
  Lock l(busMutex());
  CHECK_UD(ud);
  if (!value) return fail(baseStatus(ud), EARG);
  const OptionInfo* o = optionInfo(option);
  if (!o) return fail(baseStatus(ud), EARG);
  Handle& h = bus().handles[ud];
  if (!(h.isBoard ? o->board : o->device)) return fail(baseStatus(ud), ECAP);
  *value = h.config[option];
  return finish(baseStatus(ud) | CMPL, 0, 0);
}

SIM_API int ibconfig(int ud, int option, int value) {
  Lock l(busMutex());
  CHECK_UD(ud);
  const OptionInfo* o = optionInfo(option);
  if (!o) return fail(baseStatus(ud), EARG);
  Handle& h = bus().handles[ud];
  if (!(h.isBoard ? o->board : o->device)) return fail(baseStatus(ud), ECAP);
  if (value < o->lo || value > o->hi) return fail(baseStatus(ud), EARG);
  if (option == IbcSAD && value != 0 && value < 0x60) return fail(baseStatus(ud), EARG);
  int prev = h.config[option];
  h.config[option] = value;
  if (option == IbcSRE && h.isBoard) bus().remoteEnable[h.board] = value != 0;
  // The previous value comes back in iberr.
  bus().status.err = prev;
  int s = finish(baseStatus(ud) | CMPL, 0, 0);
  bus().status.err = prev;
#ifdef VOREL_SIM_LEGACY
  user_iberr = prev;
#endif
  return s;
}

static Device* deviceOf(int ud) {
  Bus& b = bus();
  return b.find(b.handles[ud].board, b.cfg(ud, IbcPAD), b.cfg(ud, IbcSAD));
}

SIM_API int ibwrt(int ud, const void* buf, int count) {
  Lock l(busMutex());
  CHECK_UD(ud);
  if ((!buf && count) || count < 0) return fail(baseStatus(ud), EARG);
  if (bus().handles[ud].isBoard) return fail(baseStatus(ud), ECAP);
  Device* d = deviceOf(ud);
  if (!d) return fail(baseStatus(ud), ENOL);
  return writeTo(*d, static_cast<const uint8_t*>(buf), count, bus().cfg(ud, IbcEOT) != 0, baseStatus(ud));
}

SIM_API int ibrd(int ud, void* buf, int count) {
  Lock l(busMutex());
  CHECK_UD(ud);
  if ((!buf && count) || count < 0) return fail(baseStatus(ud), EARG);
  if (bus().handles[ud].isBoard) return fail(baseStatus(ud), ECAP);
  Device* d = deviceOf(ud);
  if (!d) return fail(baseStatus(ud) | TIMO, EABO);
  return readFrom(*d, static_cast<uint8_t*>(buf), count, bus().cfg(ud, IbcEOSrd) != 0,
                  bus().cfg(ud, IbcEOSchar), baseStatus(ud));
}

// No asynchronous engine yet: the asynchronous forms complete at once.
SIM_API int ibwrta(int ud, const void* buf, int count) { return ibwrt(ud, buf, count); }
SIM_API int ibrda(int ud, void* buf, int count) { return ibrd(ud, buf, count); }

SIM_API int ibclr(int ud) {
  Lock l(busMutex());
  CHECK_UD(ud);
  if (bus().handles[ud].isBoard) return fail(baseStatus(ud), ECAP);
  Device* d = deviceOf(ud);
  if (!d) return fail(baseStatus(ud), ENOL);
  d->model->deviceClear(d->state);
  return finish(baseStatus(ud) | CMPL, 0, 0);
}

SIM_API int ibtrg(int ud) {
  Lock l(busMutex());
  CHECK_UD(ud);
  if (bus().handles[ud].isBoard) return fail(baseStatus(ud), ECAP);
  Device* d = deviceOf(ud);
  if (!d) return fail(baseStatus(ud), ENOL);
  d->model->trigger(d->state);
  return finish(baseStatus(ud) | CMPL, 0, 0);
}

SIM_API int ibrsp(int ud, char* spr) {
  Lock l(busMutex());
  CHECK_UD(ud);
  if (!spr) return fail(baseStatus(ud), EARG);
  if (bus().handles[ud].isBoard) return fail(baseStatus(ud), ECAP);
  Device* d = deviceOf(ud);
  if (!d) return fail(baseStatus(ud) | TIMO, EABO);
  *spr = static_cast<char>(d->model->serialPoll(d->state));
  return finish(baseStatus(ud) | CMPL, 0, 0);
}

SIM_API int ibloc(int ud) {
  Lock l(busMutex());
  CHECK_UD(ud);
  if (!bus().handles[ud].isBoard) {
    if (Device* d = deviceOf(ud)) d->state.remote = false;
  }
  return finish(baseStatus(ud) | CMPL, 0, 0);
}

SIM_API int ibsic(int ud) {
  Lock l(busMutex());
  CHECK_UD(ud);
  if (!bus().handles[ud].isBoard) return fail(baseStatus(ud), EARG);
  return finish(baseStatus(ud) | CMPL, 0, 0);
}

SIM_API int ibwait(int ud, int mask) {
  Lock l(busMutex());
  CHECK_UD(ud);
  int s = baseStatus(ud) | CMPL;
  // Synchronous model: a condition that is not already true times out at once.
  if ((mask & ~(TIMO | CMPL)) && !(s & mask & ~TIMO)) s |= TIMO;
  return finish(s, 0, bus().status.cnt);
}

SIM_API int iblines(int ud, short* lines) {
  Lock l(busMutex());
  CHECK_UD(ud);
  if (!lines) return fail(baseStatus(ud), EARG);
  int h = bus().handles[ud].board;
  int srq = (bus().boardStatus(h) & SRQI) ? 0x20 : 0;
  int ren = bus().remoteEnable[h] ? 0x10 : 0;
  // Valid bits for all lines (low byte), line states in the high byte.
  *lines = static_cast<short>(0xFF | ((srq | ren | 0x40 /*ATN*/) << 8));
  return finish(baseStatus(ud) | CMPL, 0, 0);
}

SIM_API int ibln(int ud, int pad, int sad, short* listen) {
  Lock l(busMutex());
  CHECK_UD(ud);
  if (!listen || pad < 0 || pad > 30 || !(sad == 0 || sad == 0xFFFF || sad == -1 || (sad >= 0x60 && sad <= 0x7E)))
    return fail(baseStatus(ud), EARG);
  int b = bus().handles[ud].board;
  bool found = false;
  if (sad == 0xFFFF || sad == -1) {  // any secondary
    for (auto& d : bus().devices) found |= d.board == b && d.pad == pad;
  } else {
    found = bus().find(b, pad, sad) != nullptr;
  }
  *listen = found ? 1 : 0;
  return finish(baseStatus(ud) | CMPL, 0, 0);
}

SIM_API int ibcmd(int ud, const void* buf, int count) {
  Lock l(busMutex());
  CHECK_UD(ud);
  if ((!buf && count) || count < 0) return fail(baseStatus(ud), EARG);
  if (!bus().handles[ud].isBoard) return fail(baseStatus(ud), ECAP);
  int b = bus().handles[ud].board;
  const auto* p = static_cast<const uint8_t*>(buf);
  int lastPad = -1;
  std::vector<Device*> listeners;
  for (int i = 0; i < count; ++i) {
    uint8_t c = p[i] & 0x7F;
    if (c == 0x3F) listeners.clear();
    else if (c >= 0x20 && c < 0x3F) {
      lastPad = c - 0x20;
      if (Device* d = bus().find(b, lastPad, 0)) listeners.push_back(d);
    } else if (c >= 0x60 && c <= 0x7E && lastPad >= 0) {
      if (Device* d = bus().find(b, lastPad, c)) listeners.push_back(d);
    } else if (c == 0x04 || c == 0x14) {  // SDC, DCL
      for (auto& d : bus().devices)
        if (d.board == b && (c == 0x14 || std::find(listeners.begin(), listeners.end(), &d) != listeners.end()))
          d.model->deviceClear(d.state);
    } else if (c == 0x08) {
      for (Device* d : listeners) d->model->trigger(d->state);
    } else if (c == 0x01) {
      for (Device* d : listeners) d->state.remote = false;
    } else if (c == 0x11) {
      for (auto& d : bus().devices) if (d.board == b) d.state.lockout = true;
    }
  }
  return finish(baseStatus(ud) | CMPL, 0, count);
}
SIM_API int ibcmda(int ud, const void* buf, int count) { return ibcmd(ud, buf, count); }

// ---- Not yet simulated: these report ECAP.
#define NOT_SIMULATED_UD(name, params, ud)          \
  SIM_API int name params {                         \
    Lock l(busMutex());                             \
    CHECK_UD(ud);                                   \
    return fail(baseStatus(ud), ECAP);              \
  }
NOT_SIMULATED_UD(ibcac, (int ud, int), ud)
NOT_SIMULATED_UD(ibeos, (int ud, int), ud)
NOT_SIMULATED_UD(ibexpert, (int ud, int, void*, void*), ud)
NOT_SIMULATED_UD(ibgts, (int ud, int), ud)
NOT_SIMULATED_UD(iblck, (int ud, int, int, void*), ud)
NOT_SIMULATED_UD(ibnotify, (int ud, int, NotifyCallback, void*), ud)
NOT_SIMULATED_UD(ibpct, (int ud), ud)
NOT_SIMULATED_UD(ibppc, (int ud, int), ud)
NOT_SIMULATED_UD(ibrdfA, (int ud, const char*), ud)
NOT_SIMULATED_UD(ibrpp, (int ud, char*), ud)
NOT_SIMULATED_UD(ibstop, (int ud), ud)
NOT_SIMULATED_UD(ibwrtfA, (int ud, const char*), ud)

#define NOT_SIMULATED_BOARD(name, params, board) \
  SIM_API void name params {                      \
    Lock l(busMutex());                           \
    CHECK_BOARD(board);                           \
    fail(CIC, ECAP);                              \
  }
NOT_SIMULATED_BOARD(PPoll, (int board, short*), board)
NOT_SIMULATED_BOARD(PPollConfig, (int board, uint16_t, int, int), board)
NOT_SIMULATED_BOARD(PPollUnconfig, (int board, const uint16_t*), board)
NOT_SIMULATED_BOARD(PassControl, (int board, uint16_t), board)
NOT_SIMULATED_BOARD(RcvRespMsg, (int board, void*, int, int), board)
NOT_SIMULATED_BOARD(ReceiveSetup, (int board, uint16_t), board)
NOT_SIMULATED_BOARD(SendCmds, (int board, const void*, int), board)
NOT_SIMULATED_BOARD(SendDataBytes, (int board, const void*, int, int), board)
NOT_SIMULATED_BOARD(SendSetup, (int board, const uint16_t*), board)

// ---- IEEE 488.2 routines.
#define BOARD_GUARD(board, cond)          \
  Lock l(busMutex());                     \
  CHECK_BOARD(board);                     \
  if (!(cond)) { fail(CIC, EARG); return; }

static const int kBoardSta = CIC | ATN;

SIM_API void SendIFC(int board) {
  BOARD_GUARD(board, true);
  finish(kBoardSta | CMPL, 0, 0);
}

SIM_API void DevClear(int board, uint16_t address) {
  BOARD_GUARD(board, true);
  if (address == NOADDR) {
    for (auto& d : bus().devices) if (d.board == board) d.model->deviceClear(d.state);
    finish(kBoardSta | CMPL, 0, 0);
    return;
  }
  Device* d = deviceAt(board, address);
  if (!d) { fail(kBoardSta, ENOL); return; }
  d->model->deviceClear(d->state);
  finish(kBoardSta | CMPL, 0, 0);
}

SIM_API void DevClearList(int board, const uint16_t* list) {
  BOARD_GUARD(board, listOk(list));
  if (list[0] == NOADDR) {
    for (auto& d : bus().devices) if (d.board == board) d.model->deviceClear(d.state);
    finish(kBoardSta | CMPL, 0, 0);
    return;
  }
  bool missing = false;
  forList(list, [&](int, uint16_t a) { if (!deviceAt(board, a)) missing = true; });
  if (missing) { fail(kBoardSta, ENOL); return; }
  forList(list, [&](int, uint16_t a) { Device* d = deviceAt(board, a); d->model->deviceClear(d->state); });
  finish(kBoardSta | CMPL, 0, 0);
}

SIM_API void FindLstn(int board, const uint16_t* padList, uint16_t* results, int limit) {
  BOARD_GUARD(board, padList && results && limit >= 0);
  int n = 0;
  bool overflow = false;
  auto add = [&](uint16_t a) { if (n < limit) results[n++] = a; else overflow = true; };
  forList(padList, [&](int, uint16_t a) {
    int pad = a & 0xFF;
    if (bus().find(board, pad, 0)) { add(static_cast<uint16_t>(pad)); return; }
    for (int s = 0x60; s <= 0x7E; ++s)
      if (bus().find(board, pad, s)) add(static_cast<uint16_t>(pad | (s << 8)));
  });
  if (overflow) { fail(kBoardSta, ETAB, n); return; }
  finish(kBoardSta | CMPL, 0, n);
}

SIM_API void AllSpoll(int board, const uint16_t* list, short* results) {
  BOARD_GUARD(board, listOk(list) && results);
  int n = 0;
  bool timedOut = false;
  forList(list, [&](int i, uint16_t a) {
    if (timedOut) return;
    Device* d = deviceAt(board, a);
    if (!d) { timedOut = true; return; }
    results[i] = d->model->serialPoll(d->state);
    n = i + 1;
  });
  if (timedOut) { fail(kBoardSta | TIMO, EABO, n); return; }
  finish(kBoardSta | CMPL, 0, n);
}

SIM_API void ReadStatusByte(int board, uint16_t address, short* result) {
  BOARD_GUARD(board, result);
  Device* d = deviceAt(board, address);
  if (!d) { fail(kBoardSta | TIMO, EABO); return; }
  *result = d->model->serialPoll(d->state);
  finish(kBoardSta | CMPL, 0, 1);
}

SIM_API void FindRQS(int board, const uint16_t* list, short* result) {
  BOARD_GUARD(board, listOk(list) && result);
  int found = -1, idx = 0;
  bool timedOut = false;
  forList(list, [&](int i, uint16_t a) {
    if (found >= 0 || timedOut) return;
    idx = i;
    Device* d = deviceAt(board, a);
    if (!d) { timedOut = true; return; }
    int stb = d->model->serialPoll(d->state);
    if (stb & 0x40) { found = i; *result = static_cast<short>(stb); }
  });
  if (timedOut) { fail(kBoardSta | TIMO, EABO, idx); return; }
  if (found < 0) { fail(kBoardSta, ETAB, idx + 1); return; }
  finish(kBoardSta | CMPL, 0, found);
}

SIM_API void Send(int board, uint16_t address, const void* buf, int count, int eotMode) {
  BOARD_GUARD(board, (buf || !count) && count >= 0 && eotMode >= NULLend && eotMode <= DABend);
  Device* d = deviceAt(board, address);
  if (!d) { fail(kBoardSta, ENOL); return; }
  const auto* p = static_cast<const uint8_t*>(buf);
  if (eotMode == NLend) {
    d->model->listen(d->state, p, static_cast<size_t>(count), false);
    const uint8_t nl = '\n';
    d->model->listen(d->state, &nl, 1, true);
    finish(kBoardSta | CMPL, 0, count + 1);
    return;
  }
  writeTo(*d, p, count, eotMode == DABend, kBoardSta);
}

SIM_API void SendList(int board, const uint16_t* list, const void* buf, int count, int eotMode) {
  BOARD_GUARD(board, listOk(list) && (buf || !count) && count >= 0 && eotMode >= NULLend && eotMode <= DABend);
  bool missing = list[0] == NOADDR;
  forList(list, [&](int, uint16_t a) { if (!deviceAt(board, a)) missing = true; });
  if (missing) { fail(kBoardSta, ENOL); return; }
  const auto* p = static_cast<const uint8_t*>(buf);
  const uint8_t nl = '\n';
  forList(list, [&](int, uint16_t a) {
    Device* d = deviceAt(board, a);
    d->model->listen(d->state, p, static_cast<size_t>(count), eotMode == DABend);
    if (eotMode == NLend) d->model->listen(d->state, &nl, 1, true);
  });
  finish(kBoardSta | CMPL, 0, count + (eotMode == NLend ? 1 : 0));
}

SIM_API void Receive(int board, uint16_t address, void* buf, int count, int termination) {
  BOARD_GUARD(board, (buf || !count) && count >= 0 && termination >= 0 && termination <= STOPend);
  Device* d = deviceAt(board, address);
  if (!d) { fail(kBoardSta | TIMO, EABO); return; }
  readFrom(*d, static_cast<uint8_t*>(buf), count, termination != STOPend, termination, kBoardSta);
}

SIM_API void Trigger(int board, uint16_t address) {
  BOARD_GUARD(board, true);
  Device* d = deviceAt(board, address);
  if (!d) { fail(kBoardSta, ENOL); return; }
  d->model->trigger(d->state);
  finish(kBoardSta | CMPL, 0, 0);
}

SIM_API void TriggerList(int board, const uint16_t* list) {
  BOARD_GUARD(board, listOk(list));
  bool missing = false;
  forList(list, [&](int, uint16_t a) { if (!deviceAt(board, a)) missing = true; });
  if (missing) { fail(kBoardSta, ENOL); return; }
  forList(list, [&](int, uint16_t a) { Device* d = deviceAt(board, a); d->model->trigger(d->state); });
  finish(kBoardSta | CMPL, 0, 0);
}

// Remote/local helpers: apply f to every device of the list (all when empty).
template <class F> static bool applyList(int board, const uint16_t* list, F f) {
  if (list[0] == NOADDR) {
    for (auto& d : bus().devices) if (d.board == board) f(d);
    return true;
  }
  bool missing = false;
  forList(list, [&](int, uint16_t a) { if (!deviceAt(board, a)) missing = true; });
  if (missing) return false;
  forList(list, [&](int, uint16_t a) { f(*deviceAt(board, a)); });
  return true;
}

SIM_API void EnableRemote(int board, const uint16_t* list) {
  BOARD_GUARD(board, listOk(list));
  bus().remoteEnable[board] = true;
  if (list[0] == NOADDR) { finish(kBoardSta | CMPL, 0, 0); return; }
  if (!applyList(board, list, [](Device& d) { d.state.remote = true; })) { fail(kBoardSta, ENOL); return; }
  finish(kBoardSta | CMPL, 0, 0);
}

SIM_API void EnableLocal(int board, const uint16_t* list) {
  BOARD_GUARD(board, listOk(list));
  if (list[0] == NOADDR) {
    bus().remoteEnable[board] = false;
    for (auto& d : bus().devices)
      if (d.board == board) d.state.remote = d.state.lockout = false;
    finish(kBoardSta | CMPL, 0, 0);
    return;
  }
  if (!applyList(board, list, [](Device& d) { d.state.remote = false; })) { fail(kBoardSta, ENOL); return; }
  finish(kBoardSta | CMPL, 0, 0);
}

SIM_API void SendLLO(int board) {
  BOARD_GUARD(board, true);
  for (auto& d : bus().devices) if (d.board == board) d.state.lockout = true;
  finish(kBoardSta | CMPL, 0, 0);
}

SIM_API void SetRWLS(int board, const uint16_t* list) {
  BOARD_GUARD(board, listOk(list));
  bus().remoteEnable[board] = true;
  if (!applyList(board, list, [](Device& d) { d.state.remote = true; d.state.lockout = true; })) {
    fail(kBoardSta, ENOL);
    return;
  }
  finish(kBoardSta | CMPL, 0, 0);
}

SIM_API void TestSRQ(int board, short* result) {
  BOARD_GUARD(board, result);
  *result = (bus().boardStatus(board) & SRQI) ? 1 : 0;
  finish(bus().boardStatus(board) | CMPL, 0, 0);
}

SIM_API void WaitSRQ(int board, short* result) {
  BOARD_GUARD(board, result);
  // No waiting in the model: either SRQ is asserted now or the wait times out.
  int s = bus().boardStatus(board);
  *result = (s & SRQI) ? 1 : 0;
  finish(s | CMPL | (*result ? 0 : TIMO), 0, 0);
}

SIM_API void TestSys(int board, const uint16_t* list, short* results) {
  BOARD_GUARD(board, listOk(list) && results);
  bool missing = false;
  forList(list, [&](int, uint16_t a) { if (!deviceAt(board, a)) missing = true; });
  if (missing) { fail(kBoardSta, ENOL); return; }
  int failures = 0;
  const char q[] = "*TST?\n";
  forList(list, [&](int i, uint16_t a) {
    Device* d = deviceAt(board, a);
    d->model->listen(d->state, reinterpret_cast<const uint8_t*>(q), 6, true);
    uint8_t buf[32] = {};
    bool end = false;
    size_t n = d->model->talk(d->state, buf, sizeof buf - 1, end);
    results[i] = static_cast<short>(n ? std::atoi(reinterpret_cast<char*>(buf)) : 0);
    if (results[i] != 0) ++failures;
  });
  finish(kBoardSta | CMPL, 0, failures);
}

SIM_API void ResetSys(int board, const uint16_t* list) {
  BOARD_GUARD(board, listOk(list));
  bus().remoteEnable[board] = true;
  for (auto& d : bus().devices) if (d.board == board) d.model->deviceClear(d.state);
  const char r[] = "*RST\n";
  if (!applyList(board, list, [&](Device& d) {
        d.model->listen(d.state, reinterpret_cast<const uint8_t*>(r), 5, true);
      })) {
    fail(kBoardSta, ENOL);
    return;
  }
  finish(kBoardSta | CMPL, 0, 0);
}
