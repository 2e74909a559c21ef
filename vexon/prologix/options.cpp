// Handle settings: the router's options, ranges and answers.
#include "options.h"

#include <cstring>

#include "../router/handle_options.h"
#include "board.h"

namespace vexon::prologix {

int AskOption(int ud, int option, int* value) {
  Handle& h = HandleAt(ud);
  std::lock_guard l(BoardAt(h.board).lock);
  if (int err = AskRefusal(h.isBoard, option, value); err != kAllowed) return Fail(BaseOf(h), err);
  int v = option == IbcBNA ? h.board : ConfigOf(h)[option];
  std::memcpy(value, &v, sizeof v);  // the caller's buffer may be unaligned
  return Finish(BaseOf(h) | CMPL, 0, 0);
}

int ConfigureOption(int ud, int option, int value) {
  Handle& h = HandleAt(ud);
  Board& b = BoardAt(h.board);
  std::lock_guard l(b.lock);
  if (int err = ConfigRefusal(h.isBoard, option, value); err != kAllowed) return Fail(BaseOf(h), err);
  // An AR488 drives REN on request.
  if (h.isBoard && option == IbcSRE && b.adapter->ar488()) {
    if (!ReadyOrFail(b, BaseOf(h))) return LastStatus();
    if (!StepOk(b, b.adapter->Command(value ? "++ren 1" : "++ren 0"), BaseOf(h))) return LastStatus();
  }
  int prev = StoreOption(ConfigOf(h), option, value);
  return FinishWithValue(BaseOf(h) | CMPL, prev);
}

int SetEos(int ud, int v) {
  Handle& h = HandleAt(ud);
  std::lock_guard l(BoardAt(h.board).lock);
  if (!ValidEos(v)) return Fail(BaseOf(h), EARG);
  int prev = StoreOption(ConfigOf(h), IbcEOS, v);
  return FinishWithValue(BaseOf(h) | CMPL, prev);
}

}  // namespace vexon::prologix
