// The argument parser: the command word, the raw-mode device code, each
// command's arguments in their order, and the end-of-line check.
#include "language/argument_grammar.h"

#include <cstring>

#include "core/command_catalogue.h"
#include "core/line_input.h"
#include "core/messages.h"
#include "core/print.h"
#include "core/mode_flags.h"
#include "language/completion.h"
#include "language/token_reader.h"
#include "language/value_parsers.h"
#include "platform/input_stream.h"
#include "registry/handle_registry.h"

namespace {

// The parse of one line: the scratch record and the stream answers come from.
class LineParser {
 public:
  explicit LineParser(InputStream* in) : in_(in) {}

  ParsedCommand record{};

  bool Number(int prompt, int32_t& field) { return ReadValue(kMessages[prompt], ValueKind::Number, in_, field); }

  bool String(int prompt = MSG_ENTER_STRING) {
    int32_t length = 0;
    if (!ReadValue(kMessages[prompt], ValueKind::String, in_, length)) return false;
    record.data = reinterpret_cast<uint8_t*>(tokenPosition);
    record.count = length;
    return true;
  }

  bool Name(int prompt) {
    ScopedAnswerWords words({nullptr, false, prompt == MSG_ENTER_FILENAME});
    int32_t ignored = 0;
    if (!ReadValue(kMessages[prompt], ValueKind::Name, in_, ignored)) return false;
    record.data = reinterpret_cast<uint8_t*>(tokenPosition);
    return true;
  }

  // A string followed by an EOT mode word: the word's text goes behind the string.
  bool StringAndEotMode() {
    if (!String()) return false;
    tokenPosition += record.count + 1;
    return ReadEotMode(in_, record.value);
  }

  bool AddressList(bool keepCount) {
    int32_t n = 0;
    if (!ReadAddresses(false, in_, n)) return false;
    record.addressList = addressList;
    if (keepCount) record.count = n;
    return true;
  }

  bool SingleAddress() {
    int32_t n = 0;
    if (!ReadAddresses(true, in_, n)) return false;
    record.addressList = addressList;
    return true;
  }

  bool ExpertArguments();
  bool Help();
  bool Arguments();

