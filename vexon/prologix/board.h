// The boards of the "++" adapter back ends, and what every call on them
// shares: holding the board, making the adapter ready, and turning a failed
// stream into EDVR. Handles are the router's records (handle_record.h).
#pragma once
#include <cstdint>
#include <memory>
#include <mutex>

#include "../router/addresses.h"
#include "../router/backend.h"
#include "../router/handle_record.h"
#include "../router/status.h"
#include "../router/timeouts.h"
#include "protocol.h"

namespace vexon::prologix {

// A board handle reports the adapter as controller-in-charge.
constexpr int kBoardBase = CIC | ATN;

struct Board {
  std::mutex lock;                   // held for each call on the board
  std::unique_ptr<Adapter> adapter;  // set when the router opens the board
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

Board& BoardAt(int index);

// The status a call on a handle starts from.
inline int BaseOf(const HandleKind& h) { return h.isBoard ? kBoardBase : 0; }

// Fails the call with EDVR and the stream's errno, drops the stream (the
// next call opens it again) and says why on stderr. Returns ibsta.
int StreamFault(Board& b, int base);
// Starts a call on the board that may wait timeoutMs (negative: no limit)
// and makes the adapter ready; false once the failure is reported.
bool ReadyOrFail(Board& b, int base, int timeoutMs);
// Reports how a step went: Done returns true; NoAnswer fails with TIMO and
// EABO; Stopped (ibstop) with EABO; a refusal of the adapter's with its
// error and the adapter's line on stderr; Broken is a stream fault.
bool StepOk(Board& b, Outcome o, int base);

// The back-end operations that open and close boards.
bool OpenBoard(const BoardSettings& s, bool ar488);
void CloseBoard(int board);

}  // namespace vexon::prologix
