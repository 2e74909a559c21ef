// The hostile driver's status words and the patterns it writes.
#include <algorithm>
#include <cstring>

#include "hostile_driver.h"
#include "hostile_mode.h"

namespace {
int lastStatus = 0, lastError = 0, lastCount = 0;
// Address lists longer than any bus are not followed further.
constexpr int kLongestList = 4096;
}  // namespace

HOSTILE_API int Ibsta(void) { return lastStatus; }
HOSTILE_API int Iberr(void) { return lastError; }
HOSTILE_API int Ibcnt(void) { return lastCount; }

namespace hostile {

int Report(int sta, int cnt) {
  const Mode& m = CurrentMode();
  lastStatus = m.status.value_or(m.error ? ERR : sta);
  lastError = m.error.value_or(0);
  lastCount = m.count.value_or(cnt);
  return lastStatus;
}

int ReportPlain(int sta, int cnt) {
  lastError = 0;
  lastCount = cnt;
  return lastStatus = sta;
}

int ReportError(int sta, int err) {
  ReportPlain(sta | ERR, 0);
  lastError = err;
  return lastStatus;
}

int ListLength(const uint16_t* list) {
  int n = 0;
  while (list && n < kLongestList && list[n] != NOADDR) ++n;
  return n;
}

void FillData(void* buf, int from, int to) {
  auto* p = static_cast<uint8_t*>(buf);
  for (int i = from; p && i < to; ++i) p[i] = static_cast<uint8_t>(i);
}

void FillText(void* buf, size_t size) {
  static constexpr char kText[] = "HOSTILE";
  auto* p = static_cast<char*>(buf);
  for (size_t i = 0; p && i < size; ++i) p[i] = kText[i % (sizeof kText - 1)];
}

}  // namespace hostile
