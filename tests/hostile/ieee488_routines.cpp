// The hostile driver's IEEE 488.2 routines. Result arrays get one entry per
// address of the list (FindLstn: no more than its limit); ibcntl, whatever it
// says, is the mode's.
#include "hostile_driver.h"
#include "hostile_mode.h"

using namespace hostile;

namespace {

void Plain() {
  BeginCall();
  Report(CMPL, 0);
}

void Read(void* buf, int count) {
  BeginCall();
  if (buf && count > 0) FillData(buf, 0, count);
  Report(END | CMPL, count > 0 ? count : 0);
}

void Write(int count) {
  BeginCall();
  Report(CMPL, count > 0 ? count : 0);
}

// One result word per address; sane ibcntl is index (FindRQS, TestSys) or count.
void PerAddress(const uint16_t* list, short* results, int saneCount) {
  BeginCall();
  const int n = ListLength(list);
  for (int i = 0; results && i < n; ++i) results[i] = static_cast<short>(CurrentMode().word);
  Report(CMPL, saneCount < 0 ? n : saneCount);
}

void OneWord(short* result) {
  BeginCall();
  if (result) *result = static_cast<short>(CurrentMode().word);
  Report(CMPL, 0);
}

}  // namespace

HOSTILE_API void AllSpoll(int, const uint16_t* list, short* results) { PerAddress(list, results, -1); }
HOSTILE_API void TestSys(int, const uint16_t* list, short* results) { PerAddress(list, results, 0); }

HOSTILE_API void FindRQS(int, const uint16_t*, short* result) { OneWord(result); }

HOSTILE_API void FindLstn(int, const uint16_t* padList, uint16_t* results, int limit) {
  BeginCall();
  int n = ListLength(padList);
  if (n > limit) n = limit;
  for (int i = 0; results && i < n; ++i) results[i] = padList[i];
  Report(CMPL, n > 0 ? n : 0);
}

HOSTILE_API void ReadStatusByte(int, uint16_t, short* result) { OneWord(result); }
HOSTILE_API void PPoll(int, short* result) { OneWord(result); }
HOSTILE_API void TestSRQ(int, short* result) { OneWord(result); }
HOSTILE_API void WaitSRQ(int, short* result) { OneWord(result); }

HOSTILE_API void Receive(int, uint16_t, void* buf, int count, int) { Read(buf, count); }
HOSTILE_API void RcvRespMsg(int, void* buf, int count, int) { Read(buf, count); }
HOSTILE_API void Send(int, uint16_t, const void*, int count, int) { Write(count); }
HOSTILE_API void SendCmds(int, const void*, int count) { Write(count); }
HOSTILE_API void SendDataBytes(int, const void*, int count, int) { Write(count); }
HOSTILE_API void SendList(int, const uint16_t*, const void*, int count, int) { Write(count); }

HOSTILE_API void DevClear(int, uint16_t) { Plain(); }
HOSTILE_API void DevClearList(int, const uint16_t*) { Plain(); }
HOSTILE_API void EnableLocal(int, const uint16_t*) { Plain(); }
HOSTILE_API void EnableRemote(int, const uint16_t*) { Plain(); }
HOSTILE_API void PPollConfig(int, uint16_t, int, int) { Plain(); }
HOSTILE_API void PPollUnconfig(int, const uint16_t*) { Plain(); }
HOSTILE_API void PassControl(int, uint16_t) { Plain(); }
HOSTILE_API void ReceiveSetup(int, uint16_t) { Plain(); }
HOSTILE_API void ResetSys(int, const uint16_t*) { Plain(); }
HOSTILE_API void SendIFC(int) { Plain(); }
HOSTILE_API void SendLLO(int) { Plain(); }
HOSTILE_API void SendSetup(int, const uint16_t*) { Plain(); }
HOSTILE_API void SetRWLS(int, const uint16_t*) { Plain(); }
HOSTILE_API void Trigger(int, uint16_t) { Plain(); }
HOSTILE_API void TriggerList(int, const uint16_t*) { Plain(); }
