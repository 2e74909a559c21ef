// Handle settings: the same options, ranges and answers as the simulated bus.
#include "options.h"

#include <cstring>

#include "../sim/bus.h"
#include "board.h"
#include "transfers.h"

namespace vexon::prologix {

using vorel::sim::OptionInfo;
using vorel::sim::optionInfo;
using vorel::sim::storeOption;

int AskOption(int ud, int option, int* value) {
  Handle& h = HandleAt(ud);
  std::lock_guard l(BoardAt(h.board).lock);
  const OptionInfo* o = optionInfo(option);
  if (!value || !o) return Fail(BaseOf(h), EARG);
  if (!(h.isBoard ? o->board : o->device)) return Fail(BaseOf(h), ECAP);
  int v = option == IbcBNA ? h.board : ConfigOf(h)[option];
  std::memcpy(value, &v, sizeof v);  // the caller's buffer may be unaligned
  return Finish(BaseOf(h) | CMPL, 0, 0);
}

int ConfigureOption(int ud, int option, int value) {
  Handle& h = HandleAt(ud);
  Board& b = BoardAt(h.board);
  std::lock_guard l(b.lock);
  const OptionInfo* o = optionInfo(option);
  if (!o) return Fail(BaseOf(h), EARG);
  if (!(h.isBoard ? o->board : o->device) || o->readOnly) return Fail(BaseOf(h), ECAP);
  if (value < o->lo || value > o->hi || (option == IbcSAD && value != 0 && value < 0x60))
    return Fail(BaseOf(h), EARG);
  // An AR488 drives REN on request.
  if (h.isBoard && option == IbcSRE && b.adapter->ar488()) {
    if (!BoardCommand(b, BaseOf(h), value ? "++ren 1" : "++ren 0", TimeoutMs(ConfigOf(h)[IbcTMO])))
      return LastStatus();
  }
  int prev = storeOption(ConfigOf(h), option, value);
  return FinishWithValue(BaseOf(h) | CMPL, prev);
}

int SetEos(int ud, int v) {
  Handle& h = HandleAt(ud);
  std::lock_guard l(BoardAt(h.board).lock);
  if (v < 0 || v > 0x1FFF) return Fail(BaseOf(h), EARG);
  int prev = storeOption(ConfigOf(h), IbcEOS, v);
  return FinishWithValue(BaseOf(h) | CMPL, prev);
}

}  // namespace vexon::prologix
