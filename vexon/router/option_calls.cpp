// The option calls on the handle's record: the range checks of the option
// table, the back end's say on a change, then the record.
#include "option_calls.h"

#include <cstring>

#include "handle_record.h"
#include "router.h"
#include "status.h"

namespace vexon {

namespace {

// The back end of a handle the entry point found open.
const Backend& Of(int ud) { return *BackendOfHandle(ud); }

// Sets the option when the back end agrees; returns ibsta.
int Change(int ud, int option, int value) {
  const Backend& b = Of(ud);
  if (b.configure && !b.configure(ud, option, value)) return LastStatus();
  const int prev = SetOptionOf(ud, option, value);
  return FinishWithValue(b.baseStatus(ud) | CMPL, prev);
}

}  // namespace

int DefaultBaseStatus(int ud) { return KindOf(ud).isBoard ? (CIC | ATN) : 0; }

int AskOption(int ud, int option, int* value) {
  const HandleKind k = KindOf(ud);
  const int base = Of(ud).baseStatus(ud);
  if (int err = AskRefusal(k.isBoard, option, value); err != kAllowed) return Fail(base, err);
  // A link of the server's own: its name tells no address.
  if (k.linked && (option == IbcPAD || option == IbcSAD)) return Fail(base, ECAP);
  const int v = option == IbcBNA ? k.board : OptionOf(ud, option);
  std::memcpy(value, &v, sizeof v);  // the caller's buffer may be unaligned
  return Finish(base | CMPL, 0, 0);
}

int ConfigureOption(int ud, int option, int value) {
  if (int err = ConfigRefusal(KindOf(ud).isBoard, option, value); err != kAllowed)
    return Fail(Of(ud).baseStatus(ud), err);
  return Change(ud, option, value);
}

int SetEos(int ud, int v) {
  if (!ValidEos(v)) return Fail(Of(ud).baseStatus(ud), EARG);
  return Change(ud, IbcEOS, v);
}

}  // namespace vexon
