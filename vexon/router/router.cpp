// The router's tables: the loaded bus, the boards opened on it and the handle
// table. Lookups on the path of every call are atomic loads; reserving a
// handle and loading the bus hold the router's lock, opening a board holds
// that board's own, and no lock of the router is held while a back end works.
#include "router.h"

#include <memory>
#include <mutex>

#include "bus_loader.h"
#include "handle_record.h"
#include "recorder.h"
#include "status.h"

namespace vexon {

std::atomic<const Backend*> handleBackends[kMaxHandles];
std::atomic<const Backend*> boardBackends[kMaxBoards];

namespace {

std::mutex& RouterMutex() {
  static std::mutex m;
  return m;
}

// Written once under the router's lock, then only read.
std::atomic<const BusConfig*> loadedBus{nullptr};

// Owns the loaded bus until the library is unloaded.
std::unique_ptr<BusConfig>& BusOwner() {
  static std::unique_ptr<BusConfig> owner;
  return owner;
}
bool reserved[kMaxHandles];  // under the router's lock

// Held while a board's back end opens it (an adapter may take seconds), so
// that other boards and handles never wait for it.
std::mutex boardOpening[kMaxBoards];

}  // namespace

const BusConfig* LoadedBus() {
  if (const BusConfig* b = loadedBus.load(std::memory_order_acquire)) return b;
  std::lock_guard l(RouterMutex());
  if (const BusConfig* b = loadedBus.load(std::memory_order_acquire)) return b;
  auto bus = std::make_unique<BusConfig>();
  if (!LoadBus(*bus)) return nullptr;
  BusOwner() = std::move(bus);
  loadedBus.store(BusOwner().get(), std::memory_order_release);
  return BusOwner().get();
}

void UseBus(const BusConfig& bus) {
  std::lock_guard l(RouterMutex());
  BusOwner() = std::make_unique<BusConfig>(bus);
  loadedBus.store(BusOwner().get(), std::memory_order_release);
}

int RefuseHandle(int ud) {
  if (!LoadedBus()) return LastStatus();
  return Fail(0, ud < 0 || ud >= kMaxHandles ? EHDL : EDVR);
}

const Backend* BoardBackend(int board) {
  const BusConfig* bus = LoadedBus();
  if (!bus) return nullptr;
  const BoardSettings* settings = bus->board(board);
  if (!settings) {
    Fail(0, board >= 0 && board <= 99 ? ENEB : EDVR);
    return nullptr;
  }
  std::lock_guard l(boardOpening[board]);
  if (const Backend* b = boardBackends[board].load(std::memory_order_acquire)) return b;
  const Backend* backend = FindBackend(settings->backend.c_str());
  if (!backend) {  // the loader lets no unknown name through
    Fail(0, EDVR);
    return nullptr;
  }
  // The board's own settings, which its routines use, are its handle's record.
  PlaceRecord(board, true, board, DefaultConfig(true));
  if (!backend->openBoard(*settings)) return nullptr;
  recorder::BoardOpened(*settings);
  boardBackends[board].store(backend, std::memory_order_release);
  return backend;
}

int ReserveHandle() {
  std::lock_guard l(RouterMutex());
  for (int ud = kFirstDeviceHandle; ud < kMaxHandles; ++ud)
    if (!reserved[ud]) {
      reserved[ud] = true;
      return ud;
    }
  return -1;
}

bool ReserveBoardHandle(int board) {
  std::lock_guard l(RouterMutex());
  if (reserved[board]) return false;
  reserved[board] = true;
  return true;
}

void SettleHandle(int ud, const Backend* backend, int sta) {
  if (sta & ERR) return FreeHandle(ud);
  handleBackends[ud].store(backend, std::memory_order_release);
}

void FreeHandle(int ud) {
  std::lock_guard l(RouterMutex());
  handleBackends[ud].store(nullptr, std::memory_order_release);
  reserved[ud] = false;
}

void ResetRouter() {
  {
    std::lock_guard l(RouterMutex());
    for (auto& h : handleBackends) h.store(nullptr, std::memory_order_release);
    for (bool& r : reserved) r = false;
  }
  for (int board = 0; board < kMaxBoards; ++board) {
    std::lock_guard l(boardOpening[board]);
    if (const Backend* b = boardBackends[board].exchange(nullptr)) b->closeBoard(board);
  }
  ResetStatus();
}

}  // namespace vexon
