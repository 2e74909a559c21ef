// The transfers that handle calls and 488.2 routines share: writing to and
// reading from one device, serial poll and the SRQ line. Each needs the
// board held, makes the adapter ready, leaves the status words and returns
// ibsta (the serial poll and SRQ test return their value, -1 on failure).
#pragma once
#include <string>

#include "board.h"

namespace vexon::prologix {

// timeoutMs is the handle's timeout (negative: none): every wait of the call
// ends by then, or when ibstop is called (EABO).
int WriteTo(Board& b, int base, int pad, int sad, const void* buf, int count, bool eoi, int timeoutMs);
// A read ends at count, at END, at the EOS byte when stopAtEos, or when the
// handle's timeout passes with nothing read (TIMO, EABO).
int ReadFrom(Board& b, int base, int pad, int sad, void* buf, int count, bool stopAtEos, int eosChar,
             int timeoutMs);
// Sends a command line that addresses the device first ("++clr", "++trg", "++loc").
int DeviceCommand(Board& b, int base, int pad, int sad, const char* line, int timeoutMs);
// Sends a board command the adapter may refuse; false once the failure is reported.
bool BoardCommand(Board& b, int base, const std::string& line, int timeoutMs);
// The status byte, or -1 once the failure is reported (TIMO, EABO when the
// device does not answer).
int SerialPoll(Board& b, int base, int pad, int sad, int timeoutMs);
// The SRQ line: 1 or 0, or -1 once the failure is reported.
int SrqLine(Board& b, int base, int timeoutMs);
// Polls the SRQ line until it is asserted or timeoutMs passes: 1, 0, or -1.
int WaitForSrq(Board& b, int base, int timeoutMs);

}  // namespace vexon::prologix
