// The driver's calls as the router forwards them: each as X(name, parameter
// list, argument list). Handle calls take the handle first, the IEEE 488.2
// routines the board index. ibfind and ibdev open handles and ibonl closes
// them: the router does more than forward those, so they are written out.
#pragma once

// The option calls, which the router answers on its record of the handle
// unless a back end passes them to a library of its own.
#define VEXON_OPTION_CALLS(X)                                                            \
  X(ibask, (int ud, int option, int* value), (ud, option, value))                        \
  X(ibconfig, (int ud, int option, int value), (ud, option, value))                      \
  X(ibeos, (int ud, int v), (ud, v))

#define VEXON_HANDLE_CALLS(X) VEXON_OPTION_CALLS(X) VEXON_BUS_HANDLE_CALLS(X)

// The calls on a handle that reach the bus.
#define VEXON_BUS_HANDLE_CALLS(X)                                                        \
  X(ibcac, (int ud, int v), (ud, v))                                                     \
  X(ibclr, (int ud), (ud))                                                               \
  X(ibcmd, (int ud, const void* buf, int count), (ud, buf, count))                       \
  X(ibcmda, (int ud, const void* buf, int count), (ud, buf, count))                      \
  X(ibexpert, (int ud, int option, void* in, void* out), (ud, option, in, out))          \
  X(ibgts, (int ud, int v), (ud, v))                                                     \
  X(iblck, (int ud, int v, int lockWaitTime, void* reserved), (ud, v, lockWaitTime, reserved)) \
  X(iblines, (int ud, short* lines), (ud, lines))                                        \
  X(ibln, (int ud, int pad, int sad, short* listen), (ud, pad, sad, listen))             \
  X(ibloc, (int ud), (ud))                                                               \
  X(ibnotify, (int ud, int mask, NotifyCallback cb, void* refData), (ud, mask, cb, refData)) \
  X(ibpct, (int ud), (ud))                                                               \
  X(ibppc, (int ud, int v), (ud, v))                                                     \
  X(ibrd, (int ud, void* buf, int count), (ud, buf, count))                              \
  X(ibrda, (int ud, void* buf, int count), (ud, buf, count))                             \
  X(ibrdfA, (int ud, const char* fileName), (ud, fileName))                              \
  X(ibrpp, (int ud, char* ppr), (ud, ppr))                                               \
  X(ibrsp, (int ud, char* spr), (ud, spr))                                               \
  X(ibsic, (int ud), (ud))                                                               \
  X(ibstop, (int ud), (ud))                                                              \
  X(ibtrg, (int ud), (ud))                                                               \
  X(ibwait, (int ud, int mask), (ud, mask))                                              \
  X(ibwrt, (int ud, const void* buf, int count), (ud, buf, count))                       \
  X(ibwrta, (int ud, const void* buf, int count), (ud, buf, count))                      \
  X(ibwrtfA, (int ud, const char* fileName), (ud, fileName))

#define VEXON_BOARD_ROUTINES(X)                                                          \
  X(AllSpoll, (int board, const uint16_t* list, short* results), (board, list, results)) \
  X(DevClear, (int board, uint16_t address), (board, address))                           \
  X(DevClearList, (int board, const uint16_t* list), (board, list))                      \
  X(EnableLocal, (int board, const uint16_t* list), (board, list))                       \
  X(EnableRemote, (int board, const uint16_t* list), (board, list))                      \
  X(FindLstn, (int board, const uint16_t* padList, uint16_t* results, int limit),        \
    (board, padList, results, limit))                                                    \
  X(FindRQS, (int board, const uint16_t* list, short* result), (board, list, result))    \
  X(PPoll, (int board, short* result), (board, result))                                  \
  X(PPollConfig, (int board, uint16_t address, int dataLine, int lineSense),             \
    (board, address, dataLine, lineSense))                                               \
  X(PPollUnconfig, (int board, const uint16_t* list), (board, list))                     \
  X(PassControl, (int board, uint16_t address), (board, address))                        \
  X(RcvRespMsg, (int board, void* buf, int count, int termination),                      \
    (board, buf, count, termination))                                                    \
  X(ReadStatusByte, (int board, uint16_t address, short* result), (board, address, result)) \
  X(Receive, (int board, uint16_t address, void* buf, int count, int termination),       \
    (board, address, buf, count, termination))                                           \
  X(ReceiveSetup, (int board, uint16_t address), (board, address))                       \
  X(ResetSys, (int board, const uint16_t* list), (board, list))                          \
  X(Send, (int board, uint16_t address, const void* buf, int count, int eotMode),        \
    (board, address, buf, count, eotMode))                                               \
  X(SendCmds, (int board, const void* buf, int count), (board, buf, count))              \
  X(SendDataBytes, (int board, const void* buf, int count, int eotMode),                 \
    (board, buf, count, eotMode))                                                        \
  X(SendIFC, (int board), (board))                                                       \
  X(SendLLO, (int board), (board))                                                       \
  X(SendList, (int board, const uint16_t* list, const void* buf, int count, int eotMode), \
    (board, list, buf, count, eotMode))                                                  \
  X(SendSetup, (int board, const uint16_t* list), (board, list))                         \
  X(SetRWLS, (int board, const uint16_t* list), (board, list))                           \
  X(TestSRQ, (int board, short* result), (board, result))                                \
  X(TestSys, (int board, const uint16_t* list, short* results), (board, list, results))  \
  X(Trigger, (int board, uint16_t address), (board, address))                            \
  X(TriggerList, (int board, const uint16_t* list), (board, list))                       \
  X(WaitSRQ, (int board, short* result), (board, result))
