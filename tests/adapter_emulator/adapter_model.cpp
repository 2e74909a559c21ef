// The adapter's behaviour: line framing with ESC, the "++" commands, data to
// the addressed device and reads back to the host.
#include "adapter_model.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "vexon/router/driver_api.h"

namespace emulator {

namespace {

// A read from a talker that never ends stops here, as a real adapter stops
// once its host no longer takes the bytes.
constexpr size_t kReadCap = 64 * 1024;

std::string Visible(const std::string& s) {
  std::string v;
  for (unsigned char c : s) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      v += static_cast<char>(c);
    } else {
      char b[8];
      std::snprintf(b, sizeof b, "\\x%02x", c);
      v += b;
    }
  }
  return v;
}

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

int BoardHandle() {
  static int ud = ibfindA("gpib0");
  return ud;
}

}  // namespace

std::vector<std::string> AdapterModel::Feed(const std::string& bytes) {
  std::vector<std::string> ran;
  for (char c : bytes) {
    if (escaped_) {
      escaped_ = false;
      if (line_.size() < 2) lineIsData_ = true;
      line_ += c;
    } else if (c == 27) {
      escaped_ = true;
    } else if (c == '\r' || c == '\n') {
      if (!line_.empty()) {
        bool command = !lineIsData_ && line_.rfind("++", 0) == 0;
        ran.push_back(command ? line_ : "data: " + Visible(line_));
        RunLine(line_, command);
      }
      line_.clear();
      lineIsData_ = false;
    } else {
      line_ += c;
    }
  }
  return ran;
}

void AdapterModel::Reply(const std::string& text) { out_(text + "\r\n", 1000); }

int AdapterModel::DeviceHandle(int pad, int sad) {
  int key = pad | sad << 8;
  auto it = handles_.find(key);
  if (it != handles_.end()) return it->second;
  int ud = ibdev(0, pad, sad, 13, 1, 0);
  handles_[key] = ud;
  return ud;
}

void AdapterModel::RunLine(const std::string& line, bool command) {
  if (!command) return WriteData(line);
  std::istringstream words(line.substr(2));
  std::string name, word, rest;
  words >> name;
  std::vector<int> args;
  while (words >> word) {
    rest += (rest.empty() ? "" : " ") + word;
    char* end = nullptr;
    long v = std::strtol(word.c_str(), &end, 10);
    if (*end == '\0') args.push_back(static_cast<int>(v));
  }
  RunCommand(name, args, rest);
}

