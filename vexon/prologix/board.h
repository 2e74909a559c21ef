// The boards and handles of the "++" adapter back ends, and what every call
// on them shares: holding the board, making the adapter ready, and turning a
// failed stream into EDVR.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "../router/addresses.h"
#include "../router/backend.h"
#include "../router/handle_options.h"
#include "../router/status.h"
#include "../router/timeouts.h"
#include "protocol.h"

namespace vexon::prologix {

// A board handle reports the adapter as controller-in-charge.
constexpr int kBoardBase = CIC | ATN;

struct Board {
  std::mutex lock;                   // held for each call on the board
  std::unique_ptr<Adapter> adapter;  // set when the router opens the board
  HandleConfig config;               // the options of its board handles
  // The handle whose call holds the board (-1: a 488.2 routine, or none), for
  // ibstop, which never waits for the lock.
  std::mutex busyLock;
  int busyWith = -1;
  bool busy = false;
};

// Marks the board busy with a call on ud (-1 for a 488.2 routine) while the
// board's lock is held; a stop left over from an earlier call is forgotten.
class Occupied {
 public:
  Occupied(Board& b, int ud);
  ~Occupied();
  Occupied(const Occupied&) = delete;
  Occupied& operator=(const Occupied&) = delete;

 private:
  Board& b_;
};

// Ends the call running on the board when it was made on ud, or, for a
// board handle, whatever call runs there. Does not wait for the board.
void StopCall(Board& b, int ud, bool boardHandle);

struct Handle {
  bool used = false;
  bool isBoard = false;
  int board = 0;
  HandleConfig config;  // device handles' own options
};

Board& BoardAt(int index);
// The handle the router gave this back end; ud is valid and open.
Handle& HandleAt(int ud);
// The option table of a handle: its own, or its board's for a board handle.
HandleConfig& ConfigOf(Handle& h);

// The status a call on h starts from.
inline int BaseOf(const Handle& h) { return h.isBoard ? kBoardBase : 0; }

// Fails the call with EDVR and the stream's errno, drops the stream (the
// next call opens it again) and says why on stderr. Returns ibsta.
int StreamFault(Board& b, int base);
// Makes the adapter ready; false once the failure is reported.
bool ReadyOrFail(Board& b, int base);
// Reports how a step went: Done returns true; NoAnswer fails with TIMO and
// EABO; Broken is a stream fault.
bool StepOk(Board& b, Outcome o, int base);

// The back-end operations that open and close boards and handles.
bool OpenBoard(const BoardSettings& s, bool ar488);
void CloseBoard(int board);
int OpenBoardHandle(int ud, int board);
int OpenDevice(int ud, int board, int pad, int sad, int tmo, int eot, int eos);
int Online(int ud, int v);

}  // namespace vexon::prologix
