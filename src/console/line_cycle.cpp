// The line cycle: open check, memory, Execute, after-call handling, report, release.
#include "console/line_cycle.h"

#include "core/command_catalogue.h"
#include "core/messages.h"
#include "core/print.h"
#include "display/status_report.h"
#include "driver/gpib.h"
#include "driver/status_copies.h"
#include "exec/async_calls.h"
#include "exec/data_buffers.h"
#include "exec/execute.h"
#include "core/mode_flags.h"
#include "registry/handle_registry.h"

namespace {

void HandleResults(const ParsedCommand& c, int32_t newHandle, uint32_t& flags) {
  if (expertMode) ConsoleOutput("id = %d\n", newHandle);
  if (newHandle >= 0) {
    bool registered = c.code == CODE_IBFIND ? RegisterNamed(newHandle, reinterpret_cast<const char*>(c.data))
                                            : RegisterDevice(newHandle);
    if (!registered) PrintCut(kMessages[MSG_CANNOT_OPEN_BOARD]);
  }
  if (ibsta & ERR) flags |= CMD_STATUS;
}

void AfterCall(ParsedCommand& c, int32_t newHandle, uint32_t& flags) {
  switch (c.code) {
    case CODE_IBWAIT: case CODE_IBNOTIFY: case CODE_W:
      CompleteAsyncCalls(c, flags);
      break;
    case CODE_IBONL: case CODE_IBSTOP:
      CancelAsyncCalls(c, flags);
      break;
    case CODE_IBRPP: case CODE_PPOLL:
      if (ibsta & ERR) flags &= ~CMD_POLL_BYTE;
      break;
    case CODE_IBFIND: case CODE_IBDEV:
      HandleResults(c, newHandle, flags);
      break;
    default:
      if (IsAsynchronousCode(c.code)) flags = CMD_STATUS;
      break;
  }
}

}  // namespace

void RunCycle(const ParsedCommand& command) {
  ParsedCommand c = command;
  int32_t newHandle = 0;
  bool ownsData = false;
  AsyncSlot* slot = nullptr;
  if (c.catalogueIndex < 0 || c.catalogueIndex >= kCatalogueRows || !OpenCheck(c)) return;
  const bool asynchronous = IsAsynchronousCode(c.code);
  if (asynchronous ? !(slot = PrepareAsynchronous(c)) : !PrepareSynchronous(c, ownsData)) return;
  if (!Execute(c, newHandle)) {
    if (slot) FreeAsyncSlot(*slot);
    ReleaseSynchronous(c, ownsData);
    return;
  }
  uint32_t flags = kCatalogue[c.catalogueIndex].flags;
  AfterCall(c, newHandle, flags);
  StatusReport(flags, c);
  if (slot && (ibsta & ERR)) FreeAsyncSlot(*slot);
  if (c.code == CODE_IBONL && c.value == 0 && !((ibsta & ERR) && iberr == ELCK)) RemoveCurrent();
  ReleaseSynchronous(c, ownsData);
}
