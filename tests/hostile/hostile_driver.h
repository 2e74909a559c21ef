// What the hostile driver's entry points share: the status words, the turn the
// library's threads take at each call, and the bytes it writes.
#pragma once
#include <cstddef>
#include <cstdint>

#include "driver/gpib.h"

#define HOSTILE_API extern "C" __attribute__((visibility("default")))

// Every entry point the program binds, declared once from its own list so a
// definition with another signature does not build.
#define HOSTILE_DECLARE(name, ret, params) HOSTILE_API ret name params;
VOREL_DRIVER_FUNCTIONS(HOSTILE_DECLARE)
#undef HOSTILE_DECLARE
HOSTILE_API int Ibsta(void);
HOSTILE_API int Iberr(void);
HOSTILE_API int Ibcnt(void);

namespace hostile {

// Starts every driver call: a pending notification thread takes its step and
// a running asynchronous read writes its next part. BeginIoCall starts the
// calls that wait for or stop the I/O of ud (ibwait, ibnotify, ibstop, ibonl):
// a read of that handle writes all it has left first.
void BeginCall();
void BeginIoCall(int ud);

// Leaves ibsta, iberr and ibcntl as the mode says, else as the call did
// (sta, no error, cnt); returns ibsta. ReportPlain leaves the mode out.
int Report(int sta, int cnt);
int ReportPlain(int sta, int cnt);
// Leaves ERR with sta, the error err and the count 0, whatever the mode.
int ReportError(int sta, int err);

// The number of entries of an address list before NOADDR; 0 for none.
int ListLength(const uint16_t* list);

// Sets bytes from..to-1 to their index modulo 256 (0x00, 0x01, ... 0xff, 0x00, ...).
void FillData(void* buf, int from, int to);
// Fills size bytes with "HOSTILE" over and over: text without a closing zero.
void FillText(void* buf, size_t size);

// ibnotify: arms the callback as the mode says. ibrda: starts a read whose
// data a thread writes during the next calls; false when the mode reads at once.
void ArmNotification(int ud, NotifyCallback cb, void* refData);
bool StartAsyncRead(int ud, void* buf, int count);
// Bytes of ud's asynchronous read that finished, once; -1 when there is none.
int TakeAsyncReadCount(int ud);

}  // namespace hostile
