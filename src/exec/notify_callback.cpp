// The ibnotify callback: it only prints, and does not rearm.
#include "exec/notify_callback.h"

#include "console/print.h"
#include "registry/handle_registry.h"

int NotifyCallbackRoutine(int ud, int sta, int err, int cntl, void* /*refData*/) {
  ConsolePrint("       *** IBNOTIFY CALLBACK EXECUTED *** \n");
  ConsolePrint("           ud = %d, ibsta = 0x%x, iberr = 0x%x, ibcntl = 0x%x.\n\n", ud, sta, err, cntl);
  ConsolePrint("\n%s: ", CurrentName());
  return 0;
}
