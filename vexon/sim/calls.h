// What every entry point of the simulated driver shares: the status words it
// leaves behind, the handle checks, the addressing of devices and the transfers.
#pragma once
#include <cstdint>
#include <cstring>
#include <mutex>

#include "../router/backend.h"
#include "../router/gpib_commands.h"
#include "../router/status.h"
#include "bus.h"

namespace vorel::sim {

namespace command = vexon::command;

// The calls of the back-end interface (backend.cpp hands them to the router).
// The router has checked the handle or the board index before any of them.
bool openBoard(const vexon::BoardSettings& settings);
void closeBoard(int board);
int openBoardHandle(int ud, int board);
int openDevice(int ud, int board, int pad, int sad, int tmo, int eot, int eos);
int ibonl(int ud, int v);
// The status bits a call on the handle starts from, and what setting an
// option changes on the bus (SRE, SC of a board).
int startingStatus(int ud);
bool configure(int ud, int option, int value);
#define VOREL_SIM_HANDLE_CALL(name, params, args) int name params;
#define VOREL_SIM_ROUTINE(name, params, args) void name params;
VEXON_BUS_HANDLE_CALLS(VOREL_SIM_HANDLE_CALL)
VEXON_BOARD_ROUTINES(VOREL_SIM_ROUTINE)
#undef VOREL_SIM_HANDLE_CALL
#undef VOREL_SIM_ROUTINE

// Holds the bus for one call; on release the asynchronous engine gets a turn
// to move transfers and deliver notifications before the call returns.
class Call {
 public:
  Call();
  ~Call();
  Call(const Call&) = delete;
  Call& operator=(const Call&) = delete;

 private:
  std::unique_lock<std::mutex> lock_;
};

// Stores a result word. The caller's buffer may start at any address (a
// console testing odd buffers passes odd ones), so it is copied bytewise.
template <class T, class V>
void put(T* out, V value) {
  const T v = static_cast<T>(value);
  std::memcpy(out, &v, sizeof v);
}

// The router's status words: sets ibsta, iberr (only with ERR) and ibcntl;
// returns ibsta.
inline int finish(int sta, int err, int cnt) { return vexon::Finish(sta, err, cnt); }
inline int fail(int base, int err, int cnt = 0) { return vexon::Fail(base, err, cnt); }
// ERR clear, but iberr carries a value (the previous setting).
inline int finishWithValue(int sta, int value) { return vexon::FinishWithValue(sta, value); }

// The handle check every handle call starts with: EHDL outside the table,
// EDVR for a handle that is not open. 0 when the handle is good.
bool badHandle(int ud, int& sta);
// The status a call on this handle reports before its own bits.
int baseStatus(int ud);
// Puts a board on the simulated bus with its instruments; nothing when it is
// there already. Needs the bus held.
void placeBoard(const vexon::BoardSettings& settings);
// ELCK when another handle holds the board's lock (ud -1: a 488.2 routine).
bool lockedOut(int board, int ud);
// The injected fault of IbeDebugMode, taken once.
int takeFault(int board);

Device* deviceOf(int ud);
// Whether any device sits on the board's bus.
bool boardHasDevices(int board);
Device* deviceAt(int board, uint16_t address);

// Addressing as a controller leaves it: the board talks to the device, or the
// device talks to the board; unaddress() sends UNT and UNL.
void addressToListen(int board, Device& d);
void addressToTalk(int board, Device& d);
void unaddress(int board);

// Data transfers between the board and one device. Return ibsta.
int writeTo(Device& d, const uint8_t* buf, int count, bool eoi, int base);
// A read waits in bus time, up to wait, for a response still pending, and
// moves the clock on by wait when it times out; kNoWait neither waits nor
// counts an empty read as a query error (the engine's repeated attempts).
int readFrom(Device& d, uint8_t* buf, int count, bool stopAtEos, int eosChar, int base,
             int& err, int& cnt, int64_t wait);
// Runs command bytes on a board: addressing, SDC, DCL, GET, GTL, LLO, TCT.
void runCommands(int board, const uint8_t* p, int count);

// The parallel poll response byte of a board's configured devices.
int parallelPoll(int board);

// Asynchronous engine.
void startTransfer(int ud, IoKind kind, void* buf, int count);
void abortTransfer(int ud);
// One attempt at a running transfer now, as the engine makes on its turn.
void advanceTransfer(int ud);
// Runs pending transfers and due notifications on the library's thread, and
// waits until they are done.
void pumpEngine();
bool onEngineThread();
// True when a transfer runs, a notification is armed or a reset notice waits.
bool engineHasWork();
// What a wait or a notification sees on a handle (CMPL when no transfer runs).
int handleStatus(int ud);
// Back to power-on: every handle closed, every device and board as at start,
// no transfer and no notification pending. For a fuzzer that runs many
// sessions in one process.
void resetSimulation();
// Cancels an armed notification; its callback hears ERST on the next turn.
void queueResetNotice(int ud);

}  // namespace vorel::sim
