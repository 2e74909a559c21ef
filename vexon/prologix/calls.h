// The operations of the adapter back ends, as backend.cpp hands them to the
// router. The router has checked the handle or board before any of them.
#pragma once
#include <cstdint>

#include "../router/backend.h"
#include "board.h"

namespace vexon::prologix {

int ibwrt(int ud, const void* buf, int count);
int ibrd(int ud, void* buf, int count);
int ibrsp(int ud, char* spr);
int ibclr(int ud);
int ibtrg(int ud);
int ibloc(int ud);
int ibsic(int ud);
int ibwait(int ud, int mask);
int ibstop(int ud);
int ibrpp(int ud, char* ppr);

void Send(int board, uint16_t address, const void* buf, int count, int eotMode);
void SendList(int board, const uint16_t* list, const void* buf, int count, int eotMode);
void Receive(int board, uint16_t address, void* buf, int count, int termination);
void DevClear(int board, uint16_t address);
void Trigger(int board, uint16_t address);
void TriggerList(int board, const uint16_t* list);
void EnableLocal(int board, const uint16_t* list);
void EnableRemote(int board, const uint16_t* list);
void SendLLO(int board);
void ReadStatusByte(int board, uint16_t address, short* result);
void FindLstn(int board, const uint16_t* padList, uint16_t* results, int limit);
void PPoll(int board, short* result);
void TestSRQ(int board, short* result);
void WaitSRQ(int board, short* result);
void SendIFC(int board);

// The parallel poll byte of an AR488 (++ppoll), or -1 once the failure is reported.
int ParallelPoll(Board& b, int base, int timeoutMs);

}  // namespace vexon::prologix