 private:
  InputStream* in_;
};

bool LineParser::ExpertArguments() {
  if (!ReadExpertOption(in_, record.value)) return false;
  switch (record.value) {
    case 0: record.count = 9; return true;
    case 1: case 2: case 4: record.count = 4; return true;
    case 3: record.count = 16; return true;
    case 5: case 9: record.count = 4; return Number(MSG_ENTER_PARAMETER_VALUE, record.param);
    case 6: record.count = 32; return true;
    case 7:
      record.count = 4;
      return Number(MSG_ENTER_ADDRESS, record.writeArgs[0]) &&
             Number(MSG_ENTER_ADDRESS_MODIFIER, record.writeArgs[1]) &&
             Number(MSG_ENTER_WIDTH, record.writeArgs[2]) && Number(MSG_ENTER_VALUE, record.writeArgs[3]);
    case 8:
      record.count = 4;
      return Number(MSG_ENTER_ADDRESS, record.readArgs[0]) &&
             Number(MSG_ENTER_ADDRESS_MODIFIER, record.readArgs[1]) && Number(MSG_ENTER_WIDTH, record.readArgs[2]);
    case 10: record.count = 400; return true;
    case 11: record.count = 100; return Number(MSG_ENTER_PARAMETER_VALUE, record.param);
    case 12:
      for (int32_t& arg : record.lockArgs)
        if (!Number(MSG_ENTER_PARAMETER_VALUE, arg)) return false;
      return true;
    case 13: return String();
    case 15: return Number(MSG_ENTER_BOARD_INDEX, record.boardIndex);
    default: return true;
  }
}

// help takes one optional raw word and never prompts.
bool LineParser::Help() {
  char* start = readCursor;
  Token t{TOK_RAW_WORD, 0};
  if (ReadToken(t) && t.kind == TOK_RAW_WORD) {
    record.data = reinterpret_cast<uint8_t*>(tokenPosition);
    return true;
  }
  readCursor = start;
  if (!IsStandardInput(in_)) ConsolePrint("    %s\n", kMessages[MSG_COMMAND_FILE_ERROR]);
  return true;
}

bool LineParser::Arguments() {
  ParsedCommand& r = record;
  switch (r.code) {
    case CODE_IBSIC: case CODE_IBLOC: case CODE_IBSTOP: case CODE_IBCLR: case CODE_IBTRG: case CODE_IBPCT:
    case CODE_SENDIFC: case CODE_SENDLLO:
    case CODE_EXPERT: case CODE_EXIT: case CODE_ODD: case CODE_EVEN: case CODE_SLOPCHECK: case CODE_FINDALLLSTN:
      return true;
    case CODE_IBRPP: case CODE_IBRSP: case CODE_TESTSRQ: case CODE_WAITSRQ: case CODE_PPOLL:
      r.count = 1;
      return true;
    case CODE_IBLINES:
      r.count = 2;
      return true;
    case CODE_IBONL: case CODE_IBRSC: case CODE_IBSRE: case CODE_IBRSV: case CODE_IBPPC: case CODE_IBPAD:
    case CODE_IBSAD: case CODE_IBIST: case CODE_IBDMA: case CODE_IBEOS: case CODE_IBTMO: case CODE_IBEOT:
    case CODE_IBGTS: case CODE_IBCAC:
      return Number(MSG_ENTER_NUMBER, r.value);
    case CODE_IBWAIT: case CODE_IBNOTIFY:
      return ReadMask(in_, r.value);
    case CODE_IBWRT: case CODE_IBWRTA: case CODE_IBCMD: case CODE_IBCMDA: case CODE_IBWRTKEY:
    case CODE_SENDCMDS: case CODE_PRINT:
      return String();
    case CODE_IBRD: case CODE_IBRDA: case CODE_IBRDKEY:
    case CODE_IBWRTN: case CODE_IBRDN: case CODE_IBWRTAN: case CODE_IBRDAN: case CODE_IBCMDN: case CODE_IBCMDAN:
      return Number(MSG_ENTER_BYTE_COUNT, r.count);
    case CODE_IBRDF: case CODE_IBWRTF: case CODE_DOLLAR:
      return Name(MSG_ENTER_FILENAME);
    case CODE_IBFIND:
      return Name(MSG_ENTER_BOARD_DEVICE_NAME);
    case CODE_IBBNA:
      return Name(MSG_ENTER_BOARD_NAME);
    case CODE_IBLN:
      r.count = 2;
      return Number(MSG_ENTER_PRIMARY_ADDRESS, r.pad) && Number(MSG_ENTER_SECONDARY_ADDRESS, r.sad);
    case CODE_IBDEV:
      return Number(MSG_ENTER_BOARD_INDEX, r.boardIndex) && Number(MSG_ENTER_PRIMARY_ADDRESS, r.pad) &&
             Number(MSG_ENTER_SECONDARY_ADDRESS, r.sad) && Number(MSG_ENTER_TIMEOUT, r.timeout) &&
             Number(MSG_ENTER_EOI_FLAG, r.eotFlag) && Number(MSG_ENTER_EOS, r.eos);
    case CODE_IBCONFIG:
      return ReadConfigOption(in_, r.value) && Number(MSG_ENTER_PARAMETER_VALUE, r.value2);
    case CODE_IBASK:
      r.count = 4;
      return ReadAskOption(in_, r.value);
    case CODE_IBLCK:
      return Number(MSG_ENTER_PARAMETER_VALUE, r.value) && Number(MSG_ENTER_LOCK_WAIT_TIME, r.param);
    case CODE_IBEXPERT:
      return ExpertArguments();
    case CODE_SENDSETUP: case CODE_ENABLELOCAL: case CODE_ENABLEREMOTE: case CODE_SETRWLS:
    case CODE_PPOLLUNCONFIG: case CODE_RESETSYS: case CODE_DEVCLEARLIST: case CODE_TRIGGERLIST:
      return AddressList(false);
    case CODE_FINDRQS: case CODE_ALLSPOLL: case CODE_TESTSYS:
      return AddressList(true);
    case CODE_FINDLSTN:
      return AddressList(true) && Number(MSG_ENTER_LIMIT, r.value);
    case CODE_RECEIVESETUP: case CODE_PASSCONTROL: case CODE_TRIGGER: case CODE_DEVCLEAR:
      return SingleAddress();
    case CODE_READSTATUSBYTE:
      r.count = 1;
      return SingleAddress();
    case CODE_SENDDATABYTES:
      return StringAndEotMode();
    case CODE_SEND:
      return SingleAddress() && StringAndEotMode();
    case CODE_SENDLIST:
      return AddressList(false) && StringAndEotMode();
    case CODE_RECEIVE:
      return SingleAddress() && Number(MSG_ENTER_BYTE_COUNT, r.count) && ReadTermination(in_, r.value);
    case CODE_RCVRESPMSG:
      return Number(MSG_ENTER_BYTE_COUNT, r.count) && ReadTermination(in_, r.value);
    case CODE_PPOLLCONFIG:
      return SingleAddress() && Number(MSG_ENTER_DIOLINE, r.value) && Number(MSG_ENTER_SENSE, r.value2);
    case CODE_BUFFER:
      return ReadBufferMode(in_, r.value);
    case CODE_W:
      return ParseMask(true, r.value);
    case CODE_SET: {
      const char* name = nullptr;
      if (!ReadBoardOrDevice(in_, name, r.value)) return false;
      r.data = reinterpret_cast<uint8_t*>(const_cast<char*>(name));
      return true;
    }
    case CODE_HELP:
      return Help();
    case CODE_RAW:
      return ReadOnOff(in_, r.value);
    default:
      return false;
  }
}

bool HasCommand(const ParsedCommand& c) { return c.catalogueIndex != 0 || c.code != 0; }

// Copies the accepted record; text it points at in the line's half of the
// token storage moves to the committed half, which later lines never write.
void Commit(const ParsedCommand& scratch, ParsedCommand& out) {
  out = scratch;
  char* const lineHalf = tokenBuffer;
  char* const data = reinterpret_cast<char*>(out.data);
  if (lineHalf && data >= lineHalf && data < lineHalf + kTokenBufferSize) {
    std::memcpy(lineHalf + kTokenBufferSize, lineHalf, kTokenBufferSize);
    out.data = reinterpret_cast<uint8_t*>(data + kTokenBufferSize);
  }
}

}  // namespace

