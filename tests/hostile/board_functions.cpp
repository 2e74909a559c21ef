// The hostile driver's board and device functions. Each writes only what a
// sane caller's buffer holds (the count it passes, or the size of the result
// the function defines) and reports what the mode says.
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>

#include "hostile_driver.h"
#include "hostile_mode.h"

using namespace hostile;

namespace {

int nextHandle = 0;

int NewHandle() {
  const Mode& m = CurrentMode();
  int ud = m.handle.value_or(nextHandle++);
  Report(CMPL, 0);
  return ud;
}

// A call that moves nothing.
int Plain() {
  BeginCall();
  return Report(CMPL, 0);
}

// A read that waits for ibstop, which another thread of the program calls.
std::mutex waitLock;
std::condition_variable waitEnded;
bool readWaiting = false, readStopped = false;

// Waits for ibstop; true when it came, false after 30 s.
bool WaitForStop() {
  std::unique_lock lock(waitLock);
  readWaiting = true;
  readStopped = false;
  bool stopped = waitEnded.wait_for(lock, std::chrono::seconds(30), [] { return readStopped; });
  readWaiting = false;
  return stopped;
}

// Ends a waiting read; false when none waits.
bool StopWaitingRead() {
  std::lock_guard lock(waitLock);
  if (!readWaiting) return false;
  readStopped = true;
  waitEnded.notify_all();
  return true;
}

int Read(void* buf, int count) {
  BeginCall();
  if (CurrentMode().readWaits) {
    if (WaitForStop()) return ReportError(CMPL, EABO);
    return ReportError(TIMO | CMPL, EABO);
  }
  if (buf && count > 0) FillData(buf, 0, count);
  return Report(END | CMPL, count > 0 ? count : 0);
}

int Write(int count) {
  BeginCall();
  return Report(CMPL, count > 0 ? count : 0);
}

template <typename T>
int PutWord(T* out) {
  BeginCall();
  if (out) *out = static_cast<T>(CurrentMode().word);
  return Report(CMPL, 0);
}

enum class Out { None, Word, Text };

struct ExpertOutput {
  int option;
  Out kind;
  size_t size;  // bytes a caller provides for the option's result
};

// The ibexpert options that hand back a result; the rest only take input.
constexpr ExpertOutput kExpertOutputs[] = {
    {IbeAPISpecVersion, Out::Text, 9},        {IbeBoardType, Out::Word, 4},
    {IbeCompatibleType, Out::Word, 4},        {IbeDriverVersion, Out::Text, 16},
    {IbeSelfDiagnostic, Out::Word, 4},        {IbeCtrlSerialNumber, Out::Text, 32},
    {IbeRead, Out::Word, 4},                  {IbeInterfaceIsConfigured, Out::Text, 400},
    {IbeInterfaceDescription, Out::Text, 100},
};

}  // namespace

HOSTILE_API int ibfindA(const char*) {
  BeginCall();
  return NewHandle();
}

HOSTILE_API int ibdev(int, int, int, int, int, int) {
  BeginCall();
  return NewHandle();
}

HOSTILE_API int ibrd(int, void* buf, int count) { return Read(buf, count); }

HOSTILE_API int ibrda(int ud, void* buf, int count) {
  BeginCall();
  const bool async = CurrentMode().asyncRead;
  int sta = Report(async ? 0 : END | CMPL, async || count < 0 ? 0 : count);
  // A call that reports an error has not started: the caller may free the buffer.
  if (!(sta & ERR)) StartAsyncRead(ud, buf, count);
  return sta;
}

HOSTILE_API int ibwait(int ud, int) {
  BeginIoCall(ud);
  int n = TakeAsyncReadCount(ud);
  return Report(n >= 0 ? END | CMPL : CMPL, n >= 0 ? n : 0);
}

HOSTILE_API int ibnotify(int ud, int mask, NotifyCallback cb, void* refData) {
  BeginIoCall(ud);
  if (mask) ArmNotification(ud, cb, refData);
  return Report(CMPL, 0);
}

// Stopping or resetting a handle ends its read; another handle's goes on.
HOSTILE_API int ibstop(int ud) {
  // From another thread while a read waits: only that read is ended.
  if (StopWaitingRead()) return CMPL;
  BeginIoCall(ud);
  TakeAsyncReadCount(ud);
  return Report(CMPL, 0);
}

HOSTILE_API int ibonl(int ud, int) {
  BeginIoCall(ud);
  TakeAsyncReadCount(ud);
  return Report(CMPL, 0);
}

// A write of a mode text ("count=huge status=all", "sane") sets the mode for
// the calls after it and reports a plain write.
HOSTILE_API int ibwrt(int, const void* buf, int count) {
  BeginCall();
  if (buf && count > 0 && ParseMode(std::string(static_cast<const char*>(buf), count), CurrentMode()))
    return ReportPlain(CMPL, count);
  return Report(CMPL, count > 0 ? count : 0);
}

HOSTILE_API int ibwrta(int, const void*, int count) { return Write(count); }
HOSTILE_API int ibcmd(int, const void*, int count) { return Write(count); }
HOSTILE_API int ibcmda(int, const void*, int count) { return Write(count); }
HOSTILE_API int ibrdfA(int, const char*) { return Plain(); }
HOSTILE_API int ibwrtfA(int, const char*) { return Plain(); }

HOSTILE_API int ibask(int, int, int* value) { return PutWord(value); }
HOSTILE_API int iblines(int, short* lines) { return PutWord(lines); }
HOSTILE_API int ibln(int, int, int, short* listen) { return PutWord(listen); }
HOSTILE_API int ibrpp(int, char* ppr) { return PutWord(ppr); }
HOSTILE_API int ibrsp(int, char* spr) { return PutWord(spr); }

HOSTILE_API int ibexpert(int, int option, void*, void* out) {
  BeginCall();
  for (const ExpertOutput& o : kExpertOutputs) {
    if (o.option != option || !out) continue;
    if (o.kind == Out::Text) {
      FillText(out, o.size);
    } else {
      int w = CurrentMode().word;
      std::memcpy(out, &w, sizeof w);
    }
  }
  return Report(CMPL, 0);
}

HOSTILE_API int ibcac(int, int) { return Plain(); }
HOSTILE_API int ibclr(int) { return Plain(); }
HOSTILE_API int ibconfig(int, int, int) { return Plain(); }
HOSTILE_API int ibeos(int, int) { return Plain(); }
HOSTILE_API int ibgts(int, int) { return Plain(); }
HOSTILE_API int iblck(int, int, int, void*) { return Plain(); }
HOSTILE_API int ibloc(int) { return Plain(); }
HOSTILE_API int ibpct(int) { return Plain(); }
HOSTILE_API int ibppc(int, int) { return Plain(); }
HOSTILE_API int ibsic(int) { return Plain(); }
HOSTILE_API int ibtrg(int) { return Plain(); }
