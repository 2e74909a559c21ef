#include "bus.h"


namespace vorel::sim {

namespace {
constexpr OptionInfo kOptions[] = {
    {IbcPAD, 0, 30, true, true, 0, 0, false},        {IbcSAD, 0, 0x7E, true, true, 0, 0, false},
    {IbcTMO, 0, 17, true, true, 13, 13, false},      {IbcEOT, 0, 1, true, true, 1, 1, false},
    {IbcPPC, 0, 0xFF, true, false, 0, 0, false},     {IbcREADDR, 0, 1, false, true, 0, 0, false},
    {IbcAUTOPOLL, 0, 1, true, false, 1, 0, false},   {IbcCICPROT, 0, 1, true, false, 0, 0, false},
    {IbcIRQ, 0, 1, true, false, 0, 0, false},        {IbcSC, 0, 1, true, false, 1, 0, false},
    {IbcSRE, 0, 1, true, false, 0, 0, false},        {IbcEOSrd, 0, 1, true, true, 0, 0, false},
    {IbcEOSwrt, 0, 1, true, true, 0, 0, false},      {IbcEOScmp, 0, 1, true, true, 0, 0, false},
    {IbcEOSchar, 0, 0xFF, true, true, 0, 0, false},  {IbcPP2, 0, 1, true, false, 0, 0, false},
    {IbcTIMING, 1, 3, true, false, 1, 0, false},     {IbcDMA, 0, 1, true, false, 0, 0, false},
    {IbcReadAdjust, 0, 2, true, true, 0, 0, false},  {IbcWriteAdjust, 0, 2, true, true, 0, 0, false},
    {IbcSendLLO, 0, 1, true, true, 0, 0, false},     {IbcSPollTime, 0, 17, true, true, 11, 11, false},
    {IbcPPollTime, 0, 17, true, false, 0, 0, false}, {IbcEndBitIsNormal, 0, 1, true, true, 1, 1, false},
    {IbcUnAddr, 0, 1, false, true, 0, 0, false},     {IbcSignalNumber, 0, 0xFFFF, true, false, 0, 0, true},
    {IbcBlockIfLocked, 0, 1, true, true, 0, 0, false}, {IbcHSCableLength, 0, 15, true, false, 0, 0, false},
    {IbcIst, 0, 1, true, false, 0, 0, false},        {IbcRsv, 0, 0xFF, true, false, 0, 0, false},
    {IbcLON, 0, 1, true, false, 0, 0, false},        {IbcEOS, 0, 0x1FFF, true, true, 0, 0, false},
    {IbcSerialNumber, 0, 0x7FFFFFFF, true, false, 0x00A51001, 0, true},
    {IbcBNA, 0, 1, false, true, 0, 0, true},
};
}  // namespace

const OptionInfo* optionInfo(int option) {
  for (const auto& o : kOptions)
    if (o.option == option) return &o;
  return nullptr;
}

std::map<int, int> defaultConfig(bool board) {
  std::map<int, int> m;
  for (const auto& o : kOptions)
    if (board ? o.board : o.device) m[o.option] = board ? o.boardDefault : o.deviceDefault;
  return m;
}

int storeOption(std::map<int, int>& c, int option, int value) {
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

Device* Bus::find(int board, int pad, int sad) {
  for (auto& d : devices)
    if (d.board == board && d.pad == pad && d.sad == sad) return &d;
  return nullptr;
}

bool Bus::validHandle(int ud) const {
  return ud >= 0 && ud < static_cast<int>(handles.size()) && handles[ud].used;
}

int Bus::boardStatus(int board) {
  const Board& b = boards[board];
  int s = 0;
  if (b.cic) s |= CIC | (b.atn ? ATN : 0);
  if (b.talker == kBoardTalks) s |= TACS;
  if (b.boardListens) s |= LACS;
  if (b.dcas) s |= DCAS;
  if (b.dtas) s |= DTAS;
  for (const auto& d : devices)
    if (d.board == board && d.state.srq) s |= SRQI;
  return s;
}

Bus& bus() {
  static Bus b;
  return b;
}

std::mutex& busMutex() {
  static std::mutex m;
  return m;
}

}  // namespace vorel::sim
