// Telling the adapter's end mark from data. The adapter appends one byte
// (the mark, "++eot_char") after a message that ended with EOI and nothing
// after a read its own timeout ended; a mark byte may also be data. A reply
// that is text, or IEEE 488.2 definite-length blocks between text, shows
// where the mark can stand: a mark that is no text byte, arriving outside a
// block's payload, is the end at once. Anything else (binary data without a
// block header, an indefinite block, a block's payload) is ambiguous: a mark
// there is the end only when the adapter stays quiet after it for a while.
//
// A "#" starts a block only where a response element starts (the reply's
// start, after ',' or ';', or after the space behind a header) and only with
// the header's shape (a digit 1 to 9, then that many digits). Text that still
// looks like a header ("Error #12") claims a payload the reply does not
// have: a payload that holds only text and ends with LF is taken for the end
// of a text reply, so such a reply ends at once at its mark.
#pragma once
#include <cstddef>
#include <cstdint>

namespace vexon::prologix {

// The bytes of text replies: tab, CR, LF and printable ASCII.
inline bool IsTextByte(uint8_t c) { return (c >= 0x20 && c < 0x7F) || c == '\t' || c == '\n' || c == '\r'; }

struct ReplyScan {
  enum State : uint8_t { kText, kHash, kDigits, kPayload, kBinary };
  State state = kText;
  bool elementStart = true;  // the next byte starts a response element
  int digitsLeft = 0;
  uint64_t length = 0;
  uint64_t payloadLeft = 0;  // bytes of a definite-length block still to come
  bool payloadText = true;   // the payload so far holds text bytes only
  uint8_t payloadLast = 0;   // its last byte (0 before the first)

  void Reset() { *this = ReplyScan{}; }
  // Takes one byte of the reply that is not payload.
  void Feed(uint8_t c);
  // Takes n bytes of a block's payload (n <= payloadLeft).
  void TakePayload(const uint8_t* p, uint64_t n);
  bool InPayload() const { return state == kPayload; }
  // A mark that arrives now, with nothing after it, is certainly the end.
  bool MarkEndsNow(uint8_t mark) const {
    if (IsTextByte(mark)) return false;
    if (state == kPayload) return payloadText && payloadLast == '\n';
    return state != kBinary;
  }
};

// The mark for the next read: the current one unless the reply just read
// held it; then a byte value the reply did not hold, no text byte if any is
// left, never the byte avoid (the EOS byte of a read that stops there).
int ChooseMark(int mark, const bool seen[256], int avoid);

}  // namespace vexon::prologix
