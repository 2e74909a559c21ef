// The table of outstanding asynchronous calls: four slots whose buffers live
// until a later command sees the transfer complete or stops it.
#pragma once
#include <cstdint>

#include "language/parsed_command.h"

struct AsyncSlot {
  int32_t ud;              // the selection the call was issued on, -1 for none
  int32_t driverUd;        // the handle the driver call went to (the device code in raw mode)
  int32_t catalogueIndex;  // the command's row
  uint8_t* buffer;         // data start; null means the slot is free
  uint32_t requested;      // bytes the driver was given; no display or check goes past them
};

constexpr int kAsyncSlots = 4;
// Written only by the line cycle's preparation, completion and cancellation.
extern AsyncSlot asyncSlots[kAsyncSlots];

bool IsAsynchronousCode(int32_t code);
// Takes the lowest free slot with a buffer of count + 1 bytes and points the
// command's data at it; null after a message.
AsyncSlot* PrepareAsynchronous(ParsedCommand& command);
// Releases the slot's buffer and marks it free.
void FreeAsyncSlot(AsyncSlot& slot);
// After ibwait, w and ibnotify: shows and releases the current selection's
// slots when CMPL is set; flags becomes the last completed slot's row flags.
void CompleteAsyncCalls(ParsedCommand& command, uint32_t& flags);
// After ibonl and ibstop: releases the current selection's slots unseen.
void CancelAsyncCalls(ParsedCommand& command, uint32_t& flags);
// Frees every slot (tests only).
void ResetAsyncCalls();
