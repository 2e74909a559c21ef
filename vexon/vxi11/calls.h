// The operations of the vxi11 back end, as backend.cpp hands them to the
// router. The router has checked the handle or board before any of them.
#pragma once
#include <cstdint>

#include "board.h"

namespace vexon::vxi11 {

int ibwrt(int ud, const void* buf, int count);
int ibrd(int ud, void* buf, int count);
int ibclr(int ud);
int ibtrg(int ud);
int ibloc(int ud);
int ibrsp(int ud, char* spr);
int iblck(int ud, int v, int lockWaitTime, void* reserved);
int ibstop(int ud);
int ibcmd(int ud, const void* buf, int count);
int ibgts(int ud, int v);
int ibcac(int ud, int v);
int ibsic(int ud);
int iblines(int ud, short* lines);
int ibwait(int ud, int mask);
int ibnotify(int ud, int mask, NotifyCallback cb, void* refData);
// The back end's say on ibconfig and ibeos: a device's address is its
// link's; a board's REN and address go to the server.
bool Configure(int ud, int option, int value);

void Send(int board, uint16_t address, const void* buf, int count, int eotMode);
void SendList(int board, const uint16_t* list, const void* buf, int count, int eotMode);
void Receive(int board, uint16_t address, void* buf, int count, int termination);
void SendDataBytes(int board, const void* buf, int count, int eotMode);
void RcvRespMsg(int board, void* buf, int count, int termination);
void SendCmds(int board, const void* buf, int count);
void DevClear(int board, uint16_t address);
void Trigger(int board, uint16_t address);
void EnableLocal(int board, const uint16_t* list);
void EnableRemote(int board, const uint16_t* list);
void SendLLO(int board);
void SendIFC(int board);
void PassControl(int board, uint16_t address);
// The interface's own primary address, asked of the server; -1 once the
// failure is left in the status.
int BoardAddress(int board);
void ReadStatusByte(int board, uint16_t address, short* result);
void TestSRQ(int board, short* result);
void WaitSRQ(int board, short* result);

}  // namespace vexon::vxi11
