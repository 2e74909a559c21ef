// What every entry point of the simulated driver shares: the status words it
// leaves behind, the handle checks, the addressing of devices and the transfers.
#pragma once
#include <cstdint>
#include <cstring>
#include <mutex>

#include "bus.h"

#define SIM_API extern "C" __attribute__((visibility("default")))

namespace vorel::sim {

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

// Sets ibsta, iberr (only with ERR) and ibcntl; returns ibsta.
int finish(int sta, int err, int cnt);
int fail(int base, int err, int cnt = 0);
// ERR clear, but iberr carries a value (the previous setting).
int finishWithValue(int sta, int value);

// The handle check every handle call starts with: EHDL outside the table,
// EDVR for a handle that is not open. 0 when the handle is good.
bool badHandle(int ud, int& sta);
// The status a call on this handle reports before its own bits.
int baseStatus(int ud);
// Board index checks of the 488.2 routines: EDVR, or ENEB for 2..99.
bool badBoard(int board);
// ELCK when another handle holds the board's lock (ud -1: a 488.2 routine).
bool lockedOut(int board, int ud);
// The injected fault of IbeDebugMode, taken once.
int takeFault(int board);

Device* deviceOf(int ud);
// Whether any device sits on the board's bus.
bool boardHasDevices(int board);
Device* deviceAt(int board, uint16_t address);
bool validAddr(int pad, int sad);

// Addressing as a controller leaves it: the board talks to the device, or the
// device talks to the board; unaddress() sends UNT and UNL.
void addressToListen(int board, Device& d);
void addressToTalk(int board, Device& d);
void unaddress(int board);

// Data transfers between the board and one device. Return ibsta.
int writeTo(Device& d, const uint8_t* buf, int count, bool eoi, int base);
int readFrom(Device& d, uint8_t* buf, int count, bool stopAtEos, int eosChar, int base,
             int& err, int& cnt);
// Runs command bytes on a board: addressing, SDC, DCL, GET, GTL, LLO, TCT.
void runCommands(int board, const uint8_t* p, int count);

// The parallel poll response byte of a board's configured devices.
int parallelPoll(int board);

// Asynchronous engine.
void startTransfer(int ud, IoKind kind, void* buf, int count);
void abortTransfer(int ud);
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