void AdapterModel::RunCommand(const std::string& name, const std::vector<int>& a, const std::string& rest) {
  // A setting with no argument answers its value.
  auto setting = [&](int& value, int lo, int hi) {
    if (a.empty()) return Reply(std::to_string(value));
    if (a[0] >= lo && a[0] <= hi) value = a[0];
  };
  const int ud = DeviceHandle(pad_, sad_);
  if (name == "addr") {
    if (a.empty()) return Reply(std::to_string(pad_) + (sad_ ? " " + std::to_string(sad_) : ""));
    if (a[0] < 0 || a[0] > 30 || (a.size() > 1 && (a[1] < 96 || a[1] > 126))) return;
    pad_ = a[0];
    sad_ = a.size() > 1 ? a[1] : 0;
  } else if (name == "auto") {
    setting(autoRead_, 0, ar488_ ? 3 : 1);
  } else if (name == "eoi") {
    setting(eoi_, 0, 1);
  } else if (name == "eos") {
    setting(eos_, 0, 3);
  } else if (name == "eot_enable") {
    setting(eotEnable_, 0, 1);
  } else if (name == "eot_char") {
    setting(eotChar_, 0, 255);
  } else if (name == "mode") {
    setting(mode_, 0, 1);
  } else if (name == "read_tmo_ms") {
    setting(readTmoMs_, 1, ar488_ ? 32000 : 3000);
  } else if (name == "read") {
    if (rest == "eoi") ReadToHost(true, 0);
    else if (!a.empty()) ReadToHost(false, a[0] & 0xFF);
    else ReadToHost(false, -1);
  } else if (name == "spoll") {
    int target = a.empty() ? ud : DeviceHandle(a[0], a.size() > 1 ? a[1] : 0);
    char stb = 0;
    if (!(ibrsp(target, &stb) & ERR)) Reply(std::to_string(static_cast<unsigned char>(stb)));
  } else if (name == "srq") {
    short srq = 0;
    TestSRQ(0, &srq);
    Reply(std::to_string(srq));
  } else if (name == "clr") {
    ibclr(ud);
  } else if (name == "trg") {
    if (a.empty()) return void(ibtrg(ud));
    for (size_t i = 0; i < a.size(); ++i) {
      int pad = a[i], sad = 0;
      if (i + 1 < a.size() && a[i + 1] >= 96) sad = a[++i];
      ibtrg(DeviceHandle(pad, sad));
    }
  } else if (name == "loc") {
    ibloc(ud);
  } else if (name == "llo") {
    SendLLO(0);
  } else if (name == "ifc") {
    SendIFC(0);
  } else if (name == "ver") {
    Reply(ar488_ ? "AR488 GPIB controller, ver. 0.51.29 (vorel emulator)"
                 : "Prologix GPIB-USB Controller version 6.107 (vorel emulator)");
  } else if (name == "rst") {
    *this = AdapterModel(ar488_, out_);
  } else if (ar488_ && name == "ren" && !a.empty()) {
    ibconfig(BoardHandle(), IbcSRE, a[0] ? 1 : 0);
  } else if (ar488_ && name == "dcl") {
    DevClear(0, NOADDR);
  } else if (ar488_ && name == "ppoll") {
    short r = 0;
    PPoll(0, &r);
    Reply(std::to_string(r & 0xFF));
  } else if (ar488_ && name == "findlstn") {
    uint16_t pads[32], found[64];
    for (int i = 0; i < 31; ++i) pads[i] = static_cast<uint16_t>(i);
    pads[31] = NOADDR;
    FindLstn(0, pads, found, 64);
    std::string list;
    for (int i = 0; i < Ibcnt(); ++i) list += (list.empty() ? "" : " ") + std::to_string(found[i] & 0xFF);
    Reply(list);
  }
  // Anything else (savecfg, status, lon, ...) changes nothing here.
}

void AdapterModel::WriteData(const std::string& data) {
  static const char* const kEos[] = {"\r\n", "\r", "\n", ""};
  std::string bytes = data + kEos[eos_];
  int ud = DeviceHandle(pad_, sad_);
  ibconfig(ud, IbcEOT, eoi_);
  ibwrt(ud, bytes.data(), static_cast<int>(bytes.size()));
  if (autoRead_ == 1) ReadToHost(true, 0);
}

void AdapterModel::ReadToHost(bool untilEoi, int endChar) {
  int ud = DeviceHandle(pad_, sad_);
  std::string got;
  bool ended = false, hit = false;
  char buf[4096];
  while (got.size() < kReadCap) {
    // Byte by byte when a character ends the read, so that it stops there.
    int sta = ibrd(ud, buf, untilEoi ? static_cast<int>(sizeof buf) : 1);
    if (sta & ERR) break;
    got.append(buf, static_cast<size_t>(Ibcnt()));
    ended = (sta & END) != 0;
    hit = !untilEoi && Ibcnt() == 1 && static_cast<unsigned char>(buf[0]) == endChar;
    if (ended || hit) break;
  }
  if (ended && eotEnable_) got += static_cast<char>(eotChar_);
  if (!got.empty() && !out_(got, readTmoMs_)) return;
  // Without EOI or the character, the read ended when nothing came for the read timeout.
  if (!ended && !hit) Sleep(readTmoMs_);
}

}  // namespace emulator
