// Recording a board: the router tells the recorder what happened on a board
// whose bus file entry says `record: FILE`, through the few calls below, and
// the recorder writes FILE when the last handle to a device closes and when
// the program ends. Nothing here changes a call's result or status.
#pragma once
#include <atomic>
#include <cstdint>

#include "backend.h"

namespace vexon::recorder {

// Set once a recording board is open; the router checks it before calling in.
extern std::atomic<bool> active;

// A board is open; it records when its settings name a file.
void BoardOpened(const BoardSettings& settings);
// A device handle is open on board with ibdev's settings.
void DeviceOpened(int ud, int board, int pad, int sad, int eot, int eos);
void HandleClosed(int ud);
// A handle's terminators changed: ibconfig's option (IbcEOS, IbcEOT, ...).
void TerminatorsSet(int ud, int option, int value);
// A write or read on a device, as a handle or a 488.2 address (board, pad,
// sad) made it: count is the bytes the call moved, sta its ibsta.
void DeviceWriteDone(int ud, const void* buf, long count, int sta);
void DeviceReadDone(int ud, const void* buf, long count, int sta);
void AddressWriteDone(int board, uint16_t address, const void* buf, long count, int eotMode, int sta);
void AddressReadDone(int board, uint16_t address, const void* buf, long count, int sta);
void SerialPolled(int board, int pad, int sad, uint8_t result);
void HandleSerialPolled(int ud, uint8_t result);
// Writes every recording with something new; also run at exit.
void ProgramEnd();

// For tests: forgets every recording without writing it.
void Reset();

}  // namespace vexon::recorder
