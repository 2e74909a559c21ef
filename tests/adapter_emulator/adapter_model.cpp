// The adapter's behaviour: line framing with ESC, the "++" commands, data to
// the addressed device and reads back to the host, and the faults asked for.
#include "adapter_model.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <sstream>
#include <thread>
#include <utility>

#include "vexon/router/driver_api.h"

namespace emulator {

namespace {

// A read from a talker that never ends stops here, as a real adapter stops
// once its host no longer takes the bytes.
constexpr size_t kReadCap = 64 * 1024;

// Commands an AR488 has that change nothing here; any other unknown
// command it answers with "Unrecognized command". A Prologix adapter
// ignores what it does not know.
const std::set<std::string> kAr488Quiet = {"savecfg", "lon", "status", "default", "verbose", "help",
                                           "tct", "id", "idn", "allspoll", "srqauto", "setvstr",
                                           "xdiag", "macro", "repeat", "tmbus", "prom"};

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

void Sleep(std::chrono::steady_clock::duration d) {
  if (d > d.zero()) std::this_thread::sleep_for(d);
}

int BoardHandle() {
  static int ud = ibfindA("gpib0");
  return ud;
}

}  // namespace

Faults& SharedFaults() {
  static Faults faults;
  return faults;
}

void AdapterModel::Restart(int bootMs) {
  auto log = log_;
  *this = AdapterModel(fw_, out_);
  log_ = log;
  bootUntil_ = Clock::now() + std::chrono::milliseconds(bootMs);
}

bool AdapterModel::Ar488Since(int major, int minor, int patch) const {
  if (!fw_.ar488) return false;
  if (fw_.major != major) return fw_.major > major;
  if (fw_.minor != minor) return fw_.minor > minor;
  return fw_.patch >= patch;
}

void AdapterModel::Feed(const std::string& bytes) {
  if (Clock::now() < bootUntil_) return;  // not listening yet
  if (int ms = SharedFaults().stallMs; ms > 0) {
    SharedFaults().stallMs = 0;
    Sleep(std::chrono::milliseconds(ms));
  }
  for (char c : bytes) {
    if (dropNow_) break;
    if (escaped_) {
      escaped_ = false;
      if (line_.size() < 2) lineIsData_ = true;
      line_ += c;
    } else if (c == 27) {
      escaped_ = true;
    } else if (c == '\r' || c == '\n') {
      if (!line_.empty()) {
        bool command = !lineIsData_ && line_.rfind("++", 0) == 0;
        if (log_) log_(command ? line_ : "data: " + Visible(line_));
        RunLine(line_, command);
      }
      line_.clear();
      lineIsData_ = false;
    } else {
      line_ += c;
    }
  }
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
  if (name == "emulate") return Emulate(rest);
  if (Faults& f = SharedFaults(); f.holdMs > 0 && name == f.holdOn)
    Sleep(std::chrono::milliseconds(std::exchange(f.holdMs, 0)));
  if (auto it = SharedFaults().refused.find(name); it != SharedFaults().refused.end()) return Reply(it->second);
  RunCommand(name, args, rest);
}

void AdapterModel::Emulate(const std::string& rest) {
  Faults& f = SharedFaults();
  std::istringstream in(rest);
  std::string what, arg;
  in >> what;
  std::getline(in >> std::ws, arg);
  if (what == "late") f.lateMs = std::atoi(arg.c_str());
  else if (what == "slow") f.slowMs = std::atoi(arg.c_str());
  else if (what == "hold") {
    std::istringstream words(arg);
    words >> f.holdMs >> f.holdOn;
  }
  else if (what == "drop") f.dropAfter = std::atol(arg.c_str());
  else if (what == "big") f.bigBytes = std::atol(arg.c_str());
  else if (what == "stall") f.stallMs = std::atoi(arg.c_str());
  else if (what == "stray") f.stray = arg;
  else if (what == "reset") f = Faults{};
  else if (what == "refuse") {
    std::string cmd = arg.substr(0, arg.find(' '));
    std::string text = arg.size() > cmd.size() ? arg.substr(cmd.size() + 1) : "";
    if (text.empty()) f.refused.erase(cmd);
    else f.refused[cmd] = text;
  }
}

void AdapterModel::RunCommand(const std::string& name, const std::vector<int>& a, const std::string& rest) {
  // A setting with no argument answers its value.
  auto setting = [&](int& value, int lo, int hi) {
    if (a.empty()) return Reply(std::to_string(value));
    if (a[0] >= lo && a[0] <= hi) value = a[0];
    else if (fw_.ar488) Reply("Invalid parameter");
  };
  // An AR488 takes primary addresses 1 to 30 after "++trg" and "++spoll".
  auto primariesOnly = [&] {
    for (int v : a)
      if (v < 1 || v > 30) return Reply("Invalid parameter"), false;
    return true;
  };
  const int ud = DeviceHandle(pad_, sad_);
  if (name == "addr") {
    if (a.empty()) return Reply(std::to_string(pad_) + (sad_ ? " " + std::to_string(sad_) : ""));
    if (a[0] < 0 || a[0] > 30 || (a.size() > 1 && (a[1] < 96 || a[1] > 126)))
      return fw_.ar488 ? Reply("Invalid parameter") : void();
    pad_ = a[0];
    sad_ = a.size() > 1 ? a[1] : 0;
  } else if (name == "auto") {
    setting(autoRead_, 0, fw_.ar488 ? 3 : 1);
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
    setting(readTmoMs_, 1, fw_.ar488 ? 32000 : 3000);
  } else if (name == "read") {
    if (rest == "eoi") ReadToHost(ud, true, 0);
    // From 0.53 an AR488 reads the number as the address to read from.
    else if (!a.empty() && Ar488Since(0, 53, 0)) ReadToHost(DeviceHandle(a[0], 0), true, 0);
    else if (!a.empty()) ReadToHost(ud, false, a[0] & 0xFF);
    else ReadToHost(ud, false, -1);
  } else if (name == "spoll") {
    if (fw_.ar488 && !primariesOnly()) return;
    int target = a.empty() ? ud : DeviceHandle(a[0], a.size() > 1 ? a[1] : 0);
    char stb = 0;
    if (!(ibrsp(target, &stb) & ERR)) Reply(std::to_string(static_cast<unsigned char>(stb)));
    else Sleep(std::chrono::milliseconds(readTmoMs_));  // nobody answered within the read timeout
  } else if (name == "srq") {
    short srq = 0;
    TestSRQ(0, &srq);
    Reply(std::to_string(srq));
  } else if (name == "clr") {
    held_.erase(ud);
    ibclr(ud);
  } else if (name == "trg") {
    if (a.empty()) return void(ibtrg(ud));
    if (fw_.ar488) {
      if (primariesOnly())
        for (int pad : a) ibtrg(DeviceHandle(pad, 0));
      return;
    }
    for (size_t i = 0; i < a.size(); ++i) {
      int pad = a[i], sad = 0;
      if (i + 1 < a.size() && a[i + 1] >= 96) sad = a[++i];
      ibtrg(DeviceHandle(pad, sad));
    }
  } else if (name == "loc") {
    ibloc(ud);
  } else if (name == "llo") {
    // An AR488 locks the addressed device unless told "all".
    if (fw_.ar488 && rest != "all") {
      const uint16_t one[] = {static_cast<uint16_t>(pad_ | sad_ << 8), NOADDR};
      SetRWLS(0, one);
    } else {
      SendLLO(0);
    }
  } else if (name == "ifc") {
    SendIFC(0);
  } else if (name == "ver") {
    char v[96];
    std::snprintf(v, sizeof v, "AR488 GPIB controller, ver. %d.%02d.%02d (vorel emulator)", fw_.major,
                  fw_.minor, fw_.patch);
    Reply(fw_.ar488 ? v : "Prologix GPIB-USB Controller version 6.107 (vorel emulator)");
  } else if (name == "rst") {
    Restart(0);
  } else if (fw_.ar488 && name == "ren" && !a.empty()) {
    ibconfig(BoardHandle(), IbcSRE, a[0] ? 1 : 0);
  } else if (fw_.ar488 && name == "dcl") {
    DevClear(0, NOADDR);
  } else if (fw_.ar488 && name == "ppoll") {
    short r = 0;
    PPoll(0, &r);
    Reply(std::to_string(r & 0xFF));
  } else if (fw_.ar488 && name == "fndl" && Ar488Since(0, 52, 17)) {
    uint16_t pads[32], found[64];
    for (int i = 0; i < 31; ++i) pads[i] = static_cast<uint16_t>(i);
    pads[31] = NOADDR;
    FindLstn(0, pads, found, 64);
    std::string list;
    for (int i = 0; i < Ibcnt(); ++i) {
      list += (list.empty() ? "" : ",") + std::to_string(found[i] & 0xFF);
      if (found[i] >> 8) list += ":" + std::to_string(found[i] >> 8);
    }
    Reply(list);
  } else if (fw_.ar488 && !kAr488Quiet.count(name)) {
    Reply("Unrecognized command");
  }
}

void AdapterModel::WriteData(const std::string& data) {
  static const char* const kEos[] = {"\r\n", "\r", "\n", ""};
  std::string bytes = data + kEos[eos_];
  int ud = DeviceHandle(pad_, sad_);
  held_.erase(ud);  // a new message: what the device had not said is gone
  readyAt_ = Clock::now() + std::chrono::milliseconds(SharedFaults().lateMs);
  SharedFaults().lateMs = 0;
  ibconfig(ud, IbcEOT, eoi_);
  ibwrt(ud, bytes.data(), static_cast<int>(bytes.size()));
  if (autoRead_ == 1) ReadToHost(ud, true, 0);
}

bool AdapterModel::PassOn(const std::string& bytes) {
  Faults& f = SharedFaults();
  if (f.dropAfter >= 0 && static_cast<long>(bytes.size()) >= f.dropAfter) {
    out_(bytes.substr(0, static_cast<size_t>(f.dropAfter)), readTmoMs_);
    f.dropAfter = -1;
    dropNow_ = true;
    return false;
  }
  if (f.dropAfter >= 0) f.dropAfter -= static_cast<long>(bytes.size());
  return out_(bytes, std::max(readTmoMs_, 1000));
}

void AdapterModel::ReadToHost(int ud, bool untilEoi, int endChar) {
  Faults& f = SharedFaults();
  const auto readTmo = std::chrono::milliseconds(readTmoMs_);
  Held& h = held_[ud];
  if (h.bytes.empty() && !h.end) {
    if (f.bigBytes >= 0) {
      char discard[4096];  // the device's own answer gives way to the big one
      while (!(ibrd(ud, discard, sizeof discard) & (ERR | END))) {
      }
      static const std::string kLine = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz+-\n";
      h.bytes.reserve(static_cast<size_t>(f.bigBytes));
      while (h.bytes.size() + kLine.size() <= static_cast<size_t>(f.bigBytes)) h.bytes += kLine;
      h.bytes.append(static_cast<size_t>(f.bigBytes) - h.bytes.size(), '.');
      h.end = true;
      f.bigBytes = -1;
    } else {
      char buf[4096];
      while (h.bytes.size() < kReadCap) {
        int sta = ibrd(ud, buf, static_cast<int>(sizeof buf));
        if (sta & ERR) break;
        h.bytes.append(buf, static_cast<size_t>(Ibcnt()));
        if ((h.end = (sta & END) != 0)) break;
      }
    }
  }
  if (!f.stray.empty()) {
    Reply(f.stray);
    f.stray.clear();
  }
  // The bytes this read takes: up to the end character when there is one.
  size_t n = h.bytes.size();
  bool hit = false;
  if (!untilEoi && endChar >= 0) {
    if (size_t at = h.bytes.find(static_cast<char>(endChar)); at != std::string::npos) n = at + 1, hit = true;
  }
  // A late or slow talker: the adapter waits up to its read timeout for
  // each byte, and gives up on the read when one takes longer.
  size_t passed = 0;
  bool timedOut = false;
  if (f.slowMs > 0 || Clock::now() < readyAt_) {
    for (; passed < n; ++passed) {
      auto wait = readyAt_ - Clock::now();
      if (wait > readTmo) {
        Sleep(readTmo);
        timedOut = true;
        break;
      }
      Sleep(wait);
      if (!PassOn(h.bytes.substr(passed, 1))) return;
      readyAt_ = Clock::now() + std::chrono::milliseconds(f.slowMs);
    }
  } else {
    if (n && !PassOn(h.bytes.substr(0, n))) return;
    passed = n;
  }
  const bool ended = !timedOut && passed == h.bytes.size() && h.end;
  h.bytes.erase(0, passed);
  if (ended) h.end = false;
  if (ended && eotEnable_) out_(std::string(1, static_cast<char>(eotChar_)), readTmoMs_);
  // Without EOI or the character, the read ended when nothing came for the read timeout.
  if (!ended && !hit && !timedOut) Sleep(readTmo);
}

}  // namespace emulator
