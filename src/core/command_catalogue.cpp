// The command catalogue and its lookup.
#include "core/command_catalogue.h"

#include <cstddef>

namespace {
constexpr uint32_t kOwn = CMD_NO_HANDLE;
}

const CommandRow kCatalogue[kCatalogueRows + 1] = {
    {"print", CODE_PRINT, kOwn},
    {"$", CODE_DOLLAR, kOwn},
    {"#", CODE_NOTHING, 0},
    {"set", CODE_SET, kOwn},
    {"e", CODE_EXIT, kOwn},
    {"exit", CODE_EXIT, kOwn},
    {"q", CODE_EXIT, kOwn},
    {"quit", CODE_EXIT, kOwn},
    {"bye", CODE_EXIT, kOwn},
    {"later", CODE_EXIT, kOwn},
    {"buffer", CODE_BUFFER, kOwn},
    {"expert", CODE_EXPERT, kOwn},
    {"odd", CODE_ODD, kOwn},
    {"even", CODE_EVEN, kOwn},
    {"help", CODE_HELP, kOwn},
    {"w", CODE_W, 0x00001},
    {"ibcmdan", CODE_IBCMDAN, 0x00003},
    {"ibwrtn", CODE_IBWRTN, 0x00003},
    {"ibwrtan", CODE_IBWRTAN, 0x00003},
    {"ibcmdn", CODE_IBCMDN, 0x00003},
    {"ibrdn", CODE_IBRDN, 0x00001},
    {"ibrdan", CODE_IBRDAN, 0x00001},
    {"raw", CODE_RAW, kOwn},
    {"slopcheck", CODE_SLOPCHECK, kOwn},
    {"ibnotify", CODE_IBNOTIFY, 0x00001},
    {"iblockx", CODE_NOT_SUPPORTED, 0},
    {"ibunlockx", CODE_NOT_SUPPORTED, 0},
    {"findalllstn", CODE_FINDALLLSTN, 0x00C03},
    // Board and device functions, rows 28 to 73.
    {"ibask", CODE_IBASK, 0x08001},
    {"ibbna", CODE_IBBNA, 0x04001},
    {"ibcac", CODE_IBCAC, 0x00001},
    {"ibclr", CODE_IBCLR, 0x00001},
    {"ibcmd", CODE_IBCMD, 0x00003},
    {"ibcmda", CODE_IBCMDA, 0x00003},
    {"ibconfig", CODE_IBCONFIG, 0x00011},
    {"ibdev", CODE_IBDEV, kOwn},
    {"ibdma", CODE_IBDMA, 0x00011},
    {"ibeos", CODE_IBEOS, 0x00011},
    {"ibeot", CODE_IBEOT, 0x00011},
    {"ibexpert", CODE_IBEXPERT, 0x40001},
    {"ibfind", CODE_IBFIND, kOwn},
    {"ibgts", CODE_IBGTS, 0x00001},
    {"ibist", CODE_IBIST, 0x00011},
    {"iblck", CODE_IBLCK, 0x00001},
    {"ibln", CODE_IBLN, 0x00041},
    {"ibonl", CODE_IBONL, 0x00001},
    {"ibpct", CODE_IBPCT, 0x00001},
    {"ibpoke", CODE_NOT_SUPPORTED, 0},
    {"iblines", CODE_IBLINES, 0x00081},
    {"ibloc", CODE_IBLOC, 0x00001},
    {"ibpad", CODE_IBPAD, 0x00011},
    {"ibppc", CODE_IBPPC, 0x00011},
    {"ibrd", CODE_IBRD, 0x00007},
    {"ibrda", CODE_IBRDA, 0x00007},
    {"ibrdf", CODE_IBRDF, 0x00003},
    {"ibrdkey", CODE_IBRDKEY, 0x00007},
    {"ibrpp", CODE_IBRPP, 0x00009},
    {"ibrsc", CODE_IBRSC, 0x00011},
    {"ibrsp", CODE_IBRSP, 0x00009},
    {"ibrsv", CODE_IBRSV, 0x00011},
    {"ibsad", CODE_IBSAD, 0x00011},
    {"ibsic", CODE_IBSIC, 0x00001},
    {"ibsre", CODE_IBSRE, 0x00011},
    {"ibstop", CODE_IBSTOP, 0x00001},
    {"ibtmo", CODE_IBTMO, 0x00011},
    {"ibtrap", CODE_NOT_SUPPORTED, 0},
    {"ibtrg", CODE_IBTRG, 0x00001},
    {"ibwait", CODE_IBWAIT, 0x00001},
    {"ibwrt", CODE_IBWRT, 0x00003},
    {"ibwrta", CODE_IBWRTA, 0x00003},
    {"ibwrtf", CODE_IBWRTF, 0x00003},
    {"ibwrtkey", CODE_IBWRTKEY, 0x00003},
    {"iblock", CODE_NOT_SUPPORTED, 0},
    {"ibunlock", CODE_NOT_SUPPORTED, 0},
    // IEEE 488.2 routines, rows 74 to 102.
    {"sendifc", CODE_SENDIFC, 0x00401},
    {"devclear", CODE_DEVCLEAR, 0x00403},
    {"devclearlist", CODE_DEVCLEARLIST, 0x00403},
    {"enablelocal", CODE_ENABLELOCAL, 0x00403},
    {"enableremote", CODE_ENABLEREMOTE, 0x00403},
    {"passcontrol", CODE_PASSCONTROL, 0x00403},
    {"ppollconfig", CODE_PPOLLCONFIG, 0x00403},
    {"ppollunconfig", CODE_PPOLLUNCONFIG, 0x00403},
    {"receivesetup", CODE_RECEIVESETUP, 0x00403},
    {"resetsys", CODE_RESETSYS, 0x00403},
    {"send", CODE_SEND, 0x00403},
    {"sendcmds", CODE_SENDCMDS, 0x00403},
    {"senddatabytes", CODE_SENDDATABYTES, 0x00403},
    {"sendlist", CODE_SENDLIST, 0x00403},
    {"sendllo", CODE_SENDLLO, 0x00403},
    {"setrwls", CODE_SETRWLS, 0x00403},
    {"sendsetup", CODE_SENDSETUP, 0x00403},
    {"trigger", CODE_TRIGGER, 0x00403},
    {"triggerlist", CODE_TRIGGERLIST, 0x00403},
    {"rcvrespmsg", CODE_RCVRESPMSG, 0x00407},
    {"receive", CODE_RECEIVE, 0x00407},
    {"ppoll", CODE_PPOLL, 0x00409},
    {"readstatusbyte", CODE_READSTATUSBYTE, 0x00501},
    {"allspoll", CODE_ALLSPOLL, 0x00503},
    {"testsys", CODE_TESTSYS, 0x00603},
    {"findlstn", CODE_FINDLSTN, 0x00C03},
    {"findrqs", CODE_FINDRQS, 0x01403},
    {"testsrq", CODE_TESTSRQ, 0x02401},
    {"waitsrq", CODE_WAITSRQ, 0x02401},
    // Recognised but not supported, rows 103 to 111.
    {"generatereqt", CODE_NOT_SUPPORTED, 0},
    {"generatereqf", CODE_NOT_SUPPORTED, 0},
    {"gotomultaddr", CODE_NOT_SUPPORTED, 0},
    {"ibrdi", CODE_NOT_SUPPORTED, 0},
    {"ibrdia", CODE_NOT_SUPPORTED, 0},
    {"ibsrq", CODE_NOT_SUPPORTED, 0},
    {"ibwrti", CODE_NOT_SUPPORTED, 0},
    {"ibwrtia", CODE_NOT_SUPPORTED, 0},
    {"ibxtrc", CODE_NOT_SUPPORTED, 0},
    {nullptr, CODE_NOTHING, 0},
};

static_assert(sizeof(kCatalogue) / sizeof(kCatalogue[0]) == kCatalogueRows + 1);

namespace {
char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualIgnoringCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b)
    if (LowerAscii(*a) != LowerAscii(*b)) return false;
  return *a == *b;
}
}  // namespace

int FindCommand(const char* word) {
  if (!word) return -1;
  for (int row = 0; kCatalogue[row].name; ++row)
    if (EqualIgnoringCase(word, kCatalogue[row].name)) return row;
  return -1;
}

bool IsExpertOnly(int32_t code) {
  switch (code) {
    case CODE_IBWRTN: case CODE_IBWRTAN: case CODE_IBRDN: case CODE_IBRDAN:
    case CODE_IBCMDN: case CODE_IBCMDAN: case CODE_RAW: case CODE_SLOPCHECK:
    case CODE_FINDALLLSTN: case CODE_IBEXPERT:
      return true;
    default:
      return false;
  }
}
