// Sequence check of ibrdn and ibrdan.
#include "exec/sequence_check.h"

#include "core/print.h"

void SequenceCheck(const uint8_t* buffer, int32_t count, uint32_t capacity) {
  uint32_t n = static_cast<uint32_t>(count);
  // A count beyond the buffer is checked only as far as the buffer goes.
  uint32_t limit = n < capacity ? n : capacity;
  if (!buffer) limit = 0;
  uint32_t i = 0;
  while (i < limit && buffer[i] == static_cast<uint8_t>(i)) ++i;
  if (i == limit) {
    // The driver's count is reported as it came, also when it claims more
    // than the buffer holds (the status line shows it too).
    ConsolePrint("IBRD(A)N: entire buffer (0x%lx bytes) correctly sequential (0..FF).\n", static_cast<unsigned long>(n));
    return;
  }
  ConsolePrint("IBRD(A)N: buffer not sequential from index 0x%lx. Contents:\n", static_cast<unsigned long>(i));
  ConsolePrint("buffer[0x%lx] = ", static_cast<unsigned long>(i));
  for (uint32_t k = i; k < limit && k < i + 20; ++k) ConsolePrint("%x, ", buffer[k]);
  ConsolePrint("\n");
}
