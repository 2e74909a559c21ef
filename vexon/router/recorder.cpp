// The recordings of the process: per recording board its devices' logs and
// the file they go to. A user's file is never replaced: a file that does not
// start with the recording's mark sends the recording to FILE.1, FILE.2, ...
#include "recorder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <tuple>

#include "exchange_log.h"
#include "recording_writer.h"
#include "router.h"
#include "status.h"

namespace vexon::recorder {

std::atomic<bool> active{false};

namespace {

using DeviceKey = std::tuple<int, int, int>;  // board, pad, sad

struct BoardRecording {
  const BoardSettings* settings = nullptr;
  std::string from;    // when the board opened
  std::string target;  // the file chosen at the first write
  std::map<DeviceKey, DeviceLog> devices;
  bool changed = false;
};

struct Recordings {
  std::mutex mutex;
  std::map<int, BoardRecording> boards;  // by board index
  std::map<int, DeviceKey> handles;      // device handles on recording boards
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

DeviceLog* DeviceOfHandle(Recordings& s, int ud) {
  auto h = s.handles.find(ud);
  if (h == s.handles.end()) return nullptr;
  auto [board, pad, sad] = h->second;
  return Device(s, board, pad, sad);
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
  DeviceLog* d = DeviceOfHandle(s, ud);
  if (!d) return;
  struct Bit {
    int option, mask;
  };
  static const Bit kEosBits[] = {{IbcEOSrd, 0x400}, {IbcEOSwrt, 0x800}, {IbcEOScmp, 0x1000}};
  if (option == IbcEOS) d->eos = value;
  else if (option == IbcEOT) d->eot = value != 0;
  else if (option == IbcEOSchar) d->eos = (d->eos & ~0xFF) | (value & 0xFF);
  for (const Bit& b : kEosBits)
    if (option == b.option) d->eos = value ? d->eos | b.mask : d->eos & ~b.mask;
}

namespace {

// Whether a write ended its message: END with the last byte, or the EOS
// byte sent with END.
bool WriteEnded(const DeviceLog& d, const void* buf, long count, int sta) {
  if (sta & ERR) return false;
  if (d.eot) return true;
  if (!(d.eos & 0x800) || count <= 0) return false;
  const uint8_t last = static_cast<const uint8_t*>(buf)[count - 1];
  const int mask = (d.eos & 0x1000) ? 0xFF : 0x7F;
  return (last & mask) == (d.eos & mask);
}

std::string_view Bytes(const void* buf, long count) {
  if (!buf || count <= 0) return {};
  return {static_cast<const char*>(buf), static_cast<size_t>(count)};
}

}  // namespace

void DeviceWriteDone(int ud, const void* buf, long count, int sta) {
  Recordings& s = State();
  std::lock_guard l(s.mutex);
  if (DeviceLog* d = DeviceOfHandle(s, ud)) LogWrite(*d, Bytes(buf, count), WriteEnded(*d, buf, count, sta));
}

void DeviceReadDone(int ud, const void* buf, long count, int sta) {
  Recordings& s = State();
  std::lock_guard l(s.mutex);
  if (DeviceLog* d = DeviceOfHandle(s, ud)) LogRead(*d, Bytes(buf, count), sta & END);
}

void AddressWriteDone(int board, uint16_t address, const void* buf, long count, int eotMode, int sta) {
  Recordings& s = State();
  std::lock_guard l(s.mutex);
  DeviceLog* d = Device(s, board, address & 0xFF, address >> 8);
  if (!d) return;
  std::string bytes(Bytes(buf, count));
  // NLend sends a line feed with END after the data.
  if (eotMode == NLend && !(sta & ERR)) bytes += '\n';
  LogWrite(*d, bytes, eotMode != NULLend && !(sta & ERR));
}

void AddressReadDone(int board, uint16_t address, const void* buf, long count, int sta) {
  Recordings& s = State();
  std::lock_guard l(s.mutex);
  if (DeviceLog* d = Device(s, board, address & 0xFF, address >> 8)) LogRead(*d, Bytes(buf, count), sta & END);
}

void SerialPolled(int board, int pad, int sad, uint8_t result) {
  Recordings& s = State();
  std::lock_guard l(s.mutex);
  if (DeviceLog* d = Device(s, board, pad, sad)) LogPoll(*d, result);
}

void HandleSerialPolled(int ud, uint8_t result) {
  Recordings& s = State();
  std::lock_guard l(s.mutex);
  if (DeviceLog* d = DeviceOfHandle(s, ud)) LogPoll(*d, result);
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
  active.store(false, std::memory_order_relaxed);
}

}  // namespace vexon::recorder
