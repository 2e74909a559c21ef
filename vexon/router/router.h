// The router: the handle table shared by every back end, the boards of the
// loaded bus and the back end behind each. The entry points ask it where a
// call goes; everything else about the call is the back end's.
#pragma once
#include <atomic>

#include "backend.h"

namespace vexon {

// Handles run from 0 to kMaxHandles - 1; a value outside is not a handle at all.
// The handle of board gpibN is N, as programs pass a board handle as the board
// index of the 488.2 routines; devices take handles from kFirstDeviceHandle up.
constexpr int kMaxHandles = 1024;
constexpr int kFirstDeviceHandle = kMaxBoards;

// The back end of each open handle; null for a free one.
extern std::atomic<const Backend*> handleBackends[kMaxHandles];
// The back end of each open board; null until the first call opens it.
extern std::atomic<const Backend*> boardBackends[kMaxBoards];

// The back end of an open handle, or null.
inline const Backend* BackendOfHandle(int ud) {
  if (static_cast<unsigned>(ud) >= static_cast<unsigned>(kMaxHandles)) return nullptr;
  return handleBackends[ud].load(std::memory_order_acquire);
}

// Reports why ud is no handle: the bus that could not be loaded, EHDL
// outside the table, else EDVR. Returns ibsta.
int RefuseHandle(int ud);

// The back end of a board, opened on the first call for it, or null once the
// failure is reported: a bus that could not be loaded, ENEB for a board the
// bus lacks up to 99, else EDVR, or the back end's own failure to open.
const Backend* BoardBackend(int board);
inline const Backend* BackendOfBoard(int board) {
  if (static_cast<unsigned>(board) < static_cast<unsigned>(kMaxBoards))
    if (const Backend* b = boardBackends[board].load(std::memory_order_acquire)) return b;
  return BoardBackend(board);
}

// The loaded bus, loading it on the first call; null once the failure is
// reported (ERR, EDVR, the message on stderr).
const BusConfig* LoadedBus();

// Takes bus as the loaded bus instead of reading one; for tests and
// benchmarks, before the first call.
void UseBus(const BusConfig& bus);

// Reserves the lowest free device handle; -1 when the table is full.
int ReserveHandle();
// Reserves handle `board` for the board's handle; false when it is taken.
bool ReserveBoardHandle(int board);
// Hands a reserved handle to its back end when its open succeeded (ibsta
// without ERR), or frees it.
void SettleHandle(int ud, const Backend* backend, int sta);
void FreeHandle(int ud);

// Back to the state before the first call: every board closed, every handle
// free, the status zero. The loaded bus stays. For a fuzzer's next session.
void ResetRouter();

}  // namespace vexon
