/* vexon.h: the classic GPIB API of libvexon.so, for C and C++ programs.
   Link with `pkg-config --cflags --libs vexon`. Status words: Ibsta(),
   Iberr(), Ibcnt() after each call. */
#ifndef VEXON_H
#define VEXON_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ibsta bits */
#define DCAS 0x0001
#define DTAS 0x0002
#define LACS 0x0004
#define TACS 0x0008
#define ATN  0x0010
#define CIC  0x0020
#define REM  0x0040
#define LOK  0x0080
#define CMPL 0x0100
#define RQS  0x0800
#define SRQI 0x1000
#define END  0x2000
#define TIMO 0x4000
#define ERR  0x8000

/* iberr codes */
#define EDVR 0
#define ECIC 1
#define ENOL 2
#define EADR 3
#define EARG 4
#define ESAC 5
#define EABO 6
#define ENEB 7
#define EDMA 8
#define EOIP 10
#define ECAP 11
#define EFSO 12
#define EBUS 14
#define ESTB 15
#define ESRQ 16
#define ETAB 20
#define ELCK 21
#define EHDL 23
#define EWIP 26
#define ERST 27
#define EPWR 28

/* ibconfig and ibask options */
#define IbcPAD 1
#define IbcSAD 2
#define IbcTMO 3
#define IbcEOT 4
#define IbcPPC 5
#define IbcREADDR 6
#define IbcAUTOPOLL 7
#define IbcCICPROT 8
#define IbcIRQ 9
#define IbcSC 10
#define IbcSRE 11
#define IbcEOSrd 12
#define IbcEOSwrt 13
#define IbcEOScmp 14
#define IbcEOSchar 15
#define IbcPP2 16
#define IbcTIMING 17
#define IbcDMA 18
#define IbcReadAdjust 19
#define IbcWriteAdjust 20
#define IbcSendLLO 23
#define IbcSPollTime 24
#define IbcPPollTime 25
#define IbcEndBitIsNormal 26
#define IbcUnAddr 27
#define IbcSignalNumber 28
#define IbcBlockIfLocked 29
#define IbcHSCableLength 31
#define IbcIst 32
#define IbcRsv 33
#define IbcLON 34
#define IbcSerialNumber 35
#define IbcEOS 37
#define IbcBNA 0x200

/* Timeout codes (ibdev's tmo, IbcTMO) */
#define TNONE 0
#define T10us 1
#define T30us 2
#define T100us 3
#define T300us 4
#define T1ms 5
#define T3ms 6
#define T10ms 7
#define T30ms 8
#define T100ms 9
#define T300ms 10
#define T1s 11
#define T3s 12
#define T10s 13
#define T30s 14
#define T100s 15
#define T300s 16
#define T1000s 17

/* IEEE 488.2 routines: end modes, termination, address lists */
#define NULLend 0
#define NLend 1
#define DABend 2
#define STOPend 0x100
#define NOADDR ((Addr4882_t)0xFFFF)
typedef uint16_t Addr4882_t;
#define MakeAddr(pad, sad) ((Addr4882_t)(((pad) & 0xFF) | ((sad) << 8)))

typedef int (*NotifyCallback)(int ud, int ibsta, int iberr, int ibcntl, void* refData);

int Ibsta(void);
int Iberr(void);
int Ibcnt(void);

int ibask(int ud, int option, int* value);
int ibcac(int ud, int v);
int ibclr(int ud);
int ibcmd(int ud, const void* buf, int count);
int ibcmda(int ud, const void* buf, int count);
int ibconfig(int ud, int option, int value);
int ibdev(int board, int pad, int sad, int tmo, int eot, int eos);
int ibeos(int ud, int v);
int ibexpert(int ud, int option, void* in, void* out);
int ibfindA(const char* name);
int ibgts(int ud, int v);
int iblck(int ud, int v, int lockWaitTime, void* reserved);
int iblines(int ud, short* lines);
int ibln(int ud, int pad, int sad, short* listen);
int ibloc(int ud);
int ibnotify(int ud, int mask, NotifyCallback cb, void* refData);
int ibonl(int ud, int v);
int ibpct(int ud);
int ibppc(int ud, int v);
int ibrd(int ud, void* buf, int count);
int ibrda(int ud, void* buf, int count);
int ibrdfA(int ud, const char* fileName);
int ibrpp(int ud, char* ppr);
int ibrsp(int ud, char* spr);
int ibsic(int ud);
int ibstop(int ud);
int ibtrg(int ud);
int ibwait(int ud, int mask);
int ibwrt(int ud, const void* buf, int count);
int ibwrta(int ud, const void* buf, int count);
int ibwrtfA(int ud, const char* fileName);
#define ibfind ibfindA
#define ibrdf ibrdfA
#define ibwrtf ibwrtfA

void AllSpoll(int board, const Addr4882_t* list, short* results);
void DevClear(int board, Addr4882_t address);
void DevClearList(int board, const Addr4882_t* list);
void EnableLocal(int board, const Addr4882_t* list);
void EnableRemote(int board, const Addr4882_t* list);
void FindLstn(int board, const Addr4882_t* padList, Addr4882_t* results, int limit);
void FindRQS(int board, const Addr4882_t* list, short* result);
void PPoll(int board, short* result);
void PPollConfig(int board, Addr4882_t address, int dataLine, int lineSense);
void PPollUnconfig(int board, const Addr4882_t* list);
void PassControl(int board, Addr4882_t address);
void RcvRespMsg(int board, void* buf, int count, int termination);
void ReadStatusByte(int board, Addr4882_t address, short* result);
void Receive(int board, Addr4882_t address, void* buf, int count, int termination);
void ReceiveSetup(int board, Addr4882_t address);
void ResetSys(int board, const Addr4882_t* list);
void Send(int board, Addr4882_t address, const void* buf, int count, int eotMode);
void SendCmds(int board, const void* buf, int count);
void SendDataBytes(int board, const void* buf, int count, int eotMode);
void SendIFC(int board);
void SendLLO(int board);
void SendList(int board, const Addr4882_t* list, const void* buf, int count, int eotMode);
void SendSetup(int board, const Addr4882_t* list);
void SetRWLS(int board, const Addr4882_t* list);
void TestSRQ(int board, short* result);
void TestSys(int board, const Addr4882_t* list, short* results);
void Trigger(int board, Addr4882_t address);
void TriggerList(int board, const Addr4882_t* list);
void WaitSRQ(int board, short* result);

/* vexon's own: what the library is and which bus it drives. */
const char* VexonVersion(void);
/* The bus file the driver reads: copies its path, with the closing zero,
   into path and returns its length; "" and 0 for the built-in bus; -1 when
   it does not fit in size bytes. Loads nothing. */
int VexonBusFile(char* path, int size);

#ifdef __cplusplus
}
#endif

#endif /* VEXON_H */
