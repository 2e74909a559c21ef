// Asynchronous call slots: preparation, completion and cancellation.
#include "exec/async_calls.h"

#include <cstring>

#include "core/command_catalogue.h"
#include "core/messages.h"
#include "core/print.h"
#include "display/buffer_display.h"
#include "driver/gpib.h"
#include "driver/status_copies.h"
#include "exec/data_buffers.h"
#include "exec/execute.h"
#include "exec/sequence_check.h"
#include "registry/handle_registry.h"

AsyncSlot asyncSlots[kAsyncSlots];

bool IsAsynchronousCode(int32_t code) {
  switch (code) {
    case CODE_IBRDA: case CODE_IBWRTA: case CODE_IBCMDA:
    case CODE_IBWRTAN: case CODE_IBRDAN: case CODE_IBCMDAN:
      return true;
    default:
      return false;
  }
}

AsyncSlot* PrepareAsynchronous(ParsedCommand& c) {
  AsyncSlot* slot = nullptr;
  for (AsyncSlot& s : asyncSlots)
    if (!s.buffer) {
      slot = &s;
      break;
    }
  if (!slot) {
    PrintCut(kMessages[MSG_TOO_MANY_ASYNC]);
    return nullptr;
  }
  const uint32_t count = c.count > 0 ? static_cast<uint32_t>(c.count) : 0;
  uint8_t* buffer = AllocateDataBuffer(count + 1);
  if (!buffer) return nullptr;
  if ((c.code == CODE_IBWRTA || c.code == CODE_IBCMDA) && c.data && count) std::memcpy(buffer, c.data, count);
  slot->buffer = buffer;
  slot->requested = count;
  slot->catalogueIndex = c.catalogueIndex;
  slot->ud = CurrentHandle();
  slot->driverUd = CallHandle(c);
  c.data = buffer;
  return slot;
}

void FreeAsyncSlot(AsyncSlot& slot) {
  ReleaseDataBuffer(slot.buffer);
  slot.buffer = nullptr;
}

namespace {
// Slots belong to the selection they were issued on. The buffer is freed only
// when the driver is done with it: the transfer completed, or the stopping
// call went to the transfer's own handle and succeeded. Otherwise (raw mode
// acting on another handle, an ibonl or ibstop the driver refused) the driver
// may still be writing into it, and it is retired, not freed.
void ReleaseAsyncSlot(AsyncSlot& slot, const ParsedCommand& c, bool transferEnded) {
  if (transferEnded && slot.driverUd == CallHandle(c)) {
    FreeAsyncSlot(slot);
  } else {
    RetireDataBuffer(slot.buffer);
    slot.buffer = nullptr;
  }
}
}  // namespace

void CompleteAsyncCalls(ParsedCommand& c, uint32_t& flags) {
  if (!(ibsta & CMPL)) return;
  const int32_t ud = CurrentHandle();
  for (AsyncSlot& slot : asyncSlots) {
    if (!slot.buffer || slot.ud != ud) continue;
    const CommandRow& row = kCatalogue[slot.catalogueIndex];
    // ibcntl is the waiting call's count; a count beyond the bytes the driver
    // was given shows those bytes and no more.
    uint32_t shown = static_cast<uint32_t>(ibcntl) < slot.requested ? static_cast<uint32_t>(ibcntl) : slot.requested;
    if (row.flags & CMD_SHOW_BUFFER) ShowBuffer(slot.buffer, shown);
    if (row.code == CODE_IBRDAN) SequenceCheck(slot.buffer, ibcntl, slot.requested);
    ReleaseAsyncSlot(slot, c, true);
    c.data = nullptr;
    flags = row.flags;
  }
}

void CancelAsyncCalls(ParsedCommand& c, uint32_t& flags) {
  const int32_t ud = CurrentHandle();
  for (AsyncSlot& slot : asyncSlots) {
    if (!slot.buffer || slot.ud != ud) continue;
    flags = kCatalogue[slot.catalogueIndex].flags;
    ReleaseAsyncSlot(slot, c, !(ibsta & ERR));
    c.data = nullptr;
  }
}

void ResetAsyncCalls() {
  for (AsyncSlot& slot : asyncSlots) slot = AsyncSlot{0, 0, 0, nullptr, 0};
}
