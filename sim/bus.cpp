#include "bus.h"

#include "../src/driver/gpib.h"

namespace vorel::sim {

namespace {
constexpr OptionInfo kOptions[] = {
    {IbcPAD, 0, 30, true, true, 0, 0},        {IbcSAD, 0, 0x7E, true, true, 0, 0},
    {IbcTMO, 0, 17, true, true, 13, 13},      {IbcEOT, 0, 1, true, true, 1, 1},
    {IbcPPC, 0, 0xFF, true, false, 0, 0},     {IbcREADDR, 0, 1, false, true, 0, 0},
    {IbcAUTOPOLL, 0, 1, true, false, 1, 0},   {IbcCICPROT, 0, 1, true, false, 0, 0},
    {IbcIRQ, 0, 1, true, false, 0, 0},        {IbcSC, 0, 1, true, false, 1, 0},
    {IbcSRE, 0, 1, true, false, 0, 0},        {IbcEOSrd, 0, 1, true, true, 0, 0},
    {IbcEOSwrt, 0, 1, true, true, 0, 0},      {IbcEOScmp, 0, 1, true, true, 0, 0},
    {IbcEOSchar, 0, 0xFF, true, true, 0, 0},  {IbcPP2, 0, 1, true, false, 0, 0},
    {IbcTIMING, 1, 3, true, false, 1, 0},     {IbcDMA, 0, 1, true, false, 0, 0},
    {IbcReadAdjust, 0, 2, true, true, 0, 0},  {IbcWriteAdjust, 0, 2, true, true, 0, 0},
    {IbcSendLLO, 0, 1, true, false, 0, 0},    {IbcSPollTime, 0, 17, false, true, 11, 11},
    {IbcPPollTime, 0, 17, true, false, 0, 0}, {IbcEndBitIsNormal, 0, 1, true, false, 1, 0},
    {IbcUnAddr, 0, 1, false, true, 0, 0},     {IbcSignalNumber, 0, 0xFFFF, true, false, 0, 0},
    {IbcBlockIfLocked, 0, 1, true, true, 0, 0}, {IbcHSCableLength, 0, 15, true, false, 0, 0},
    {IbcIst, 0, 1, true, false, 0, 0},        {IbcRsv, 0, 0xFF, true, false, 0, 0},
    {IbcLON, 0, 1, true, false, 0, 0},        {IbcEOS, 0, 0xFFFF, true, true, 0, 0},
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

Bus::Bus() {
  devices = {
      {"dmm", 0, 1, 0, &scpiMeter, {}},          {"loop", 0, 2, 0, &loopback, {}},
      {"seq", 0, 3, 0, &sequenceSource, {}},     {"sec", 0, 4, 0x60, &secondaryOnly, {}},
      {"faulty", 0, 5, 0, &faultyDevice, {}},
  };
  for (auto& d : devices) d.model->powerOn(d.state);
}

Device* Bus::find(int board, int pad, int sad) {
  for (auto& d : devices)
    if (d.board == board && d.pad == pad && d.sad == sad) return &d;
  return nullptr;
}

bool Bus::validHandle(int ud) const {
  return ud >= 0 && ud < static_cast<int>(handles.size()) && handles[ud].used;
}

int Bus::boardStatus(int board) const {
  int s = CIC | ATN;
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
