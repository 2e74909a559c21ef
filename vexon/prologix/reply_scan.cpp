// The end mark's place in a reply: text and definite-length blocks.
#include "reply_scan.h"

namespace vexon::prologix {

void ReplyScan::Feed(uint8_t c) {
  const bool atStart = elementStart;
  elementStart = false;
  switch (state) {
    case kText:
      if (c == '#' && atStart) state = kHash;
      else if (!IsTextByte(c)) state = kBinary;
      else elementStart = c == ',' || c == ';' || c == ' ';
      break;
    case kHash:
      if (c >= '1' && c <= '9') {
        digitsLeft = c - '0';
        length = 0;
        state = kDigits;
      } else {
        // "#0" starts an indefinite block: binary up to the end.
        state = c == '0' || !IsTextByte(c) ? kBinary : kText;
      }
      break;
    case kDigits:
      if (c < '0' || c > '9') {
        state = IsTextByte(c) ? kText : kBinary;
        break;
      }
      length = length * 10 + static_cast<uint64_t>(c - '0');
      if (--digitsLeft == 0) {
        payloadLeft = length;
        payloadText = true;
        payloadLast = 0;
        state = length ? kPayload : kText;
      }
      break;
    case kPayload:
    case kBinary:
      break;
  }
}

void ReplyScan::TakePayload(const uint8_t* p, uint64_t n) {
  if (!n) return;
  for (uint64_t i = 0; i < n && payloadText; ++i) payloadText = IsTextByte(p[i]);
  payloadLast = p[n - 1];
  payloadLeft -= n;
  if (!payloadLeft) state = kText;
}

int ChooseMark(int mark, const bool seen[256], int avoid) {
  if (!seen[mark & 0xFF] && mark != avoid) return mark;
  int fallback = -1;
  for (int v = 0xFF; v >= 0; --v) {
    if (seen[v] || v == avoid) continue;
    if (!IsTextByte(static_cast<uint8_t>(v))) return v;
    if (fallback < 0) fallback = v;
  }
  if (fallback >= 0) return fallback;
  return mark != avoid ? mark : (mark + 1) & 0xFF;
}

}  // namespace vexon::prologix
