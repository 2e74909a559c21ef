// The token reader: numbers, strings with escapes, words and punctuation.
#include "language/token_reader.h"

#include <cstdint>

#include "core/line_input.h"
#include "core/messages.h"
#include "core/print.h"

char* tokenBuffer = nullptr;
char* tokenPosition = nullptr;

namespace {

bool IsBlank(char c) { return c == ' ' || (c >= 0x09 && c <= 0x0D); }
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Where token text may be written: from tokenPosition to the end of the
// level's buffer. A line of 4095 characters always fits.
struct TextOut {
  char* at;
  char* end;
  explicit TextOut()
      : at(tokenPosition),
        end(tokenBuffer && tokenPosition >= tokenBuffer && tokenPosition < tokenBuffer + kTokenBufferSize
                ? tokenBuffer + kTokenBufferSize - 1
                : tokenPosition) {}
  void Put(char c) {
    if (at && at < end) *at++ = c;
  }
  void Finish() {
    if (at) *at = 0;
  }
  int32_t Length() const { return static_cast<int32_t>(at - tokenPosition); }
};

bool Fail(Token& t, int32_t kind, int message) {
  t.kind = kind;
  t.value = 0;
  if (message >= 0) PrintMessage(message);
  return false;
}

bool ReadRawWord(Token& t) {
  TextOut out;
  if (*readCursor == '"') {
    ++readCursor;
    while (*readCursor && *readCursor != '"') out.Put(*readCursor++);
    if (*readCursor == '"') ++readCursor;
  } else {
    while (*readCursor && !IsBlank(*readCursor)) out.Put(*readCursor++);
  }
  out.Finish();
  t.kind = out.Length() ? TOK_RAW_WORD : TOK_NONE;
  t.value = 0;
  return true;
}

bool ReadNumber(Token& t, bool negative, int base) {
  if (readCursor[0] == '4' && readCursor[1] == '8' && readCursor[2] == '8' && readCursor[3] == '.' &&
      readCursor[4] == '2') {
    if (negative) return Fail(t, TOK_BOARD, MSG_NUMBER_SYNTAX);
    readCursor += 5;
    t.kind = TOK_BOARD;
    t.value = 0;
    return true;
  }
  int64_t accumulator = 0;
  while (IsLetter(*readCursor) || IsDigit(*readCursor)) {
    int digit = DigitValue(*readCursor++, base);
    if (digit < 0) return Fail(t, TOK_NUMBER, MSG_NUMBER_SYNTAX);
    accumulator = accumulator * base + digit;
    if (accumulator > 2147483647) return Fail(t, TOK_NUMBER, MSG_NUMBER_RANGE);
  }
  t.kind = TOK_NUMBER;
  t.value = static_cast<int32_t>(negative ? -accumulator : accumulator);
  return true;
}

void ReadWord(Token& t) {
  TextOut out;
  while (IsLetter(*readCursor) || IsDigit(*readCursor) || *readCursor == '.') {
    if (*readCursor >= 'A' && *readCursor <= 'Z') *readCursor = static_cast<char>(*readCursor - 'A' + 'a');
    out.Put(*readCursor++);
  }
  out.Finish();
  t.kind = TOK_WORD;
  t.value = 0;
}

bool ReadString(Token& t) {
  TextOut out;
  ++readCursor;  // the opening quote
  for (;;) {
    char c = *readCursor;
    if (c == 0) return Fail(t, TOK_STRING, MSG_NON_TERMINATED);
    ++readCursor;
    if (c == '"') break;
    if (c != '\\') {
      out.Put(c);
      continue;
    }
    c = *readCursor;
    if (c == 0) return Fail(t, TOK_STRING, MSG_NON_TERMINATED);
    ++readCursor;
    switch (c) {
      case 'n': out.Put('\n'); break;
      case 'r': out.Put('\r'); break;
      case 't': out.Put('\t'); break;
      case 'b': out.Put('\b'); break;
      case 'x':
      case 'X': {
        int value = 0, digits = 0;
        for (int d; digits < 2 && (d = DigitValue(*readCursor, 16)) >= 0; ++digits, ++readCursor) value = value * 16 + d;
        out.Put(digits ? static_cast<char>(value) : c);
        break;
      }
      default:
        if (c >= '0' && c <= '7') {
          int value = c - '0';
          for (int digits = 1, d; digits < 3 && (d = DigitValue(*readCursor, 8)) >= 0; ++digits, ++readCursor)
            value = value * 8 + d;
          out.Put(static_cast<char>(value & 0xFF));
        } else {
          out.Put(c);
        }
        break;
    }
  }
  out.Finish();
  t.kind = TOK_STRING;
  t.value = out.Length();
  return true;
}

}  // namespace

int DigitValue(char c, int base) {
  static const char kDigits[] = "0123456789ABCDEF";
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  for (int i = 0; i < base && i < 16; ++i)
    if (kDigits[i] == c) return i;
  return -1;
}

bool ReadToken(Token& t) {
  if (!readCursor) return Fail(t, TOK_NONE, -1);
  while (IsBlank(*readCursor)) ++readCursor;
  if (t.kind == TOK_RAW_WORD) return ReadRawWord(t);
  bool minus = false;
  if (*readCursor == '-') {
    minus = true;
    ++readCursor;
  }
  t.value = 0;
  const char c = *readCursor;
  switch (c) {
    case 0: case ' ': case '\t':
      t.kind = minus ? TOK_MINUS : TOK_END;
      return true;
    case '!': t.kind = TOK_BANG; break;
    case '+': t.kind = TOK_PLUS; break;
    case ',': t.kind = TOK_COMMA; break;
    case '*': t.kind = TOK_STAR; break;
    case '(': t.kind = TOK_OPEN; break;
    case ')': t.kind = TOK_CLOSE; break;
    case '$': t.kind = TOK_DOLLAR; break;
    case '#': t.kind = TOK_HASH; break;
    case '"': return ReadString(t);
    default:
      if (c == '0') {
        ++readCursor;
        if (*readCursor == 'x' || *readCursor == 'X') {
          ++readCursor;
          return ReadNumber(t, minus, 16);
        }
        return ReadNumber(t, minus, 8);
      }
      if (IsDigit(c)) return ReadNumber(t, minus, 10);
      if (IsLetter(c)) {
        ReadWord(t);
        return true;
      }
      ++readCursor;
      return Fail(t, TOK_NONE, -1);
  }
  ++readCursor;
  return true;
}
