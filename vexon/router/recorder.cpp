// The recordings of the process: per recording board its devices' logs and
// the file they go to. A user's file is never replaced: a file that does not
// start with the recording's mark sends the recording to FILE.1, FILE.2, ...
#include "recorder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "exchange_log.h"
#include "gpib_commands.h"
#include "recording_writer.h"
#include "router.h"
#include "status.h"

namespace vexon::recorder {

std::atomic<bool> active{false};

namespace {

using DeviceKey = std::tuple<int, int, int>;  // board, pad, sad

// Who the board's own commands addressed. A transfer on the board handle is
// recorded only while that is known: since an unlisten (or SendSetup) for
// the listeners, since a talk address or untalk for the talker. Any other
// call that reaches a device may address others, and makes it unknown.
struct Addressing {
  bool listenersKnown = false, talkerKnown = false;
  std::vector<std::pair<int, int>> listeners;  // devices: pad, sad
  bool deviceTalks = false;                    // the talker is a device, not the board
  int talkerPad = 0, talkerSad = 0;
  int lastPrimary = 0;                         // 1: a listen address, 2: a talk address, before a secondary
  bool polling = false;                        // between SPE and SPD: a byte read is a status byte
};

struct BoardRecording {
  const BoardSettings* settings = nullptr;
  std::string from;    // when the board opened
  std::string target;  // the file chosen at the first write
  std::map<DeviceKey, DeviceLog> devices;
  bool changed = false;
  Addressing bus;
  int eot = 1, eos = 0;            // the board handle's terminators
  std::vector<std::string> links;  // link names opened, in order: device keys -1, -2, ...
};

// An ibwrta or ibrda under way.
struct Pending {
  const void* buf;
  int count;
  bool write;
};

struct Recordings {
  std::mutex mutex;
  std::map<int, BoardRecording> boards;  // by board index
  std::map<int, DeviceKey> handles;      // device handles on recording boards
  std::map<int, Pending> pending;        // by handle
};

// Never destroyed: the exit handler may run after static destructors.
Recordings& State() {
  static Recordings* s = new Recordings;
  return *s;
}

std::string Now() {
  const std::time_t t = std::time(nullptr);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &tm);
  return text;
}

DeviceLog* Device(Recordings& s, int board, int pad, int sad) {
  auto b = s.boards.find(board);
  if (b == s.boards.end()) return nullptr;
  auto [at, added] = b->second.devices.try_emplace({board, pad, sad});
  if (added) at->second.board = board, at->second.pad = pad, at->second.sad = sad;
  b->second.changed = true;
  return &at->second;
}

// A device handle's log; the board's addressing is the back end's after it.
DeviceLog* DeviceOfHandle(Recordings& s, int ud) {
  auto h = s.handles.find(ud);
  if (h == s.handles.end()) return nullptr;
  auto [board, pad, sad] = h->second;
  s.boards[board].bus = {};
  return Device(s, board, pad, sad);
}

// The recording of the board whose handle ud is.
BoardRecording* BoardOfHandle(Recordings& s, int ud) {
  if (ud < 0 || ud >= kMaxBoards || s.handles.count(ud)) return nullptr;
  auto b = s.boards.find(ud);
  return b == s.boards.end() ? nullptr : &b->second;
}

DeviceLog* AddressedDevice(Recordings& s, int board, uint16_t address) {
  auto b = s.boards.find(board);
  if (b != s.boards.end()) b->second.bus = {};
  return Device(s, board, address & 0xFF, address >> 8);
}

bool WrittenByRecording(const std::string& path) {
  std::ifstream in(path);
  std::string first;
  return std::getline(in, first) && first == kRecordingMark;
}

bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

// The file a board's recording goes to: FILE unless it is the user's.
std::string Target(BoardRecording& r) {
  if (!r.target.empty()) return r.target;
  const std::string& wanted = r.settings->record;
  std::string path = wanted;
  for (int n = 1; Exists(path) && !WrittenByRecording(path); ++n) path = wanted + "." + std::to_string(n);
  if (path != wanted)
    ReportProblem(wanted + " is not a recording and stays as it is; the recording of gpib" +
                  std::to_string(r.settings->index) + " goes to " + path);
  return r.target = path;
}

// Writes the text beside the target and renames it over, so that a reader
// sees the old file or the new one, never a part.
bool WriteWhole(const std::string& path, const std::string& text, std::string& reason) {
  std::string temporary = path + ".XXXXXX";
  const int fd = mkstemp(temporary.data());
  if (fd < 0) return reason = std::strerror(errno), false;
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  const int error = done < text.size() ? errno : 0;
  fchmod(fd, 0644);
  if (close(fd) != 0 || error || rename(temporary.c_str(), path.c_str()) != 0) {
    reason = std::strerror(error ? error : errno);
    unlink(temporary.c_str());
    return false;
  }
  return true;
}

void Save(BoardRecording& r) {
  if (!r.changed) return;
  r.changed = false;
  std::vector<DeviceLog> devices;
  for (const auto& [key, log] : r.devices) devices.push_back(log);
  const BusConfig* bus = LoadedBus();
  const std::string path = Target(r);
  const std::string text = RecordingText({r.settings, r.from, Now(), path.substr(path.rfind('/') + 1)}, devices,
                                         bus ? bus->names : std::vector<NamedDevice>());
  std::string reason;
  if (!WriteWhole(path, text, reason))
    ReportProblem("gpib" + std::to_string(r.settings->index) + ": cannot write the recording " + path + ": " +
                  reason);
}

void AtExit() {
  try {
    ProgramEnd();
  } catch (...) {  // out of memory at exit: the recording is lost, the exit goes on
  }
}

}  // namespace

