// The IEEE 488.2 routines of the simulated driver. They take a board index and
// address lists ended by NOADDR, and report with the board's status.
#include <cstdlib>
#include <cstring>

#include "calls.h"
#include "../router/addresses.h"

using namespace vorel::sim;

namespace {

using vexon::ForList;

int status(int board) { return bus().boardStatus(board); }

// The checks every routine starts with; false after the failure is reported.
bool ready(int board, bool argsOk) {
  if (!argsOk) return fail(status(board), EARG), false;
  if (lockedOut(board, -1)) return fail(status(board), ELCK), false;
  if (!bus().boards[board].cic) return fail(status(board), ECIC), false;
  if (int f = takeFault(board)) return fail(status(board), f), false;
  bus().boards[board].atn = true;
  return true;
}

bool anyMissing(int board, const uint16_t* list) {
  bool missing = false;
  ForList(list, [&](int, uint16_t a) { missing |= deviceAt(board, a) == nullptr; });
  return missing;
}

// Applies f to every device of the list, or of the board when the list is empty.
template <class F>
bool applyList(int board, const uint16_t* list, F f) {
  if (list[0] == NOADDR) {
    for (auto& d : bus().devices)
      if (d.board == board) f(d);
    return true;
  }
  if (anyMissing(board, list)) return false;
  ForList(list, [&](int, uint16_t a) { f(*deviceAt(board, a)); });
  return true;
}

void done(int board, int cnt = 0) { finish(status(board) | CMPL, 0, cnt); }

void sendTo(Device& d, const uint8_t* p, int count, int eotMode) {
  d.model->listen(d.state, p, static_cast<size_t>(count), eotMode == DABend);
  if (eotMode == NLend) {
    const uint8_t nl = '\n';
    d.model->listen(d.state, &nl, 1, true);
  }
}

// Reads from the addressed talker into buf; termination is STOPend or an EOS byte.
void receiveFrom(int board, Device* d, void* buf, int count, int termination) {
  if (!d) return void(fail(status(board) | TIMO, EABO));
  int err = 0, cnt = 0;
  int sta = readFrom(*d, static_cast<uint8_t*>(buf), count, termination != STOPend,
                     termination & 0xFF, status(board), err, cnt, boardTimeout(board));
  finish(sta, err, cnt);
}

// The board talks, the listed devices listen.
void listenersOf(int board, const uint16_t* list) {
  Board& b = bus().boards[board];
  unaddress(board);
  b.talker = kBoardTalks;
  ForList(list, [&](int, uint16_t a) { b.listeners.push_back(bus().indexOf(deviceAt(board, a))); });
}

bool eotOk(int eotMode) { return eotMode >= NULLend && eotMode <= DABend; }
bool bufferOk(const void* buf, int count) { return (buf || !count) && count >= 0; }

}  // namespace

