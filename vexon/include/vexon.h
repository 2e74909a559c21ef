/* vexon.h: the classic GPIB API of libvexon.so, for C and C++ programs.
   Link with `pkg-config --cflags --libs vexon`. Status words: Ibsta(),
   Iberr(), Ibcnt() after the last call of any thread; ThreadIbsta(),
   ThreadIberr(), ThreadIbcnt(), ThreadIbcntl() after the calling thread's
   own last call. The library itself is built against this header. */
#ifndef VEXON_H
#define VEXON_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ibsta bits */
enum {
  DCAS = 0x0001, DTAS = 0x0002, LACS = 0x0004, TACS = 0x0008,
  ATN = 0x0010, CIC = 0x0020, REM = 0x0040, LOK = 0x0080,
  CMPL = 0x0100, RQS = 0x0800, SRQI = 0x1000, END = 0x2000,
  TIMO = 0x4000, ERR = 0x8000
};

/* iberr codes */
enum {
  EDVR = 0, ECIC = 1, ENOL = 2, EADR = 3, EARG = 4, ESAC = 5, EABO = 6,
  ENEB = 7, EDMA = 8, EOIP = 10, ECAP = 11, EFSO = 12, EBUS = 14, ESTB = 15,
  ESRQ = 16, ETAB = 20, ELCK = 21, EHDL = 23, EWIP = 26, ERST = 27, EPWR = 28
};

/* ibconfig and ibask options */
enum {
  IbcPAD = 1, IbcSAD = 2, IbcTMO = 3, IbcEOT = 4, IbcPPC = 5, IbcREADDR = 6,
  IbcAUTOPOLL = 7, IbcCICPROT = 8, IbcIRQ = 9, IbcSC = 10, IbcSRE = 11,
  IbcEOSrd = 12, IbcEOSwrt = 13, IbcEOScmp = 14, IbcEOSchar = 15, IbcPP2 = 16,
  IbcTIMING = 17, IbcDMA = 18, IbcReadAdjust = 19, IbcWriteAdjust = 20,
  IbcSendLLO = 23, IbcSPollTime = 24, IbcPPollTime = 25, IbcEndBitIsNormal = 26,
  IbcUnAddr = 27, IbcSignalNumber = 28, IbcBlockIfLocked = 29,
  IbcHSCableLength = 31, IbcIst = 32, IbcRsv = 33, IbcLON = 34,
  IbcSerialNumber = 35, IbcEOS = 37, IbcBNA = 0x200
};

/* ibexpert options */
enum {
  IbeAPISpecVersion = 0, IbeBoardType = 1, IbeCompatibleType = 2,
  IbeDriverVersion = 3, IbeSelfDiagnostic = 4, IbeDebugMode = 5,
  IbeCtrlSerialNumber = 6, IbeWrite = 7, IbeRead = 8, IbeSwapSPDCommandBytes = 9,
  IbeInterfaceIsConfigured = 10, IbeInterfaceDescription = 11, IbeLck = 12,
  IbeWriteSerialNumber = 13, IbeChangeDeviceBNA = 15
};

/* Timeout codes (ibdev's tmo, IbcTMO) */
enum {
  TNONE = 0, T10us = 1, T30us = 2, T100us = 3, T300us = 4, T1ms = 5, T3ms = 6,
  T10ms = 7, T30ms = 8, T100ms = 9, T300ms = 10, T1s = 11, T3s = 12, T10s = 13,
  T30s = 14, T100s = 15, T300s = 16, T1000s = 17
};

/* IEEE 488.2 routines: end modes, termination, address lists */
enum { NULLend = 0, NLend = 1, DABend = 2 };
enum { STOPend = 0x100 };
typedef uint16_t Addr4882_t;
#define NOADDR ((Addr4882_t)0xFFFF)
#define MakeAddr(pad, sad) ((Addr4882_t)(((pad) & 0xFF) | ((sad) << 8)))

typedef int (*NotifyCallback)(int ud, int ibsta, int iberr, int ibcntl, void* refData);

/* Every call of the library, as X(name, return type, parameter list): the
   declarations below, and whatever else needs the list, expand it. The
   IEEE 488.2 routines return nothing, the board and device functions ibsta. */