void BoardOpened(const BoardSettings& settings) {
  if (settings.record.empty()) return;
  Recordings& s = State();
  std::lock_guard l(s.mutex);
  if (s.boards.count(settings.index)) return;
  static bool registered = false;
  if (!registered) registered = std::atexit(AtExit) == 0;
  BoardRecording& r = s.boards[settings.index];
  r.settings = &settings;
  r.from = Now();
  active.store(true, std::memory_order_relaxed);
}

void DeviceOpened(int ud, int board, int pad, int sad, int eot, int eos) {
  if (!active.load(std::memory_order_relaxed)) return;
  Recordings& s = State();
  std::lock_guard l(s.mutex);
  DeviceLog* d = Device(s, board, pad, sad);
  if (!d) return;
  s.handles[ud] = {board, pad, sad};
  d->eot = eot;
  d->eos = eos;
  ++d->openHandles;
}

void HandleClosed(int ud) {
  if (!active.load(std::memory_order_relaxed)) return;
  Recordings& s = State();
  std::lock_guard l(s.mutex);
  s.pending.erase(ud);
  auto h = s.handles.find(ud);
  if (h == s.handles.end()) return;
  auto [board, pad, sad] = h->second;
  s.handles.erase(h);
  BoardRecording& r = s.boards[board];
  DeviceLog& d = r.devices[{board, pad, sad}];
  if (--d.openHandles <= 0) Save(r);
}

void TerminatorsSet(int ud, int option, int value) {
  Recordings& s = State();
  std::lock_guard l(s.mutex);
  int *eot = nullptr, *eos = nullptr;
  if (auto h = s.handles.find(ud); h != s.handles.end()) {
    auto [board, pad, sad] = h->second;
    DeviceLog* d = Device(s, board, pad, sad);
    eot = &d->eot, eos = &d->eos;
  } else if (BoardRecording* r = BoardOfHandle(s, ud)) {
    eot = &r->eot, eos = &r->eos;
  } else {
    return;
  }
  struct Bit {
    int option, mask;
  };
  static const Bit kEosBits[] = {{IbcEOSrd, 0x400}, {IbcEOSwrt, 0x800}, {IbcEOScmp, 0x1000}};
  if (option == IbcEOS) *eos = value;
  else if (option == IbcEOT) *eot = value != 0;
  else if (option == IbcEOSchar) *eos = (*eos & ~0xFF) | (value & 0xFF);
  for (const Bit& b : kEosBits)
    if (option == b.option) *eos = value ? *eos | b.mask : *eos & ~b.mask;
}

