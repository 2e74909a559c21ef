// Telling the adapter's end mark from data. The adapter appends one byte
// (the mark, "++eot_char") after a message that ended with EOI and nothing
// after a read its own timeout ended; a mark byte may also be data. A reply
// that is text, or IEEE 488.2 definite-length blocks between text, shows
// where the mark can stand: a mark that is no text byte, arriving outside a
// block's payload, is the end at once. Anything else (binary data without a
// block header, an indefinite block) is ambiguous: a mark there is the end
// only when the adapter stays quiet after it for a while.
#pragma once
#include <cstddef>
#include <cstdint>

namespace vexon::prologix {

// The bytes of text replies: tab, CR, LF and printable ASCII.
inline bool IsTextByte(uint8_t c) { return (c >= 0x20 && c < 0x7F) || c == '\t' || c == '\n' || c == '\r'; }

struct ReplyScan {
  enum State : uint8_t { kText, kHash, kDigits, kPayload, kBinary };
  State state = kText;
  int digitsLeft = 0;
  uint64_t length = 0;
  uint64_t payloadLeft = 0;  // bytes of a definite-length block still to come

  void Reset() { *this = ReplyScan{}; }
  // Takes one byte of the reply that is not payload.
  void Feed(uint8_t c);
  // Takes n bytes of a block's payload (n <= payloadLeft).
  void SkipPayload(uint64_t n) {
    payloadLeft -= n;
    if (!payloadLeft) state = kText;
  }
  bool InPayload() const { return state == kPayload; }
  // A mark that arrives now, with nothing after it, is certainly the end.
  bool MarkEndsNow(uint8_t mark) const {
    return !IsTextByte(mark) && state != kBinary && state != kPayload;
  }
};

// The mark for the next read: the current one unless the reply just read
// held it; then a byte value the reply did not hold, no text byte if any is
// left, never the byte avoid (the EOS byte of a read that stops there).
int ChooseMark(int mark, const bool seen[256], int avoid);

}  // namespace vexon::prologix
