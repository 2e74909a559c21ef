// Execute: the dispatch from a command code to its driver call or own action.
#include "exec/execute.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "core/command_catalogue.h"
#include "console/command_loop.h"
#include "core/messages.h"
#include "core/print.h"
#include "display/buffer_display.h"
#include "driver/entry_stubs.h"
#include "driver/gpib.h"
#include "driver/status_copies.h"
#include "core/mode_flags.h"
#include "exec/notify_callback.h"
#include "exec/sequence_check.h"
#include "help/help.h"
#include "platform/process.h"
#include "registry/handle_registry.h"

namespace {

void FillWriteSequence(uint8_t* data, int32_t count) {
  for (int32_t i = 0; data && i < count; ++i) data[i] = static_cast<uint8_t>(i);
}

void FillCommandSequence(uint8_t* data, int32_t count) {
  for (int32_t i = 0; data && i < count; ++i) data[i] = static_cast<uint8_t>(0x60 + i % 31);
}

// The address word the 488.2 routines take for one address.
uint16_t FirstAddress(const ParsedCommand& c) { return c.addressList ? c.addressList[0] : NOADDR; }

// Driver results written into data are 16-bit for these routines.
short* ShortResult(uint8_t* data) { return reinterpret_cast<short*>(data); }

// A findlstn limit never lets the driver write past the result array.
int32_t ClampedLimit(const ParsedCommand& c) {
  const int32_t capacity = c.resultList ? 16 * c.count + 1 : 0;
  if (c.code == CODE_FINDALLLSTN) return c.value;
  return c.value < capacity ? c.value : capacity;
}

bool ExecuteExpert(ParsedCommand& c, int32_t ud) {
  void* in = nullptr;
  void* out = nullptr;
  switch (c.value) {
    case IbeAPISpecVersion: case IbeBoardType: case IbeCompatibleType: case IbeDriverVersion:
    case IbeSelfDiagnostic: case IbeCtrlSerialNumber: case IbeInterfaceIsConfigured:
      out = c.data;
      break;
    case IbeDebugMode: case IbeSwapSPDCommandBytes: in = &c.param; break;
    case IbeWrite: in = c.writeArgs; break;
    case IbeRead: in = c.readArgs; out = c.data; break;
    case IbeInterfaceDescription: in = &c.param; out = c.data; break;
    case IbeLck: in = c.lockArgs; break;
    case IbeWriteSerialNumber: in = c.data; break;
    case IbeChangeDeviceBNA: in = &c.boardIndex; break;
    default:
      PrintMessage(MSG_ILLEGAL_COMMAND);
      return false;
  }
  stub::ibexpert(ud, c.value, in, out);
  return true;
}

void SetDisplayMode(int32_t mode) {
  static constexpr MessageIndex kTexts[] = {MSG_BUFFER_OFF, MSG_BUFFER_ASCII, MSG_BUFFER_FULL, MSG_BUFFER_BRIEF};
  if (mode < 0 || mode > 3) return;
  displayMode = mode;
  ConsolePrint("%s\n", kMessages[kTexts[mode]]);
}

void RunSet(const ParsedCommand& c) {
  bool selected = c.data ? SelectByName(reinterpret_cast<const char*>(c.data)) : SelectBoard(c.value);
  if (!selected) PrintCut(kMessages[MSG_BOARD_NOT_OPEN]);
}

// Carries out the command; false when the code has no action here.
bool Dispatch(ParsedCommand& c, int32_t ud, int32_t& newHandle) {
  const char* text = reinterpret_cast<const char*>(c.data);
  const uint16_t* list = c.addressList;
  short* results = reinterpret_cast<short*>(c.resultList);
  switch (c.code) {
    case CODE_IBWAIT: case CODE_W: stub::ibwait(ud, c.value); break;
    case CODE_IBONL: stub::ibonl(ud, c.value); break;
    case CODE_IBRSC: stub::ibconfig(ud, IbcSC, c.value); break;
    case CODE_IBSIC: stub::ibsic(ud); break;
    case CODE_IBSRE: stub::ibconfig(ud, IbcSRE, c.value); break;
    case CODE_IBLOC: stub::ibloc(ud); break;
    case CODE_IBRSV: stub::ibconfig(ud, IbcRsv, c.value); break;
    case CODE_IBPPC: stub::ibppc(ud, c.value); break;
    case CODE_IBPAD: stub::ibconfig(ud, IbcPAD, c.value); break;
    case CODE_IBSAD: stub::ibconfig(ud, IbcSAD, c.value); break;
    case CODE_IBIST: stub::ibconfig(ud, IbcIst, c.value); break;
    case CODE_IBDMA: stub::ibconfig(ud, IbcDMA, c.value); break;
    case CODE_IBEOS: stub::ibconfig(ud, IbcEOS, c.value); break;
    case CODE_IBTMO: stub::ibconfig(ud, IbcTMO, c.value); break;
    case CODE_IBEOT: stub::ibconfig(ud, IbcEOT, c.value); break;
    case CODE_IBGTS: stub::ibgts(ud, c.value); break;
    case CODE_IBCAC: stub::ibcac(ud, c.value); break;
    case CODE_IBRDF: stub::ibrdfA(ud, text); break;
    case CODE_IBWRTF: stub::ibwrtfA(ud, text); break;
    case CODE_IBRPP: stub::ibrpp(ud, reinterpret_cast<char*>(c.data)); break;
    case CODE_IBSTOP: stub::ibstop(ud); break;
    case CODE_IBCLR: stub::ibclr(ud); break;
    case CODE_IBTRG: stub::ibtrg(ud); break;
    case CODE_IBPCT: stub::ibpct(ud); break;
    case CODE_IBRSP: stub::ibrsp(ud, reinterpret_cast<char*>(c.data)); break;
    case CODE_IBBNA: {
      int32_t board = BoardNumberFromName(text);
      stub::ibexpert(ud, IbeChangeDeviceBNA, &board, nullptr);
      break;
    }
    case CODE_IBFIND: newHandle = stub::ibfindA(text); break;
    case CODE_IBRD: stub::ibrd(ud, c.data, c.count); break;
    case CODE_IBRDN:
      stub::ibrd(ud, c.data, c.count);
      // Only the count bytes the driver was given are its data; the zero and
      // the slop bytes after them are ours.
      SequenceCheck(c.data, ibcntl, static_cast<uint32_t>(c.count));
      break;
    case CODE_IBRDA: case CODE_IBRDAN: stub::ibrda(ud, c.data, c.count); break;
    case CODE_IBWRTN: FillWriteSequence(c.data, c.count); stub::ibwrt(ud, c.data, c.count); break;
    case CODE_IBWRTAN: FillWriteSequence(c.data, c.count); stub::ibwrta(ud, c.data, c.count); break;
    case CODE_IBCMDN: FillCommandSequence(c.data, c.count); stub::ibcmd(ud, c.data, c.count); break;
    case CODE_IBCMDAN: FillCommandSequence(c.data, c.count); stub::ibcmda(ud, c.data, c.count); break;
    case CODE_IBWRT: stub::ibwrt(ud, c.data, c.count); break;
    case CODE_IBWRTA: stub::ibwrta(ud, c.data, c.count); break;
    case CODE_IBCMD: stub::ibcmd(ud, c.data, c.count); break;
    case CODE_IBCMDA: stub::ibcmda(ud, c.data, c.count); break;
    case CODE_IBLN: stub::ibln(ud, c.pad, c.sad, ShortResult(c.data)); break;
    case CODE_IBLINES: stub::iblines(ud, ShortResult(c.data)); break;
    case CODE_IBCONFIG: stub::ibconfig(ud, c.value, c.value2); break;
    case CODE_IBDEV: newHandle = stub::ibdev(c.boardIndex, c.pad, c.sad, c.timeout, c.eotFlag, c.eos); break;
    case CODE_IBASK: stub::ibask(ud, c.value, reinterpret_cast<int*>(c.data)); break;
    case CODE_IBNOTIFY: stub::ibnotify(ud, c.value, NotifyCallbackRoutine, nullptr); break;
    case CODE_IBEXPERT: return ExecuteExpert(c, ud);
    case CODE_IBLCK: stub::iblck(ud, c.value, c.param, nullptr); break;
    case CODE_SENDCMDS: stub::SendCmds(ud, c.data, c.count); break;
    case CODE_SENDSETUP: stub::SendSetup(ud, list); break;
    case CODE_SENDDATABYTES: stub::SendDataBytes(ud, c.data, c.count, c.value); break;
    case CODE_SEND: stub::Send(ud, FirstAddress(c), c.data, c.count, c.value); break;
    case CODE_RECEIVESETUP: stub::ReceiveSetup(ud, FirstAddress(c)); break;
    case CODE_RECEIVE: stub::Receive(ud, FirstAddress(c), c.data, c.count, c.value); break;
    case CODE_SENDIFC: stub::SendIFC(ud); break;
    case CODE_ENABLELOCAL: stub::EnableLocal(ud, list); break;
    case CODE_ENABLEREMOTE: stub::EnableRemote(ud, list); break;
    case CODE_SETRWLS: stub::SetRWLS(ud, list); break;
    case CODE_SENDLLO: stub::SendLLO(ud); break;
    case CODE_PASSCONTROL: stub::PassControl(ud, FirstAddress(c)); break;
    case CODE_TRIGGER: stub::Trigger(ud, FirstAddress(c)); break;
    case CODE_PPOLLCONFIG: stub::PPollConfig(ud, FirstAddress(c), c.value, c.value2); break;
    case CODE_PPOLLUNCONFIG: stub::PPollUnconfig(ud, list); break;
    case CODE_RESETSYS: stub::ResetSys(ud, list); break;
    case CODE_FINDRQS: stub::FindRQS(ud, list, results); break;
    case CODE_ALLSPOLL: stub::AllSpoll(ud, list, results); break;
    case CODE_FINDLSTN: case CODE_FINDALLLSTN: stub::FindLstn(ud, list, c.resultList, ClampedLimit(c)); break;
    case CODE_TESTSYS: stub::TestSys(ud, list, results); break;
    case CODE_DEVCLEAR: stub::DevClear(ud, FirstAddress(c)); break;
    case CODE_READSTATUSBYTE: stub::ReadStatusByte(ud, FirstAddress(c), results); break;
    case CODE_TESTSRQ: stub::TestSRQ(ud, ShortResult(c.data)); break;
    case CODE_WAITSRQ: stub::WaitSRQ(ud, ShortResult(c.data)); break;
    case CODE_RCVRESPMSG: stub::RcvRespMsg(ud, c.data, c.count, c.value); break;
    case CODE_SENDLIST: stub::SendList(ud, list, c.data, c.count, c.value); break;
    case CODE_DEVCLEARLIST: stub::DevClearList(ud, list); break;
    case CODE_TRIGGERLIST: stub::TriggerList(ud, list); break;
    case CODE_PPOLL: stub::PPoll(ud, ShortResult(c.data)); break;
    case CODE_BUFFER: SetDisplayMode(c.value); break;
    case CODE_EXPERT:
      expertMode = !expertMode;
      ConsoleOutput(expertMode ? "Expert mode is ON.\n" : "Expert mode is OFF.\n");
      break;
    case CODE_PRINT:
      for (int32_t i = 0; c.data && i < c.count; ++i) ConsolePrint("%c", c.data[i]);
      ConsolePrint("\n");
      break;
    case CODE_DOLLAR: RunCommandFile(text); break;
    case CODE_SET: RunSet(c); break;
    case CODE_EXIT: EndProcess(0);
    case CODE_ODD: oddBuffers = 1; break;
    case CODE_EVEN: oddBuffers = 0; break;
    case CODE_HELP: ShowHelp(text); break;
    case CODE_RAW: rawMode = c.value; break;
    case CODE_SLOPCHECK: slopCheck = 1; break;
    default:
      return false;
  }
  return true;
}

}  // namespace

