// The ibnotify callback: it only prints, and does not rearm.
#include "exec/notify_callback.h"

#include <new>
#include <string>

#include "core/print.h"
#include "registry/handle_registry.h"

int NotifyCallbackRoutine(int ud, int sta, int err, int cntl, void* /*refData*/) {
  ConsolePrint("       *** IBNOTIFY CALLBACK EXECUTED *** \n");
  ConsolePrint("           ud = %d, ibsta = 0x%x, iberr = 0x%x, ibcntl = 0x%x.\n\n", ud, sta, err, cntl);
  // The driver's thread must not look at the registry while the command loop
  // changes it: the prompt comes from the registry's own copy.
  std::string name;
  try {
    name = CurrentNameSnapshot();
  } catch (const std::bad_alloc&) {
  }
  ConsolePrint("\n%s: ", name.c_str());
  return 0;
}
