// Addresses and address lists of the 488.2 routines.
#include "core/line_input.h"
#include "core/messages.h"
#include "core/print.h"
#include "driver/gpib.h"
#include "language/prompting.h"
#include "language/token_reader.h"
#include "language/value_parsers.h"

uint16_t addressList[kAddressListSize];

namespace {
// Reads a token; on no, restores the cursor so the token is put back.
bool Next(int32_t kind, Token& t) {
  char* start = readCursor;
  t = Token{TOK_NONE, 0};
  if (ReadToken(t) && t.kind == kind) return true;
  readCursor = start;
  return false;
}

bool Fail(int message) {
  PrintMessage(message);
  return false;
}
}  // namespace

bool ParseAddresses(bool single, int32_t& count) {
  Token t{};
  count = 0;
  addressList[0] = NOADDR;
  if (Next(TOK_END, t)) return false;
  const bool open = Next(TOK_OPEN, t);
  if (Next(TOK_COMMA, t)) return Fail(MSG_UNEXPECTED_COMMA);
  bool afterComma = false;
  int32_t n = 0;
  while (Next(TOK_NUMBER, t)) {
    if (single && n == 1) {
      addressList[0] = NOADDR;
      return Fail(MSG_CANNOT_ACCEPT_LIST);
    }
    if (n >= kAddressListSize - 1) {
      addressList[0] = NOADDR;
      return Fail(MSG_TOO_MANY_ADDRESSES);
    }
    addressList[n++] = static_cast<uint16_t>(t.value);
    afterComma = Next(TOK_COMMA, t);
    if (!afterComma) break;
  }
  addressList[n] = NOADDR;
  if (afterComma) return Fail(MSG_TRAILING_COMMA);
  if (Next(TOK_CLOSE, t)) {
    if (!open) return Fail(MSG_MISSING_OPEN);
  } else if (open) {
    return Fail(MSG_MISSING_CLOSE);
  } else if (n == 0) {
    return Fail(single ? MSG_INVALID_ADDRESS : MSG_INVALID_ADDRESS_LIST);
  }
  count = n;
  return true;
}

bool ReadAddresses(bool single, InputStream* in, int32_t& count) {
  bool ok = WithPrompts(single ? "    %s : " : "    %s: ",
                        kMessages[single ? MSG_ENTER_ADDRESS : MSG_ENTER_ADDRESS_LIST], in,
                        [&] { return ParseAddresses(single, count); });
  if (ok) return true;
  // An empty answer leaves an empty list: enough for a list, not for one address.
  addressList[0] = NOADDR;
  count = 0;
  return !single;
}
