// SCPI multimeter with a 488.2 status model: STB (MAV 0x10, ESB 0x20, MSS 0x40),
// ESR/ESE, SRE and an error queue.
#include <cctype>
#include <cstdio>

#include "../instrument.h"

namespace vorel::sim {
namespace {
constexpr int kMAV = 0x10, kESB = 0x20, kMSS = 0x40;
constexpr int kOPC = 0x01, kCME = 0x20;

std::string upper(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.pop_back();
  size_t b = s.find_first_not_of(" \t");
  return b == std::string::npos ? std::string() : s.substr(b);
}

int summary(const DeviceState& s) {
  int stb = s.stbUser & ~(kMAV | kESB | kMSS);
  if (!s.output.empty()) stb |= kMAV;
  if (s.esr & s.ese) stb |= kESB;
  return stb;
}

void updateSrq(DeviceState& s) {
  if (summary(s) & s.sre & ~kMSS) s.srq = true;
}

void reply(DeviceState& s, const std::string& r) { s.output += r + "\n"; }

int argOf(const std::string& cmd) {
  size_t sp = cmd.find(' ');
  return sp == std::string::npos ? 0 : std::atoi(cmd.c_str() + sp + 1) & 0xFF;
}

void execute(DeviceState& s, const std::string& raw, bool failTest) {
  std::string c = upper(raw);
  if (c.empty()) return;
  auto starts = [&](const char* p) { return c.rfind(p, 0) == 0; };
  if (c == "*IDN?") reply(s, failTest ? "TARNWICK,SIM-FAULTY,0005,1.0" : "TARNWICK,SIM-DMM,0001,1.0");
  else if (c == "*RST") { s.output.clear(); }
  else if (c == "*CLS") { s.esr = 0; s.errors.clear(); s.srq = false; }
  else if (starts("*ESE?")) reply(s, std::to_string(s.ese));
  else if (starts("*ESE")) s.ese = argOf(c);
  else if (c == "*ESR?") { int v = s.esr; s.esr = 0; reply(s, std::to_string(v)); }
  else if (starts("*SRE?")) reply(s, std::to_string(s.sre));
  else if (starts("*SRE")) s.sre = argOf(c) & ~kMSS;
  else if (c == "*STB?") {
    int stb = summary(s) | ((summary(s) & s.sre) ? kMSS : 0);
    reply(s, std::to_string(stb));
  }
  else if (c == "*OPC") s.esr |= kOPC;
  else if (c == "*OPC?") reply(s, "1");
  else if (c == "*TST?") reply(s, failTest ? "1" : "0");
  else if (c == "*TRG" || c == "*WAI") { if (c == "*TRG") ++s.counter; }
  else if (c == "MEAS:VOLT?" || c == "MEAS:VOLT:DC?" || c == "READ?") reply(s, "+1.234500E+00");
  else if (c == "MEAS:CURR?" || c == "MEAS:CURR:DC?") reply(s, "+2.000000E-03");
  else if (c == "MEAS:RES?") reply(s, "+1.000000E+03");
  else if (c == "SYST:ERR?" || c == "SYSTEM:ERROR?") {
    if (s.errors.empty()) reply(s, "+0,\"No error\"");
    else { reply(s, s.errors.front()); s.errors.pop_front(); }
  } else {
    s.esr |= kCME;
    if (s.errors.size() < 16) s.errors.push_back("-113,\"Undefined header\"");
  }
  updateSrq(s);
}
}  // namespace

void scpiListen(DeviceState& s, const uint8_t* d, size_t n, bool end, bool failTest) {
  for (size_t i = 0; i < n; ++i) {
    char ch = static_cast<char>(d[i]);
    if (ch == '\n' || ch == ';') {
      execute(s, s.input, failTest);
      s.input.clear();
    } else {
      s.input += ch;
    }
  }
  if (end && !s.input.empty()) {
    execute(s, s.input, failTest);
    s.input.clear();
  }
}

uint8_t scpiSerialPoll(DeviceState& s) {
  int stb = summary(s) | (s.srq ? kMSS : 0);
  s.srq = false;
  return static_cast<uint8_t>(stb);
}

void scpiClear(DeviceState& s) {
  s.input.clear();
  s.output.clear();
}

namespace {
void meterListen(DeviceState& s, const uint8_t* d, size_t n, bool end) {
  scpiListen(s, d, n, end, false);
}
void meterTrigger(DeviceState& s) { ++s.counter; }
}  // namespace

const Instrument scpiMeter{meterListen, defaultTalk, scpiClear, meterTrigger, scpiSerialPoll,
                           defaultPowerOn};
}  // namespace vorel::sim
