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
// A transfer of ibwrtf or ibrdf: the first count bytes of the file, when it
// is a regular file that can be read again.
void FileWritten(int ud, const char* fileName, long count, int sta);
void FileRead(int ud, const char* fileName, long count, int sta);
// The board's own addressing: command bytes (ibcmd on the board handle,
// SendCmds), SendSetup's listeners, ReceiveSetup's talker, interface clear;
// and the calls after which the addressing is the back end's, not known.
void CommandsSent(int board, const void* buf, long count, int sta);
void ListenersSet(int board, const uint16_t* list, int sta);
void TalkerSet(int board, uint16_t address, int sta);
void InterfaceCleared(int board, int sta);
void AddressingLost(int board);
void HandleAddressingLost(int ud);
// SendDataBytes and RcvRespMsg: the board's transfers to the addressed devices.
void BoardWriteDone(int board, const void* buf, long count, int eotMode, int sta);
void BoardReadDone(int board, const void* buf, long count, int sta);
// ibwrta and ibrda: the transfer is recorded when a later ibwait reports
// it complete (or at once when the call itself completed it), moved being
// the bytes it moved then; ibstop and ibonl forget it.
void TransferStarted(int ud, const void* buf, int count, bool write, int sta, long moved);
void TransferWaited(int ud, int sta, long moved);
void TransferStopped(int ud);
// Puts the recorder's function in place of the program's (kept for handle
// ud) for an ibnotify: a notice with CMPL is a TransferWaited.
void RelayNotice(int ud, NotifyCallback& cb, void*& refData);
// A handle a back end's own name opened (its address asked of the back
// end), and one opened on a vxi11 board's link name.
void NameFound(int ud, int board, const char* name, const Backend& backend);
void LinkOpened(int ud, int board, const char* link, int eot, int eos);
// Writes every recording with something new; also run at exit.
void ProgramEnd();

// For tests: forgets every recording without writing it.
void Reset();

}  // namespace vexon::recorder
