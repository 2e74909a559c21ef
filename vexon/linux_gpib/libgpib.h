// libgpib.so.0 (linux-gpib's user library) as this back end binds it: the
// entry points with libgpib's own types, resolved once when it is loaded.
// Counts are long and Addr4882_t is uint16_t there; everything else matches
// the driver ABI.
#pragma once
#include <cstdint>

namespace vexon::linux_gpib {

using Addr4882_t = std::uint16_t;

// libgpib's end modes of Send, SendList and SendDataBytes (not the ABI's).
enum : int { kLibNULLend = 0, kLibDABend = 1, kLibNLend = 2 };

// Handle calls that pass through as they are: X(our name, libgpib's symbol,
// libgpib's parameter list). Our A-suffixed names are plain in libgpib.
#define LIBGPIB_HANDLE_CALLS(X)                                          \
  X(ibask, "ibask", (int ud, int option, int* value))                    \
  X(ibcac, "ibcac", (int ud, int synchronous))                           \
  X(ibclr, "ibclr", (int ud))                                            \
  X(ibcmd, "ibcmd", (int ud, const void* commands, long count))          \
  X(ibcmda, "ibcmda", (int ud, const void* commands, long count))        \
  X(ibconfig, "ibconfig", (int ud, int option, int setting))             \
  X(ibeos, "ibeos", (int ud, int eosmode))                               \
  X(ibgts, "ibgts", (int ud, int shadowHandshake))                       \
  X(iblines, "iblines", (int ud, short* lineStatus))                     \
  X(ibln, "ibln", (int ud, int pad, int sad, short* foundListener))      \
  X(ibloc, "ibloc", (int ud))                                            \
  X(ibpct, "ibpct", (int ud))                                            \
  X(ibppc, "ibppc", (int ud, int configuration))                         \
  X(ibrd, "ibrd", (int ud, void* buffer, long count))                    \
  X(ibrda, "ibrda", (int ud, void* buffer, long count))                  \
  X(ibrdfA, "ibrdf", (int ud, const char* filePath))                     \
  X(ibrpp, "ibrpp", (int ud, char* ppollResult))                         \
  X(ibrsp, "ibrsp", (int ud, char* result))                              \
  X(ibsic, "ibsic", (int ud))                                            \
  X(ibstop, "ibstop", (int ud))                                          \
  X(ibtrg, "ibtrg", (int ud))                                            \
  X(ibwait, "ibwait", (int ud, int statusMask))                          \
  X(ibwrt, "ibwrt", (int ud, const void* data, long count))              \
  X(ibwrta, "ibwrta", (int ud, const void* data, long count))            \
  X(ibwrtfA, "ibwrtf", (int ud, const char* filePath))

// IEEE 488.2 routines on a board descriptor that pass through as they are.
#define LIBGPIB_ROUTINES(X)                                                                 \
  X(AllSpoll, "AllSPoll", (int board, const Addr4882_t* addresses, short* results))         \
  X(DevClear, "DevClear", (int board, Addr4882_t address))                                  \
  X(DevClearList, "DevClearList", (int board, const Addr4882_t* addresses))                 \
  X(EnableLocal, "EnableLocal", (int board, const Addr4882_t* addresses))                   \
  X(EnableRemote, "EnableRemote", (int board, const Addr4882_t* addresses))                 \
  X(FindLstn, "FindLstn",                                                                   \
    (int board, const Addr4882_t* pads, Addr4882_t* results, int maxResults))              \
  X(FindRQS, "FindRQS", (int board, const Addr4882_t* addresses, short* status))            \
  X(PPoll, "PPoll", (int board, short* result))                                             \
  X(PPollConfig, "PPollConfig", (int board, Addr4882_t address, int dataLine, int lineSense)) \
  X(PPollUnconfig, "PPollUnconfig", (int board, const Addr4882_t* addresses))               \
  X(PassControl, "PassControl", (int board, Addr4882_t address))                            \
  X(RcvRespMsg, "RcvRespMsg", (int board, void* buffer, long count, int termination))       \
  X(ReadStatusByte, "ReadStatusByte", (int board, Addr4882_t address, short* result))       \
  X(Receive, "Receive",                                                                     \
    (int board, Addr4882_t address, void* buffer, long count, int termination))            \
  X(ReceiveSetup, "ReceiveSetup", (int board, Addr4882_t address))                          \
  X(ResetSys, "ResetSys", (int board, const Addr4882_t* addresses))                         \
  X(SendCmds, "SendCmds", (int board, const void* commands, long count))                    \
  X(SendIFC, "SendIFC", (int board))                                                        \
  X(SendLLO, "SendLLO", (int board))                                                        \
  X(SendSetup, "SendSetup", (int board, const Addr4882_t* addresses))                       \
  X(SetRWLS, "SetRWLS", (int board, const Addr4882_t* addresses))                           \
  X(TestSRQ, "TestSRQ", (int board, short* result))                                         \
  X(TestSys, "TestSys", (int board, const Addr4882_t* addresses, short* results))           \
  X(Trigger, "Trigger", (int board, Addr4882_t address))                                    \
  X(TriggerList, "TriggerList", (int board, const Addr4882_t* addresses))                   \
  X(WaitSRQ, "WaitSRQ", (int board, short* result))

// Entry points the back end calls with arguments of its own making.
#define LIBGPIB_OTHER_CALLS(X)                                                              \
  X(ibdev, "ibdev", int, (int board, int pad, int sad, int tmo, int eot, int eos))          \
  X(ibfind, "ibfind", int, (const char* name))                                              \
  X(ibonl, "ibonl", int, (int ud, int online))                                              \
  X(Send, "Send", void,                                                                     \
    (int board, Addr4882_t address, const void* data, long count, int eotMode))             \
  X(SendDataBytes, "SendDataBytes", void,                                                   \
    (int board, const void* data, long count, int eotMode))                                 \
  X(SendList, "SendList", void,                                                             \
    (int board, const Addr4882_t* addresses, const void* data, long count, int eotMode))

// The calling thread's status of its last call; without them nothing can be
// reported, so a library that lacks one is not loaded.
#define LIBGPIB_STATUS(X)                              \
  X(ThreadIbsta, "ThreadIbsta", int, (void))           \
  X(ThreadIberr, "ThreadIberr", int, (void))           \
  X(ThreadIbcntl, "ThreadIbcntl", long, (void))

// The loaded library: every entry point, null where the library lacks it.
struct Libgpib {
#define LIBGPIB_INT_MEMBER(name, symbol, params) int(*name) params = nullptr;
#define LIBGPIB_VOID_MEMBER(name, symbol, params) void(*name) params = nullptr;
#define LIBGPIB_TYPED_MEMBER(name, symbol, ret, params) ret(*name) params = nullptr;
  LIBGPIB_HANDLE_CALLS(LIBGPIB_INT_MEMBER)
  LIBGPIB_ROUTINES(LIBGPIB_VOID_MEMBER)
  LIBGPIB_OTHER_CALLS(LIBGPIB_TYPED_MEMBER)
  LIBGPIB_STATUS(LIBGPIB_TYPED_MEMBER)
#undef LIBGPIB_INT_MEMBER
#undef LIBGPIB_VOID_MEMBER
#undef LIBGPIB_TYPED_MEMBER
};

// The library, loaded on the first call: null after the failure is reported
// for board (one line on stderr; ERR, EDVR, ibcntl 126 when it cannot be
// loaded, 127 when it lacks a status function). The next call tries again.
const Libgpib* LoadLibgpib(int board);
// The library once loaded, else null.
const Libgpib* LoadedLibgpib();

}  // namespace vexon::linux_gpib
