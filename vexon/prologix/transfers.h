// The transfers that handle calls and 488.2 routines share: writing to and
// reading from one device, serial poll and the SRQ line. Each needs the
// board held, makes the adapter ready, leaves the status words and returns
// ibsta (the serial poll and SRQ test return their value, -1 on failure).
#pragma once
#include "board.h"

namespace vexon::prologix {

int WriteTo(Board& b, int base, int pad, int sad, const void* buf, int count, bool eoi);
int ReadFrom(Board& b, int base, int pad, int sad, void* buf, int count, bool stopAtEos, int eosChar,
             int timeoutMs);
// Sends a command line that addresses the device first ("++clr", "++trg", "++loc").
int DeviceCommand(Board& b, int base, int pad, int sad, const char* line);
// The status byte, or -1 once the failure is reported (TIMO, EABO when the
// device does not answer).
int SerialPoll(Board& b, int base, int pad, int sad, int timeoutMs);
// The SRQ line: 1 or 0, or -1 once the failure is reported.
int SrqLine(Board& b, int base);
// Polls the SRQ line until it is asserted or timeoutMs passes: 1, 0, or -1.
int WaitForSrq(Board& b, int base, int timeoutMs);

// A time limit for a wait that has none, so that a dead adapter cannot hang it.
constexpr int kNoLimitMs = 30000;

}  // namespace vexon::prologix