namespace {

// Whether a write ended its message: END with the last byte, or the EOS
// byte sent with END.
bool WriteEnded(int eot, int eos, const void* buf, long count, int sta) {
  if (sta & ERR) return false;
  if (eot) return true;
  if (!(eos & 0x800) || count <= 0) return false;
  const uint8_t last = static_cast<const uint8_t*>(buf)[count - 1];
  const int mask = (eos & 0x1000) ? 0xFF : 0x7F;
  return (last & mask) == (eos & mask);
}

std::string_view Bytes(const void* buf, long count) {
  if (!buf || count <= 0) return {};
  return {static_cast<const char*>(buf), static_cast<size_t>(count)};
}

// The board's transfers go to the devices its own commands addressed.
void BoardWrite(Recordings& s, BoardRecording& r, std::string_view bytes, bool end) {
  if (!r.bus.listenersKnown) return;
  for (auto [pad, sad] : r.bus.listeners)
    if (DeviceLog* d = Device(s, r.settings->index, pad, sad)) LogWrite(*d, bytes, end);
}

void BoardRead(Recordings& s, BoardRecording& r, std::string_view bytes, bool end) {
  if (!r.bus.talkerKnown || !r.bus.deviceTalks) return;
  DeviceLog* d = Device(s, r.settings->index, r.bus.talkerPad, r.bus.talkerSad);
  if (!d) return;
  if (!r.bus.polling) return LogRead(*d, bytes, end);
  for (char c : bytes) LogPoll(*d, static_cast<uint8_t>(c));
}

void Write(Recordings& s, int ud, std::string_view bytes, int sta) {
  if (DeviceLog* d = DeviceOfHandle(s, ud))
    LogWrite(*d, bytes, WriteEnded(d->eot, d->eos, bytes.data(), static_cast<long>(bytes.size()), sta));
  else if (BoardRecording* r = BoardOfHandle(s, ud))
    BoardWrite(s, *r, bytes, WriteEnded(r->eot, r->eos, bytes.data(), static_cast<long>(bytes.size()), sta));
}

void Read(Recordings& s, int ud, std::string_view bytes, int sta) {
  if (DeviceLog* d = DeviceOfHandle(s, ud)) LogRead(*d, bytes, sta & END);
  else if (BoardRecording* r = BoardOfHandle(s, ud)) BoardRead(s, *r, bytes, sta & END);
}

// The first count bytes of a regular file; none of a FIFO, a device or a
// file that cannot be opened, which reading again would change or block.
std::string FileStart(const char* fileName, long count) {
  std::string bytes;
  struct stat st;
  // Not even opened otherwise: opening a FIFO's reading end wakes its writer.
  if (!fileName || count <= 0 || stat(fileName, &st) != 0 || !S_ISREG(st.st_mode)) return bytes;
  const int fd = open(fileName, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return bytes;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    bytes.resize(static_cast<size_t>(std::min<long>(count, st.st_size)));
    size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = read(fd, bytes.data() + done, bytes.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    bytes.resize(done);
  }
  close(fd);
  return bytes;
}

}  // namespace

void DeviceWriteDone(int ud, const void* buf, long count, int sta) {
  Recordings& s = State();
  std::lock_guard l(s.mutex);
  s.pending.erase(ud);
  Write(s, ud, Bytes(buf, count), sta);
}

void DeviceReadDone(int ud, const void* buf, long count, int sta) {
  Recordings& s = State();
  std::lock_guard l(s.mutex);
  s.pending.erase(ud);
  Read(s, ud, Bytes(buf, count), sta);
}

void FileWritten(int ud, const char* fileName, long count, int sta) {
  const std::string bytes = FileStart(fileName, count);
  Recordings& s = State();
  std::lock_guard l(s.mutex);
  Write(s, ud, bytes, sta);
}

void FileRead(int ud, const char* fileName, long count, int sta) {
  const std::string bytes = FileStart(fileName, count);
  Recordings& s = State();
  std::lock_guard l(s.mutex);
  Read(s, ud, bytes, sta);
}

void AddressWriteDone(int board, uint16_t address, const void* buf, long count, int eotMode, int sta) {
  Recordings& s = State();
  std::lock_guard l(s.mutex);
  DeviceLog* d = AddressedDevice(s, board, address);
  if (!d) return;
  std::string bytes(Bytes(buf, count));
  // NLend sends a line feed with END after the data.
  if (eotMode == NLend && !(sta & ERR)) bytes += '\n';
  LogWrite(*d, bytes, eotMode != NULLend && !(sta & ERR));
}

void AddressReadDone(int board, uint16_t address, const void* buf, long count, int sta) {
  Recordings& s = State();
  std::lock_guard l(s.mutex);
  if (DeviceLog* d = AddressedDevice(s, board, address)) LogRead(*d, Bytes(buf, count), sta & END);
}

void SerialPolled(int board, int pad, int sad, uint8_t result) {
  Recordings& s = State();
  std::lock_guard l(s.mutex);
  if (DeviceLog* d = AddressedDevice(s, board, static_cast<uint16_t>(pad | sad << 8))) LogPoll(*d, result);
}

void HandleSerialPolled(int ud, uint8_t result) {
  Recordings& s = State();
  std::lock_guard l(s.mutex);
  if (DeviceLog* d = DeviceOfHandle(s, ud)) LogPoll(*d, result);
}

void CommandsSent(int board, const void* buf, long count, int sta) {
  Recordings& s = State();
  std::lock_guard l(s.mutex);
  BoardRecording* r = BoardOfHandle(s, board);
  if (!r) return;
  Addressing& a = r->bus;
  if (sta & ERR) {
    a = {};  // some of the bytes went out: who listens is not known
    return;
  }
  const int own = r->settings->pad;
  for (char byte : Bytes(buf, count)) {
    const int c = static_cast<uint8_t>(byte) & 0x7F;
    const int primary = c & 0x1F;
    if (c == command::UNL) {
      a.listeners.clear(), a.listenersKnown = true, a.lastPrimary = 0;
    } else if (c == command::UNT) {
      a.deviceTalks = false, a.talkerKnown = true, a.lastPrimary = 0;
    } else if ((c & 0x60) == 0x20) {  // a listen address
      const bool device = primary != own;
      if (device) {
        auto at = std::find(a.listeners.begin(), a.listeners.end(), std::pair<int, int>{primary, 0});
        if (at != a.listeners.end()) a.listeners.erase(at);
        a.listeners.push_back({primary, 0});
      }
      a.lastPrimary = device ? 1 : 0;
    } else if ((c & 0x60) == 0x40) {  // a talk address
      a.talkerKnown = true, a.deviceTalks = primary != own;
      a.talkerPad = primary, a.talkerSad = 0;
      a.lastPrimary = a.deviceTalks ? 2 : 0;
    } else if ((c & 0x60) == 0x60) {  // a secondary address of the last primary
      if (a.lastPrimary == 1) a.listeners.back().second = c;
      if (a.lastPrimary == 2) a.talkerSad = c;
      a.lastPrimary = 0;
    } else {
      if (c == command::SPE) a.polling = true;
      if (c == command::SPD) a.polling = false;
      a.lastPrimary = 0;
    }
  }
}

void ListenersSet(int board, const uint16_t* list, int sta) {
  Recordings& s = State();
  std::lock_guard l(s.mutex);
  BoardRecording* r = BoardOfHandle(s, board);
  if (!r) return;
  r->bus = {};
  if ((sta & ERR) || !list) return;
  for (int i = 0; i < 31 * 31 && list[i] != NOADDR; ++i) r->bus.listeners.push_back({list[i] & 0xFF, list[i] >> 8});
  r->bus.listenersKnown = r->bus.talkerKnown = true;
}

void TalkerSet(int board, uint16_t address, int sta) {
  Recordings& s = State();
  std::lock_guard l(s.mutex);
  BoardRecording* r = BoardOfHandle(s, board);
  if (!r) return;
  r->bus = {};
  if (sta & ERR) return;
  r->bus.listenersKnown = r->bus.talkerKnown = r->bus.deviceTalks = true;
  r->bus.talkerPad = address & 0xFF, r->bus.talkerSad = address >> 8;
}

void InterfaceCleared(int board, int sta) {
  Recordings& s = State();
  std::lock_guard l(s.mutex);
  if (BoardRecording* r = BoardOfHandle(s, board)) {
    r->bus = {};
    r->bus.listenersKnown = r->bus.talkerKnown = !(sta & ERR);
  }
}

void AddressingLost(int board) {
  Recordings& s = State();
  std::lock_guard l(s.mutex);
  if (BoardRecording* r = BoardOfHandle(s, board)) r->bus = {};
}

void HandleAddressingLost(int ud) {
  Recordings& s = State();
  std::lock_guard l(s.mutex);
  if (auto h = s.handles.find(ud); h != s.handles.end()) s.boards[std::get<0>(h->second)].bus = {};
}

void BoardWriteDone(int board, const void* buf, long count, int eotMode, int sta) {
  Recordings& s = State();
  std::lock_guard l(s.mutex);
  BoardRecording* r = BoardOfHandle(s, board);
  if (!r) return;
  std::string bytes(Bytes(buf, count));
  if (eotMode == NLend && !(sta & ERR)) bytes += '\n';
  BoardWrite(s, *r, bytes, eotMode != NULLend && !(sta & ERR));
}

void BoardReadDone(int board, const void* buf, long count, int sta) {
  Recordings& s = State();
  std::lock_guard l(s.mutex);
  if (BoardRecording* r = BoardOfHandle(s, board)) BoardRead(s, *r, Bytes(buf, count), sta & END);
}

void TransferStarted(int ud, const void* buf, int count, bool write, int sta, long moved) {
  Recordings& s = State();
  std::lock_guard l(s.mutex);
  s.pending.erase(ud);
  if ((sta & ERR) || (!s.handles.count(ud) && !BoardOfHandle(s, ud))) return;
  if (!(sta & CMPL)) {
    s.pending[ud] = {buf, count, write};
    return;
  }
  if (write) Write(s, ud, Bytes(buf, moved), sta);
  else Read(s, ud, Bytes(buf, moved), sta);
}

void TransferWaited(int ud, int sta, long moved) {
  if (!(sta & CMPL)) return;
  Recordings& s = State();
  std::lock_guard l(s.mutex);
  auto p = s.pending.find(ud);
  if (p == s.pending.end()) return;
  const Pending t = p->second;
  s.pending.erase(p);
  moved = std::min<long>(moved, t.count);
  if (t.write) Write(s, ud, Bytes(t.buf, moved), sta);
  else Read(s, ud, Bytes(t.buf, moved), sta);
}

void TransferStopped(int ud) {
  Recordings& s = State();
  std::lock_guard l(s.mutex);
  s.pending.erase(ud);
}

namespace {

// The program's notification function and its data, by handle.
struct Relayed {
  std::atomic<NotifyCallback> cb{nullptr};
  std::atomic<void*> ref{nullptr};
};
Relayed relayed[kMaxHandles];

int Relay(int ud, int sta, int err, int cnt, void* ref) {
  auto* r = static_cast<Relayed*>(ref);
  TransferWaited(ud, sta, (sta & ERR) && err == EDVR ? 0 : cnt);
  return r->cb.load()(ud, sta, err, cnt, r->ref.load());
}

}  // namespace

void RelayNotice(int ud, NotifyCallback& cb, void*& refData) {
  if (!cb || static_cast<unsigned>(ud) >= static_cast<unsigned>(kMaxHandles)) return;
  relayed[ud].cb.store(cb);
  relayed[ud].ref.store(refData);
  cb = &Relay;
  refData = &relayed[ud];
}

void NameFound(int ud, int board, const char* name, const Backend& backend) {
  if (!active.load(std::memory_order_relaxed)) return;
  {
    Recordings& s = State();
    std::lock_guard l(s.mutex);
    if (!s.boards.count(board)) return;
  }
  // The back end says where the handle is; ibfind's status words stay.
  const int sta = LastStatus(), err = LastError(), cnt = LastCount();
  int pad = -1, sad = 0, eot = 1, eos = 0;
  const bool placed = !(backend.ibask(ud, IbcPAD, &pad) & ERR) && !(backend.ibask(ud, IbcSAD, &sad) & ERR);
  if (placed && (backend.ibask(ud, IbcEOT, &eot) & ERR)) eot = 1;
  if (placed && (backend.ibask(ud, IbcEOS, &eos) & ERR)) eos = 0;
  Finish(sta, err, cnt);
  Recordings& s = State();
  std::lock_guard l(s.mutex);
  auto r = s.boards.find(board);
  // A name of the interface itself answers with the board's own address.
  if (!placed || r == s.boards.end() || pad < 0 || pad > 30 || pad == r->second.settings->pad) return;
  if (sad != 0 && (sad < 0x60 || sad > 0x7E)) return;
  DeviceLog* d = Device(s, board, pad, sad);
  s.handles[ud] = {board, pad, sad};
  d->eot = eot != 0, d->eos = eos;
  if (d->foundAs.empty() && name) d->foundAs = name;
  ++d->openHandles;
}

void LinkOpened(int ud, int board, const char* link, int eot, int eos) {
  if (!active.load(std::memory_order_relaxed) || !link) return;
  Recordings& s = State();
  std::lock_guard l(s.mutex);
  auto r = s.boards.find(board);
  if (r == s.boards.end()) return;
  std::vector<std::string>& links = r->second.links;
  size_t k = 0;
  while (k < links.size() && links[k] != link) ++k;
  if (k == links.size()) links.push_back(link);
  const int key = -1 - static_cast<int>(k);
  DeviceLog* d = Device(s, board, key, 0);
  d->link = link;
  s.handles[ud] = {board, key, 0};
  d->eot = eot, d->eos = eos;
  ++d->openHandles;
}

void ProgramEnd() {
  Recordings& s = State();
  std::lock_guard l(s.mutex);
  for (auto& [index, r] : s.boards) Save(r);
}

void Reset() {
  Recordings& s = State();
  std::lock_guard l(s.mutex);
  s.boards.clear();
  s.handles.clear();
  s.pending.clear();
  active.store(false, std::memory_order_relaxed);
}

}  // namespace vexon::recorder