int32_t BoardNumberFromName(const char* name) {
  if (!name) return -1;
  for (int i = 0; i < 4; ++i)
    if (std::tolower(static_cast<unsigned char>(name[i])) != "gpib"[i]) return -1;
  const char* p = name + 4;
  while (std::isspace(static_cast<unsigned char>(*p))) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  unsigned long long n = 0;
  for (; std::isdigit(static_cast<unsigned char>(*p)) && n <= 100; ++p) n = n * 10 + (*p - '0');
  // Reading stops above 100 anyway: any such number passes -1, as a negative one does.
  if (negative && n) return -1;
  return n > 100 ? -1 : static_cast<int32_t>(n);
}

bool OpenCheck(const ParsedCommand& c) {
  if (CurrentHandle() >= 0 || rawMode || (kCatalogue[c.catalogueIndex].flags & CMD_NO_HANDLE)) return true;
  PrintMessage(MSG_USE_IBFIND);
  return false;
}

int32_t CallHandle(const ParsedCommand& c) { return rawMode ? c.deviceCode : CurrentHandle(); }

bool Execute(ParsedCommand& c, int32_t& newHandle) {
  const int32_t ud = CallHandle(c);
  if (!Dispatch(c, ud, newHandle)) {
    if (c.code != CODE_IBEXPERT) PrintMessage(MSG_ILLEGAL_COMMAND);
    return false;
  }
  if (expertMode) {
    if (rawMode && !(kCatalogue[c.catalogueIndex].flags & CMD_NO_HANDLE))
      ConsoleOutput("ud: 0x%.4x, ", static_cast<unsigned>(ud));
    ConsoleOutput("ibsta: 0x%.4x, ibcntl: 0x%lx, iberr: %d\n", static_cast<unsigned>(ibsta),
                  static_cast<unsigned long>(static_cast<uint32_t>(ibcntl)), iberr);
  }
  return true;
}
