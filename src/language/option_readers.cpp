// Readers of options, modes and names: the option names, termination codes,
// EOT modes, on/off, buffer display modes, wait masks and set's argument.
#include <strings.h>

#include "core/line_input.h"
#include "core/messages.h"
#include "core/print.h"
#include "language/completion.h"
#include "language/name_tables.h"
#include "language/prompting.h"
#include "language/token_reader.h"
#include "language/value_parsers.h"

namespace {

constexpr const char* kColon = "    %s: ";
constexpr const char* kSpacedColon = "    %s : ";

// Reads one token; the end of the line leaves the cursor where it was.
Token Read() {
  Token t{TOK_NONE, 0};
  if (!ReadToken(t)) t.kind = TOK_NONE;
  return t;
}

bool Fail(int message) {
  PrintMessage(message);
  return false;
}

// A number as typed, or a word or quoted string found in table.
bool ParseNamed(const NameRow* table, int32_t notFound, int message, int32_t& value) {
  Token t = Read();
  if (t.kind == TOK_END) return false;
  if (t.kind == TOK_NUMBER) {
    value = t.value;
    return true;
  }
  if (t.kind == TOK_WORD || t.kind == TOK_STRING) {
    int32_t found = LookupName(table, tokenPosition);
    if (found != notFound) {
      value = found;
      return true;
    }
  }
  return Fail(message);
}

bool ReadNamed(const NameRow* table, int32_t notFound, int message, const char* format, int prompt, InputStream* in,
               int32_t& value) {
  ScopedAnswerWords words({table});
  return WithPrompts(format, kMessages[prompt], in, [&] { return ParseNamed(table, notFound, message, value); });
}

}  // namespace

bool ReadExpertOption(InputStream* in, int32_t& option) {
  return ReadNamed(kExpertOptionNames, 0xFFFF, MSG_INVALID_PARAMETER, kColon, MSG_ENTER_EXPERT_OPTION, in, option);
}

bool ReadConfigOption(InputStream* in, int32_t& option) {
  return ReadNamed(kConfigOptionNames, 0, MSG_INVALID_PARAMETER, kColon, MSG_ENTER_CONFIG_PARAMETER, in, option);
}

bool ReadAskOption(InputStream* in, int32_t& option) {
  return ReadNamed(kAskOptionNames, 0xFFFF, MSG_INVALID_PARAMETER, kColon, MSG_ENTER_QUERY_PARAMETER, in, option);
}

bool ReadEotMode(InputStream* in, int32_t& mode) {
  return ReadNamed(kEotModeNames, 3, MSG_INVALID_EOTMODE, kSpacedColon, MSG_ENTER_EOTMODE, in, mode);
}

bool ReadTermination(InputStream* in, int32_t& code) {
  return ReadNamed(kTerminationNames, -1, MSG_INVALID_TERMINATION, kColon, MSG_ENTER_TERMINATION, in, code);
}

bool ReadOnOff(InputStream* in, int32_t& value) {
  ScopedAnswerWords words({kOnOffNames});
  return WithPrompts("%s", kMessages[MSG_ENTER_ON_OFF], in,
                     [&] { return ParseNamed(kOnOffNames, -1, MSG_ON_OFF_EXPECTED, value); });
}

bool ReadBufferMode(InputStream* in, int32_t& mode) {
  auto parse = [&] {
    Token t = Read();
    if (t.kind == TOK_NUMBER) {
      if (t.value >= 0 && t.value <= 3) {
        mode = t.value;
        return true;
      }
      return Fail(MSG_LEGAL_MODES);
    }
    if (t.kind == TOK_WORD || t.kind == TOK_STRING) {
      int32_t found = LookupName(kDisplayModeNames, tokenPosition);
      if (found >= 0) {
        mode = found;
        return true;
      }
      return Fail(MSG_LEGAL_MODES);
    }
    return false;
  };
  ScopedAnswerWords words({kDisplayModeNames});
  return WithPrompts(kSpacedColon, kMessages[MSG_ENTER_BUFFER_MODE], in, parse);
}

bool ParseMask(bool forWait, int32_t& mask) {
  char* start = readCursor;
  Token t = Read();
  if (t.kind == TOK_END) {
    mask = 0;
    return forWait;
  }
  if (t.kind == TOK_NUMBER) {
    mask = t.value;
    return true;
  }
  bool open = false;
  if (t.kind == TOK_OPEN) {
    open = true;
    start = readCursor;
    t = Read();
  }
  int32_t bits = 0;
  while (t.kind == TOK_WORD || t.kind == TOK_STRING) {
    // The "all" row heads the table but is no mask name.
    int32_t bit = LookupName(kStatusBitNames + 1, tokenPosition);
    if (bit == 0) return Fail(MSG_INVALID_MASK_BIT);
    bits |= bit;
    start = readCursor;
    t = Read();
  }
  if (t.kind == TOK_CLOSE) {
    if (!open) return Fail(MSG_MISSING_OPEN);
  } else {
    readCursor = start;
    if (open) return Fail(MSG_MISSING_CLOSE);
  }
  mask = bits & 0xFFFF;
  return true;
}

bool ReadMask(InputStream* in, int32_t& mask) {
  ScopedAnswerWords words({kStatusBitNames + 1});
  return WithPrompts(kSpacedColon, kMessages[MSG_ENTER_MASK], in, [&] { return ParseMask(false, mask); });
}

bool ReadBoardOrDevice(InputStream* in, const char*& name, int32_t& board) {
  auto parse = [&] {
    Token t{TOK_RAW_WORD, 0};
    if (!ReadToken(t) || t.kind != TOK_RAW_WORD) return false;
    if (strcasecmp(tokenPosition, "488.2") != 0) {
      name = tokenPosition;
      return true;
    }
    name = nullptr;
    board = 0;
    char* start = readCursor;
    Token number{TOK_NONE, 0};
    if (ReadToken(number) && number.kind == TOK_NUMBER)
      board = number.value;
    else
      readCursor = start;
    return true;
  };
  ScopedAnswerWords words({nullptr, true});
  return WithPrompts(kSpacedColon, kMessages[MSG_ENTER_SET_NAME], in, parse);
}
