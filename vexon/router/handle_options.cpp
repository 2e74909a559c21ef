// The option table and the checks on it.
#include "handle_options.h"

#include <vexon.h>

#include "addresses.h"

namespace vexon {

namespace {

// Every option of ibconfig and ibask.
constexpr OptionInfo kOptions[] = {
    {IbcPAD, 0, 30, true, true, 0, 0, false},        {IbcSAD, 0, 0x7E, true, true, 0, 0, false},
    {IbcTMO, 0, 17, true, true, T10s, T10s, false},  {IbcEOT, 0, 1, true, true, 1, 1, false},
    {IbcPPC, 0, 0xFF, true, false, 0, 0, false},     {IbcREADDR, 0, 1, false, true, 0, 0, false},
    {IbcAUTOPOLL, 0, 1, true, false, 1, 0, false},   {IbcCICPROT, 0, 1, true, false, 0, 0, false},
    {IbcIRQ, 0, 1, true, false, 0, 0, false},        {IbcSC, 0, 1, true, false, 1, 0, false},
    {IbcSRE, 0, 1, true, false, 0, 0, false},        {IbcEOSrd, 0, 1, true, true, 0, 0, false},
    {IbcEOSwrt, 0, 1, true, true, 0, 0, false},      {IbcEOScmp, 0, 1, true, true, 0, 0, false},
    {IbcEOSchar, 0, 0xFF, true, true, 0, 0, false},  {IbcPP2, 0, 1, true, false, 0, 0, false},
    {IbcTIMING, 1, 3, true, false, 1, 0, false},     {IbcDMA, 0, 1, true, false, 0, 0, false},
    {IbcReadAdjust, 0, 2, true, true, 0, 0, false},  {IbcWriteAdjust, 0, 2, true, true, 0, 0, false},
    {IbcSendLLO, 0, 1, true, true, 0, 0, false},     {IbcSPollTime, 0, 17, true, true, T1s, T1s, false},
    {IbcPPollTime, 0, 17, true, false, 0, 0, false}, {IbcEndBitIsNormal, 0, 1, true, true, 1, 1, false},
    {IbcUnAddr, 0, 1, false, true, 0, 0, false},     {IbcSignalNumber, 0, 0xFFFF, true, false, 0, 0, true},
    {IbcBlockIfLocked, 0, 1, true, true, 0, 0, false}, {IbcHSCableLength, 0, 15, true, false, 0, 0, false},
    {IbcIst, 0, 1, true, false, 0, 0, false},        {IbcRsv, 0, 0xFF, true, false, 0, 0, false},
    {IbcLON, 0, 1, true, false, 0, 0, false},        {IbcEOS, 0, 0x1FFF, true, true, 0, 0, false},
    {IbcSerialNumber, 0, 0x7FFFFFFF, true, false, 0x00A51001, 0, true},
    {IbcBNA, 0, 1, false, true, 0, 0, true},
};

bool Has(const OptionInfo& o, bool board) { return board ? o.board : o.device; }

}  // namespace

const OptionInfo* FindOption(int option) {
  for (const auto& o : kOptions)
    if (o.option == option) return &o;
  return nullptr;
}

HandleConfig DefaultConfig(bool board) {
  HandleConfig c;
  for (const auto& o : kOptions)
    if (Has(o, board)) c[o.option] = board ? o.boardDefault : o.deviceDefault;
  return c;
}

int StoreOption(HandleConfig& c, int option, int value) {
  int prev = c[option];
  c[option] = value;
  if (option == IbcEOS) {
    c[IbcEOSchar] = value & 0xFF;
    c[IbcEOSrd] = (value & 0x400) != 0;
    c[IbcEOSwrt] = (value & 0x800) != 0;
    c[IbcEOScmp] = (value & 0x1000) != 0;
  } else if (option == IbcEOSchar || option == IbcEOSrd || option == IbcEOSwrt || option == IbcEOScmp) {
    c[IbcEOS] = c[IbcEOSchar] | (c[IbcEOSrd] ? 0x400 : 0) | (c[IbcEOSwrt] ? 0x800 : 0) |
                (c[IbcEOScmp] ? 0x1000 : 0);
  }
  return prev;
}

int DeviceRefusal(int pad, int sad, int tmo, int eot, int eos) {
  if (!ValidAddress(pad, sad) || tmo < TNONE || tmo > T1000s || eot < 0 || eot > 1 || !ValidEos(eos))
    return EARG;
  return kAllowed;
}

HandleConfig DeviceConfig(int pad, int sad, int tmo, int eot, int eos) {
  HandleConfig c = DefaultConfig(false);
  c[IbcPAD] = pad;
  c[IbcSAD] = sad;
  c[IbcTMO] = tmo;
  c[IbcEOT] = eot;
  StoreOption(c, IbcEOS, eos);
  return c;
}

int AskRefusal(bool board, int option, const void* value) {
  const OptionInfo* o = FindOption(option);
  if (!value || !o) return EARG;
  return Has(*o, board) ? kAllowed : ECAP;
}

int ConfigRefusal(bool board, int option, int value) {
  const OptionInfo* o = FindOption(option);
  if (!o) return EARG;
  if (!Has(*o, board) || o->readOnly) return ECAP;
  if (value < o->lo || value > o->hi || (option == IbcSAD && value != 0 && value < 0x60)) return EARG;
  return kAllowed;
}

bool ValidEos(int v) { return v >= 0 && v <= 0x1FFF; }

int WaitConditions(bool board) {
  return board ? (TIMO | END | SRQI | CMPL | LOK | REM | CIC | ATN | TACS | LACS | DTAS | DCAS)
               : (TIMO | END | RQS | CMPL);
}

}  // namespace vexon
