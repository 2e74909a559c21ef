// Handle settings that reach the adapter at once.
#include "options.h"

#include "board.h"
#include "transfers.h"

namespace vexon::prologix {

bool Configure(int ud, int option, int value) {
  const HandleKind h = KindOf(ud);
  // An AR488 drives REN on request.
  if (!h.isBoard || option != IbcSRE) return true;
  Board& b = BoardAt(h.board);
  std::lock_guard l(b.lock);
  if (!b.adapter->ar488()) return true;
  return BoardCommand(b, BaseOf(h), value ? "++ren 1" : "++ren 0", TimeoutMs(OptionOf(ud, IbcTMO)));
}

}  // namespace vexon::prologix