#define VEXON_FUNCTIONS(X)                                                                  \
  X(AllSpoll, void, (int board, const Addr4882_t* list, short* results))                  \
  X(DevClear, void, (int board, Addr4882_t address))                                      \
  X(DevClearList, void, (int board, const Addr4882_t* list))                              \
  X(EnableLocal, void, (int board, const Addr4882_t* list))                               \
  X(EnableRemote, void, (int board, const Addr4882_t* list))                              \
  X(FindLstn, void, (int board, const Addr4882_t* padList, Addr4882_t* results, int limit)) \
  X(FindRQS, void, (int board, const Addr4882_t* list, short* result))                    \
  X(PPoll, void, (int board, short* result))                                              \
  X(PPollConfig, void, (int board, Addr4882_t address, int dataLine, int lineSense))      \
  X(PPollUnconfig, void, (int board, const Addr4882_t* list))                             \
  X(PassControl, void, (int board, Addr4882_t address))                                   \
  X(RcvRespMsg, void, (int board, void* buf, int count, int termination))                 \
  X(ReadStatusByte, void, (int board, Addr4882_t address, short* result))                 \
  X(Receive, void, (int board, Addr4882_t address, void* buf, int count, int termination)) \
  X(ReceiveSetup, void, (int board, Addr4882_t address))                                  \
  X(ResetSys, void, (int board, const Addr4882_t* list))                                  \
  X(Send, void, (int board, Addr4882_t address, const void* buf, int count, int eotMode)) \
  X(SendCmds, void, (int board, const void* buf, int count))                              \
  X(SendDataBytes, void, (int board, const void* buf, int count, int eotMode))            \
  X(SendIFC, void, (int board))                                                           \
  X(SendLLO, void, (int board))                                                           \
  X(SendList, void, (int board, const Addr4882_t* list, const void* buf, int count, int eotMode)) \
  X(SendSetup, void, (int board, const Addr4882_t* list))                                 \
  X(SetRWLS, void, (int board, const Addr4882_t* list))                                   \
  X(TestSRQ, void, (int board, short* result))                                            \
  X(TestSys, void, (int board, const Addr4882_t* list, short* results))                   \
  X(Trigger, void, (int board, Addr4882_t address))                                       \
  X(TriggerList, void, (int board, const Addr4882_t* list))                               \
  X(WaitSRQ, void, (int board, short* result))                                            \
  X(ibask, int, (int ud, int option, int* value))                                         \
  X(ibcac, int, (int ud, int v))                                                          \
  X(ibclr, int, (int ud))                                                                 \
  X(ibcmd, int, (int ud, const void* buf, int count))                                     \
  X(ibcmda, int, (int ud, const void* buf, int count))                                    \
  X(ibconfig, int, (int ud, int option, int value))                                       \
  X(ibdev, int, (int board, int pad, int sad, int tmo, int eot, int eos))                 \
  X(ibeos, int, (int ud, int v))                                                          \
  X(ibexpert, int, (int ud, int option, void* in, void* out))                             \
  X(ibfindA, int, (const char* name))                                                     \
  X(ibgts, int, (int ud, int v))                                                          \
  X(iblck, int, (int ud, int v, int lockWaitTime, void* reserved))                        \
  X(iblines, int, (int ud, short* lines))                                                 \
  X(ibln, int, (int ud, int pad, int sad, short* listen))                                 \
  X(ibloc, int, (int ud))                                                                 \
  X(ibnotify, int, (int ud, int mask, NotifyCallback cb, void* refData))                  \
  X(ibonl, int, (int ud, int v))                                                          \
  X(ibpct, int, (int ud))                                                                 \
  X(ibppc, int, (int ud, int v))                                                          \
  X(ibrd, int, (int ud, void* buf, int count))                                            \
  X(ibrda, int, (int ud, void* buf, int count))                                           \
  X(ibrdfA, int, (int ud, const char* fileName))                                          \
  X(ibrpp, int, (int ud, char* ppr))                                                      \
  X(ibrsp, int, (int ud, char* spr))                                                      \
  X(ibsic, int, (int ud))                                                                 \
  X(ibstop, int, (int ud))                                                                \
  X(ibtrg, int, (int ud))                                                                 \
  X(ibwait, int, (int ud, int mask))                                                      \
  X(ibwrt, int, (int ud, const void* buf, int count))                                     \
  X(ibwrta, int, (int ud, const void* buf, int count))                                    \
  X(ibwrtfA, int, (int ud, const char* fileName))

/* The status words, as X(name, return type). */
#define VEXON_STATUS_FUNCTIONS(X) \
  X(Ibsta, int) X(Iberr, int) X(Ibcnt, int) \
  X(ThreadIbsta, int) X(ThreadIberr, int) X(ThreadIbcnt, int) X(ThreadIbcntl, long)

#define VEXON_DECLARE_FUNCTION(name, ret, params) ret name params;
#define VEXON_DECLARE_STATUS(name, ret) ret name(void);
VEXON_FUNCTIONS(VEXON_DECLARE_FUNCTION)
VEXON_STATUS_FUNCTIONS(VEXON_DECLARE_STATUS)
#undef VEXON_DECLARE_FUNCTION
#undef VEXON_DECLARE_STATUS

/* The names without the A, as programs written for the classic API call them.
   A program that defines these names itself (a fake driver) defines
   VEXON_NO_SHORT_NAMES first. */
#ifndef VEXON_NO_SHORT_NAMES
#define ibfind ibfindA
#define ibrdf ibrdfA
#define ibwrtf ibwrtfA
#endif

#ifdef __cplusplus
}
#endif

#endif /* VEXON_H */