namespace vorel::sim {

void SendIFC(int board) {
  Call call;
  Board& b = bus().boards[board];
  if (!b.sc) return void(fail(status(board), ESAC));
  b.cic = b.atn = true;
  b.dcas = b.dtas = false;
  unaddress(board);
  done(board);
}

void DevClear(int board, uint16_t address) {
  Call call;
  if (!ready(board, true)) return;
  if (address == NOADDR) {
    runCommands(board, &command::DCL, 1);
    return done(board);
  }
  Device* d = deviceAt(board, address);
  if (!d) return void(fail(status(board), ENOL));
  addressToListen(board, *d);
  d->model->deviceClear(d->state);
  done(board);
}

void DevClearList(int board, const uint16_t* list) {
  Call call;
  if (!ready(board, list != nullptr)) return;
  if (!applyList(board, list, [](Device& d) { d.model->deviceClear(d.state); }))
    return void(fail(status(board), ENOL));
  done(board);
}

void FindLstn(int board, const uint16_t* padList, uint16_t* results, int limit) {
  Call call;
  if (!ready(board, padList && results && limit >= 0)) return;
  int n = 0;
  bool overflow = false;
  auto add = [&](uint16_t a) {
    if (n < limit) results[n++] = a;
    else overflow = true;
  };
  // A primary that answers is listed as is; otherwise its secondaries are probed.
  ForList(padList, [&](int, uint16_t a) {
    int pad = a & 0xFF;
    if (pad > 30) return;
    if (bus().find(board, pad, 0)) return add(static_cast<uint16_t>(pad));
    for (int s = 0x60; s <= 0x7E; ++s)
      if (bus().find(board, pad, s)) add(static_cast<uint16_t>(pad | (s << 8)));
  });
  unaddress(board);
  if (overflow) return void(fail(status(board), ETAB, n));
  done(board, n);
}

void AllSpoll(int board, const uint16_t* list, short* results) {
  Call call;
  if (!ready(board, list && results)) return;
  int n = 0;
  bool timedOut = false;
  ForList(list, [&](int i, uint16_t a) {
    if (timedOut) return;
    Device* d = deviceAt(board, a);
    if (!d) return void(timedOut = true);
    results[i] = d->model->serialPoll(d->state);
    n = i + 1;
  });
  if (timedOut) return void(fail(status(board) | TIMO, EABO, n));
  done(board, n);
}

void ReadStatusByte(int board, uint16_t address, short* result) {
  Call call;
  if (!ready(board, result != nullptr)) return;
  Device* d = deviceAt(board, address);
  if (!d) return void(fail(status(board) | TIMO, EABO));
  put(result, d->model->serialPoll(d->state));
  done(board, 1);
}

void FindRQS(int board, const uint16_t* list, short* result) {
  Call call;
  if (!ready(board, list && result)) return;
  int found = -1, idx = 0;
  bool timedOut = false;
  ForList(list, [&](int i, uint16_t a) {
    if (found >= 0 || timedOut) return;
    idx = i;
    Device* d = deviceAt(board, a);
    if (!d) return void(timedOut = true);
    int stb = d->model->serialPoll(d->state);
    if (stb & 0x40) {
      found = i;
      put(result, stb);
    }
  });
  if (timedOut) return void(fail(status(board) | TIMO, EABO, idx));
  if (found < 0) return void(fail(status(board), ETAB, list[0] == NOADDR ? 0 : idx + 1));
  done(board, found);
}

void Send(int board, uint16_t address, const void* buf, int count, int eotMode) {
  Call call;
  if (!ready(board, bufferOk(buf, count) && eotOk(eotMode))) return;
  Device* d = deviceAt(board, address);
  if (!d) return void(fail(status(board), ENOL));
  addressToListen(board, *d);
  sendTo(*d, static_cast<const uint8_t*>(buf), count, eotMode);
  done(board, count + (eotMode == NLend ? 1 : 0));
}

void SendList(int board, const uint16_t* list, const void* buf, int count, int eotMode) {
  Call call;
  if (!ready(board, list && bufferOk(buf, count) && eotOk(eotMode))) return;
  if (list[0] == NOADDR || anyMissing(board, list)) return void(fail(status(board), ENOL));
  listenersOf(board, list);
  ForList(list, [&](int, uint16_t a) {
    sendTo(*deviceAt(board, a), static_cast<const uint8_t*>(buf), count, eotMode);
  });
  done(board, count + (eotMode == NLend ? 1 : 0));
}

void Receive(int board, uint16_t address, void* buf, int count, int termination) {
  Call call;
  if (!ready(board, bufferOk(buf, count) && termination >= 0 && termination <= STOPend)) return;
  Device* d = deviceAt(board, address);
  if (d) addressToTalk(board, *d);
  receiveFrom(board, d, buf, count, termination);
}

void SendCmds(int board, const void* buf, int count) {
  Call call;
  if (!ready(board, bufferOk(buf, count))) return;
  if (!boardHasDevices(board) && count > 0) return void(fail(status(board), EBUS));
  runCommands(board, static_cast<const uint8_t*>(buf), count);
  done(board, count);
}

void SendSetup(int board, const uint16_t* list) {
  Call call;
  if (!ready(board, list != nullptr)) return;
  if (list[0] == NOADDR || anyMissing(board, list)) return void(fail(status(board), ENOL));
  listenersOf(board, list);
  done(board);
}

void SendDataBytes(int board, const void* buf, int count, int eotMode) {
  Call call;
  if (!ready(board, bufferOk(buf, count) && eotOk(eotMode))) return;
  Board& b = bus().boards[board];
  if (b.talker != kBoardTalks) return void(fail(status(board), EADR));
  if (b.listeners.empty()) return void(fail(status(board), ENOL));
  for (int l : b.listeners) sendTo(bus().devices[l], static_cast<const uint8_t*>(buf), count, eotMode);
  done(board, count + (eotMode == NLend ? 1 : 0));
}

// The device talks, the board listens.
void ReceiveSetup(int board, uint16_t address) {
  Call call;
  if (!ready(board, true)) return;
  unaddress(board);
  Board& b = bus().boards[board];
  Device* d = deviceAt(board, address);
  b.talker = d ? bus().indexOf(d) : kAbsentTalker;
  b.boardListens = true;
  done(board);
}

void RcvRespMsg(int board, void* buf, int count, int termination) {
  Call call;
  if (!ready(board, bufferOk(buf, count) && termination >= 0 && termination <= STOPend)) return;
  Board& b = bus().boards[board];
  if (!b.boardListens) return void(fail(status(board), EADR));
  receiveFrom(board, b.talker >= 0 ? &bus().devices[b.talker] : nullptr, buf, count, termination);
}

void Trigger(int board, uint16_t address) {
  Call call;
  if (!ready(board, true)) return;
  Device* d = deviceAt(board, address);
  if (!d) return void(fail(status(board), ENOL));
  d->model->trigger(d->state);
  done(board);
}

void TriggerList(int board, const uint16_t* list) {
  Call call;
  if (!ready(board, list != nullptr)) return;
  if (anyMissing(board, list)) return void(fail(status(board), ENOL));
  if (list[0] == NOADDR) {
    // GET to the listeners that are addressed already.
    runCommands(board, &command::GET, 1);
  }
  ForList(list, [&](int, uint16_t a) { deviceAt(board, a)->model->trigger(deviceAt(board, a)->state); });
  done(board);
}

void EnableRemote(int board, const uint16_t* list) {
  Call call;
  if (!ready(board, list != nullptr)) return;
  if (!bus().boards[board].sc) return void(fail(status(board), ESAC));
  bus().boards[board].remoteEnable = true;
  if (list[0] == NOADDR) return done(board);
  if (!applyList(board, list, [](Device& d) { d.state.remote = true; }))
    return void(fail(status(board), ENOL));
  done(board);
}

void EnableLocal(int board, const uint16_t* list) {
  Call call;
  if (!ready(board, list != nullptr)) return;
  if (list[0] == NOADDR) {
    if (!bus().boards[board].sc) return void(fail(status(board), ESAC));
    bus().boards[board].remoteEnable = false;
    for (auto& d : bus().devices)
      if (d.board == board) d.state.remote = d.state.lockout = false;
    return done(board);
  }
  if (!applyList(board, list, [](Device& d) { d.state.remote = false; }))
    return void(fail(status(board), ENOL));
  done(board);
}

void SendLLO(int board) {
  Call call;
  if (!ready(board, true)) return;
  runCommands(board, &command::LLO, 1);
  done(board);
}

void SetRWLS(int board, const uint16_t* list) {
  Call call;
  if (!ready(board, list != nullptr)) return;
  if (!bus().boards[board].sc) return void(fail(status(board), ESAC));
  bus().boards[board].remoteEnable = true;
  if (!applyList(board, list, [](Device& d) { d.state.remote = d.state.lockout = true; }))
    return void(fail(status(board), ENOL));
  done(board);
}

void TestSRQ(int board, short* result) {
  Call call;
  if (!result) return void(fail(status(board), EARG));
  put(result, (status(board) & SRQI) ? 1 : 0);
  done(board);
}

void WaitSRQ(int board, short* result) {
  Call call;
  if (!result) return void(fail(status(board), EARG));
  // Only a response on its way can bring SRQ: the wait lasts in bus time
  // until then, or times out.
  const bool asserted =
      waitFor(board, nullptr, boardTimeout(board), [&] { return (status(board) & SRQI) != 0; });
  int s = status(board);
  put(result, asserted ? 1 : 0);
  finish(s | CMPL | (asserted ? 0 : TIMO), 0, 0);
}

void TestSys(int board, const uint16_t* list, short* results) {
  Call call;
  if (!ready(board, list && results)) return;
  if (anyMissing(board, list)) return void(fail(status(board), ENOL));
  int failures = 0;
  const char q[] = "*TST?\n";
  ForList(list, [&](int i, uint16_t a) {
    Device* d = deviceAt(board, a);
    d->model->listen(d->state, reinterpret_cast<const uint8_t*>(q), 6, true);
    uint8_t buf[32] = {};
    bool end = false;
    size_t n = d->model->talk(d->state, buf, sizeof buf - 1, end);
    results[i] = static_cast<short>(n ? std::atoi(reinterpret_cast<char*>(buf)) : 0);
    if (results[i] != 0) ++failures;
  });
  done(board, failures);
}

void ResetSys(int board, const uint16_t* list) {
  Call call;
  if (!ready(board, list != nullptr)) return;
  if (!bus().boards[board].sc) return void(fail(status(board), ESAC));
  if (anyMissing(board, list)) return void(fail(status(board), ENOL));
  // REN, IFC, DCL, then *RST to each listed device.
  Board& b = bus().boards[board];
  b.remoteEnable = true;
  unaddress(board);
  runCommands(board, &command::DCL, 1);
  const char r[] = "*RST\n";
  applyList(board, list, [&](Device& d) { d.model->listen(d.state, reinterpret_cast<const uint8_t*>(r), 5, true); });
  done(board);
}

void PPoll(int board, short* result) {
  Call call;
  if (!ready(board, result != nullptr)) return;
  put(result, parallelPoll(board));
  done(board, 1);
}

// Configures a device to answer a parallel poll on dataLine (1..8) when its
// individual status equals lineSense.
void PPollConfig(int board, uint16_t address, int dataLine, int lineSense) {
  Call call;
  if (!ready(board, dataLine >= 1 && dataLine <= 8 && (lineSense == 0 || lineSense == 1))) return;
  Device* d = deviceAt(board, address);
  if (!d) return void(fail(status(board), ENOL));
  d->ppe = command::PPE | (lineSense << 3) | (dataLine - 1);
  done(board);
}

void PPollUnconfig(int board, const uint16_t* list) {
  Call call;
  if (!ready(board, list != nullptr)) return;
  if (!applyList(board, list, [](Device& d) { d.ppe = 0; })) return void(fail(status(board), ENOL));
  done(board);
}

// Control goes to the device; the board stays a listener, cleared and
// triggered by its new controller (DCAS, DTAS) until IFC takes control back.
void PassControl(int board, uint16_t address) {
  Call call;
  if (!ready(board, true)) return;
  Device* d = deviceAt(board, address);
  if (!d) return void(fail(status(board), ENOL));
  addressToTalk(board, *d);
  runCommands(board, &command::TCT, 1);
  done(board);
}

}  // namespace vorel::sim