bool ParseCommand(ParsedCommand& command, InputStream* input) {
  LineParser parser(input);
  ParsedCommand& r = parser.record;

  Token first{TOK_NONE, 0};
  if (!ReadToken(first)) first.kind = TOK_NONE;
  switch (first.kind) {
    case TOK_WORD:
      r.catalogueIndex = FindCommand(tokenPosition);
      if (r.catalogueIndex < 0) {
        PrintMessage(MSG_BAD_FUNCTION);
        return false;
      }
      break;
    case TOK_DOLLAR:
      r.catalogueIndex = FindCommand("$");
      break;
    case TOK_END:
    case TOK_HASH:
      return false;
    case TOK_BANG:
      return HasCommand(command);
    case TOK_MINUS:
      quietMode = 1;
      return false;
    case TOK_PLUS:
      quietMode = 0;
      return false;
    default:
      PrintMessage(MSG_BAD_FUNCTION);
      return false;
  }
  const CommandRow& row = kCatalogue[r.catalogueIndex];
  r.code = row.code;
  if (expertMode == 0 && IsExpertOnly(r.code)) {
    PrintMessage(MSG_BAD_FUNCTION);
    return false;
  }

  if (rawMode != 0) {
    if (row.flags & CMD_NO_HANDLE) {
      r.deviceCode = CurrentHandle();
    } else if (!parser.Number(MSG_ENTER_DEVICE_CODE, r.deviceCode)) {
      PrintMessage(MSG_ABORT);
      return false;
    }
  }
  if (r.code == CODE_NOT_SUPPORTED) {
    PrintMessage(MSG_NOT_SUPPORTED);
    return false;
  }
  if (r.code == CODE_NOTHING) return false;

  if (!parser.Arguments()) {
    PrintMessage(MSG_ABORT);
    return false;
  }

  char* beforeEnd = readCursor;
  Token last{TOK_NONE, 0};
  if (!ReadToken(last) || last.kind != TOK_END) {
    readCursor = beforeEnd;
    PrintMessage(MSG_TRAILING_GARBAGE);
    return false;
  }
  Commit(r, command);
  return true;
}
