// The bus file's sections: boards, devices (instrument definitions),
// resources (where simulated instruments sit) and names. Every check throws
// BusFileError naming the place in the file.
#include "bus_file.h"

#include <fcntl.h>
#include <poll.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <map>
#include <regex>

#include "backend.h"
#include "bundled_files.h"
#include "recording_writer.h"
#include "yaml_text.h"

namespace vexon {

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// "gpibN" in any case, N from 0 to 999; -1 otherwise.
int BoardIndex(const std::string& name) {
  static const std::regex board("gpib([0-9]{1,3})", std::regex::icase);
  std::smatch m;
  return std::regex_match(name, m, board) ? std::stoi(m[1]) : -1;
}

struct Address {
  int board = 0, pad = 0, sad = 0;
};

enum class Resource { Gpib, OtherInterface, Invalid };

// A VISA resource name: GPIB[board]::PAD[::SAD]::INSTR, SAD 0 to 30 meaning
// the secondary address 0x60 + SAD.
Resource ParseResource(const YamlFile& file, const YAML::Node& node, Address& a) {
  const std::string text = node.IsScalar() ? node.Scalar() : std::string();
  static const std::regex gpib("GPIB([0-9]{0,3})::([0-9]{1,3})(?:::([0-9]{1,3}))?::INSTR",
                               std::regex::icase);
  static const std::regex other("(ASRL|TCPIP|USB).*", std::regex::icase);
  std::smatch m;
  if (std::regex_match(text, m, other)) return Resource::OtherInterface;
  if (!std::regex_match(text, m, gpib)) return Resource::Invalid;
  a.board = m[1].length() ? std::stoi(m[1]) : 0;
  a.pad = std::stoi(m[2]);
  a.sad = m[3].matched ? 0x60 + std::stoi(m[3]) : 0;
  if (a.board >= kMaxBoards) file.Fail(node, text + ": boards run from GPIB0 to GPIB15");
  if (a.pad > 30) file.Fail(node, text + ": primary address beyond 30");
  if (m[3].matched && a.sad > 0x60 + 30) file.Fail(node, text + ": secondary address beyond 30");
  return Resource::Gpib;
}

// The back ends a bus file may name, as a message lists them.
std::string BackendList() {
  std::string list;
  int count = 0;
  const Backend* all = AllBackends(count);
  for (int i = 0; i < count; ++i)
    if (all[i].readBoard) list += list.empty() ? all[i].name : std::string(", ") + all[i].name;
  return list;
}

BoardSettings& BoardAt(BusConfig& bus, int index) {
  auto at = bus.boards.begin();
  while (at != bus.boards.end() && at->index < index) ++at;
  if (at == bus.boards.end() || at->index != index) {
    BoardSettings b;
    b.index = index;
    at = bus.boards.insert(at, b);
  }
  return *at;
}

// A path as written in the file, taken from the file's folder when relative.
std::string RelativeToFile(const YamlFile& file, std::string path) {
  if (path.empty() || path[0] == '/') return path;
  const size_t slash = file.path.rfind('/');
  return slash == std::string::npos ? path : file.path.substr(0, slash + 1) + path;
}

void ReadBoard(const YamlFile& file, int index, const YAML::Node& node, BoardSettings& b) {
  file.CheckMap(node, "gpib" + std::to_string(index));
  b.index = index;
  const Backend* backend = FindBackend(b.backend.c_str());
  if (YAML::Node name = Child(node, "backend"); name.IsDefined()) {
    b.backend = file.String(name, "backend");
    backend = FindBackend(b.backend.c_str());
    if (!backend || !backend->readBoard)
      file.Fail(name, "unknown back end '" + b.backend + "' (expected " + BackendList() + ")");
  }
  // Any board may record; the back end checks its own keys beside it.
  if (YAML::Node record = Child(node, "record"); record.IsDefined())
    b.record = RelativeToFile(file, file.String(record, "record"));
  YamlFile entry = file;
  entry.alsoAllowed = {"record"};
  backend->readBoard(entry, node, b);
}

void ReadBoards(const YamlFile& file, const YAML::Node& boards, BusConfig& bus) {
  file.CheckMap(boards, "boards");
  if (Empty(boards)) return;
  for (const auto& kv : boards) {
    const int index = BoardIndex(kv.first.Scalar());
    if (index < 0 || index >= kMaxBoards)
      file.Fail(kv.first, "'" + kv.first.Scalar() + "' is not a board (gpib0 to gpib15)");
    if (bus.board(index)) file.Fail(kv.first, "gpib" + std::to_string(index) + " given twice");
    BoardSettings& b = BoardAt(bus, index);
    ReadBoard(file, index, kv.second, b);
    for (const BoardSettings& other : bus.boards)
      if (&other != &b && !b.record.empty() && other.record == b.record)
        file.Fail(KeyNode(kv.second, "record"), "gpib" + std::to_string(index) + ": gpib" +
                                                    std::to_string(other.index) + " records to " + b.record +
                                                    " already");
  }
}

// One instrument definition of `devices`, read by the back end that places
// instruments.
void ReadDefinition(const YamlFile& file, const std::string& name, const YAML::Node& node,
                    InstrumentDefinition& d, const ChannelIds& ids = {}, bool idsFromResources = false) {
  int count = 0;
  const Backend* all = AllBackends(count);
  for (int i = 0; i < count; ++i)
    if (all[i].readInstrument) return all[i].readInstrument(file, name, node, d, ids, idsFromResources);
  file.Fail(node, "devices: this build has no back end that simulates instruments");
}

// A resource's `channel_ids`: ids by channel group, each group one that the
// definition has.
ChannelIds ReadChannelIds(const YamlFile& file, const YAML::Node& given, const YAML::Node& definition,
                                      const std::string& device) {
  ChannelIds ids;
  file.CheckMap(given, "channel_ids");
  if (Empty(given)) return ids;
  const YAML::Node groups = Child(definition, "channels");
  for (const auto& kv : given) {
    const std::string group = kv.first.Scalar();
    if (!Child(groups, group).IsDefined())
      file.Fail(kv.first, "channel_ids: device '" + device + "' has no channel group '" + group + "'");
    if (!kv.second.IsSequence()) file.Fail(kv.second, "channel_ids: the ids of '" + group + "' must be a list");
    std::vector<std::string>& list = ids[group];
    for (const auto& id : kv.second) list.push_back(file.String(id, "a channel id"));
  }
  return ids;
}

// The definition a resource names: from `devices`, from another file, or from
// a file pyvisa-sim bundles. A resource with `channel_ids` reads its own copy.
InstrumentDefinition FindDefinition(const YamlFile& file, const YAML::Node& root, const YAML::Node& entry,
                                    const BusConfig& bus) {
  YAML::Node device = Child(entry, "device");
  const std::string name = file.String(device, "device");
  YAML::Node filename = Child(entry, "filename");
  YAML::Node bundled = Child(entry, "bundled");
  YAML::Node channelIds = Child(entry, "channel_ids");
  // The definition as this resource places it, with its channel ids.
  auto withIds = [&](const YamlFile& from, const YAML::Node& definition) {
    ChannelIds ids;
    if (channelIds.IsDefined()) ids = ReadChannelIds(file, channelIds, definition, name);
    InstrumentDefinition d;
    ReadDefinition(from, name, definition, d, ids);
    d.described.seed = bus.seed;
    return d;
  };
  if (!filename.IsDefined()) {
    // pyvisa-sim reads `bundled` only beside a file name.
    if (bundled.IsDefined()) file.Bool(bundled, "bundled");
    for (const InstrumentDefinition& d : bus.definitions) {
      if (d.name != name) continue;
      // Read once more for the resource's ids, or for the fault of a group
      // whose ids the resource does not give.
      if (!channelIds.IsDefined() && !d.described.channelsWithoutIds) return d;
      return withIds(file, Child(Child(root, "devices"), name));
    }
    file.Fail(device, "device '" + name + "' is not defined");
  }
  std::string path = file.String(filename, "filename");
  std::string text;
  if (bundled.IsDefined() && file.Bool(bundled, "bundled")) {
    const char* builtIn = BundledFile(path);
    if (!builtIn)
      file.Fail(filename, "pyvisa-sim bundles no file '" + path + "' (it bundles " + BundledFileNames() +
                              "); for a file of your own give its path in 'filename' without 'bundled'");
    text = builtIn;
    path = "pyvisa-sim's bundled " + path;
  } else {
    path = RelativeToFile(file, path);
    std::string reason;
    int error = 0;
    if (!ReadTextFile(path, text, error, reason)) file.Fail(filename, path + ": cannot read: " + reason);
  }
  const YamlFile other{path, text, {}};
  const YAML::Node otherRoot = ParseYaml(other, text);
  YAML::Node definition = Child(Child(otherRoot, "devices"), name);
  if (!definition.IsDefined()) file.Fail(device, "device '" + name + "' is not defined in " + path);
  return withIds(other, definition);
}

void ReadResources(const YamlFile& file, const YAML::Node& root, BusConfig& bus, std::map<std::string, int>& uses) {
  const YAML::Node resources = Child(root, "resources");
  file.CheckMap(resources, "resources");
  if (Empty(resources)) return;
  for (const auto& kv : resources) {
    Address a;
    const std::string resource = kv.first.Scalar();
    Resource kind = ParseResource(file, kv.first, a);
    if (kind == Resource::OtherInterface) continue;
    if (kind == Resource::Invalid)
      file.Fail(kv.first, "'" + resource + "' is not a resource (GPIBn::PAD[::SAD]::INSTR)");
    file.CheckKeys(kv.second, {"device", "filename", "bundled", "channel_ids"}, resource);
    if (!Child(kv.second, "device").IsDefined()) file.Fail(kv.second, resource + ": 'device' missing");
    BoardSettings& board = BoardAt(bus, a.board);
    if (const Backend* backend = FindBackend(board.backend.c_str()); !backend || !backend->placesInstruments)
      file.Fail(kv.first, resource + ": gpib" + std::to_string(a.board) + " is a " + board.backend +
                              " board; simulated instruments sit on sim boards");
    if (a.pad == board.pad && a.sad == 0)
      file.Fail(kv.first, resource + ": pad " + std::to_string(a.pad) + " is the board's own address");
    for (const InstrumentPlacement& p : board.instruments) {
      if (p.pad == a.pad && p.sad == a.sad)
        file.Fail(kv.first, resource + ": another resource sits at that address");
      // A device answers at its primary address alone or through secondaries, not both.
      if (p.pad == a.pad && (p.sad == 0) != (a.sad == 0))
        file.Fail(kv.first, resource + ": pad " + std::to_string(a.pad) +
                                " is used both with and without a secondary address");
    }
    InstrumentPlacement p{a.pad, a.sad, FindDefinition(file, root, kv.second, bus)};
    ++uses[Lower(p.definition.name)];
    board.instruments.push_back(p);
  }
}

void ReadName(const YamlFile& file, const std::string& name, const YAML::Node& node, NamedDevice& n) {
  Address a;
  YAML::Node resource = node.IsMap() ? Child(node, "resource") : node;
  if (node.IsMap()) {
    file.CheckKeys(node, {"resource", "board", "pad", "sad", "link", "tmo", "eot", "eos"}, "name " + name);
    if (resource.IsDefined() && Child(node, "board").IsDefined())
      file.Fail(KeyNode(node, "board"), "name " + name + ": 'resource' and 'board' exclude each other");
    const bool link = Child(node, "link").IsDefined();
    if (link && (Child(node, "pad").IsDefined() || Child(node, "sad").IsDefined()))
      file.Fail(KeyNode(node, "link"), "name " + name + ": 'link' and 'pad'/'sad' exclude each other");
    if (!resource.IsDefined() && (!Child(node, "board").IsDefined() || !(link || Child(node, "pad").IsDefined())))
      file.Fail(node, "name " + name + ": give 'resource', or 'board' and 'pad' (or 'link')");
  } else if (!node.IsScalar()) {
    file.Fail(node, "name " + name + ": expected a resource or a mapping");
  }
  if (resource.IsDefined() && ParseResource(file, resource, a) != Resource::Gpib)
    file.Fail(resource, "name " + name + ": '" + (resource.IsScalar() ? resource.Scalar() : "") +
                            "' is not a GPIB resource (GPIBn::PAD[::SAD]::INSTR)");
  n.name = name;
  n.board = a.board;
  n.pad = a.pad;
  n.sad = a.sad;
  if (!node.IsMap()) return;
  for (const auto& kv : node) {
    const std::string key = kv.first.Scalar();
    const YAML::Node& v = kv.second;
    if (key == "board") n.board = file.Int(v, key, 0, kMaxBoards - 1);
    else if (key == "pad") n.pad = file.Int(v, key, 0, 30);
    else if (key == "sad") {
      n.sad = file.Int(v, key, 0, 0x7E);
      if (n.sad != 0 && n.sad < 0x60) file.Fail(v, "sad: expected 0 (none) or 0x60 to 0x7E");
    } else if (key == "tmo") n.tmo = file.Int(v, key, TNONE, T1000s);
    else if (key == "eot") n.eot = file.Int(v, key, 0, 1);
    else if (key == "eos") n.eos = file.Int(v, key, 0, 0x1FFF);
    else if (key == "link") n.link = LinkName(file, v, key);
  }
}

void ReadNames(const YamlFile& file, const YAML::Node& names, BusConfig& bus) {
  file.CheckMap(names, "names");
  if (Empty(names)) return;
  for (const auto& kv : names) {
    const std::string name = kv.first.Scalar();
    if (name.empty()) file.Fail(kv.first, "names: a name may not be empty");
    if (BoardIndex(name) >= 0) file.Fail(kv.first, "'" + name + "' is a board's name");
    if (bus.name(name)) file.Fail(kv.first, "name '" + name + "' given twice");
    NamedDevice n;
    ReadName(file, name, kv.second, n);
    if (!bus.board(n.board)) {
      YAML::Node where = kv.second.IsMap() ? Child(kv.second, "resource") : kv.second;
      if (!where.IsDefined()) where = Child(kv.second, "board");
      file.Fail(where, "name " + name + ": the bus has no gpib" + std::to_string(n.board));
    }
    if (const BoardSettings* b = bus.board(n.board); !n.link.empty() && !FindBackend(b->backend.c_str())->takesLinks)
      file.Fail(KeyNode(kv.second, "link"), "name " + name + ": 'link' is for names on vxi11 boards; gpib" +
                                                std::to_string(n.board) + " is a " + b->backend + " board");
    bus.names.push_back(n);
  }
}

// A recording's lines that start with kHiddenLine, without it; the other
// lines empty, so that lines keep their numbers. Empty when there are none.
std::string HiddenLines(const std::string& text) {
  if (text.compare(0, std::strlen(kRecordingMark), kRecordingMark) != 0) return {};
  const size_t prefix = std::strlen(kHiddenLine);
  std::string out;
  bool any = false;
  for (size_t from = 0; from < text.size();) {
    size_t end = text.find('\n', from);
    if (end == std::string::npos) end = text.size();
    if (text.compare(from, prefix, kHiddenLine) == 0 && from + prefix <= end) {
      out.append(text, from + prefix, end - from - prefix);
      any = true;
    }
    out += '\n';
    from = end + 1;
  }
  return any ? out : std::string();
}

}  // namespace

bool ReadTextFile(const std::string& path, std::string& text, int& error, std::string& reason) {
  auto failed = [&](int code) {
    error = code;
    reason = code == EFBIG       ? "larger than " + std::to_string(kMaxBusFileSize >> 20) + " MiB"
             : code == ETIMEDOUT ? std::string("no end of file within a second")
                                 : std::strerror(code);
    return false;
  };
  // Without O_NONBLOCK a pipe nobody writes would hold the open.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return failed(errno);
  struct stat st;
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    const int code = S_ISDIR(st.st_mode) ? EISDIR : errno;
    close(fd);
    return failed(code);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  text.clear();
  char chunk[65536];
  for (;;) {
    ssize_t n = read(fd, chunk, sizeof chunk);
    if (n > 0) {
      text.append(chunk, static_cast<size_t>(n));
      if (text.size() > kMaxBusFileSize) return close(fd), failed(EFBIG);
      continue;
    }
    if (n == 0) break;
    if (errno == EINTR) continue;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (errno != EAGAIN || left.count() <= 0) {
      const int code = errno == EAGAIN ? ETIMEDOUT : errno;
      close(fd);
      return failed(code);
    }
    pollfd p{fd, POLLIN, 0};
    poll(&p, 1, static_cast<int>(left.count()));
  }
  close(fd);
  return true;
}

void ReadBusFile(const std::string& text, const std::string& path, BusConfig& bus) {
  const YamlFile file{path, text, {}};
  const YAML::Node root = ParseYaml(file, text);
  bus = BusConfig();
  bus.source = path;
  if (!root.IsNull() && !root.IsMap())
    file.Fail(root, "a bus file is a mapping of spec, boards, devices, resources and names");
  file.CheckKeys(root, {"spec", "boards", "devices", "resources", "names", "seed"}, "the bus file");
  if (YAML::Node spec = Child(root, "spec"); spec.IsDefined() && !spec.IsScalar())
    file.Fail(spec, "spec: expected a version");
  if (YAML::Node seed = Child(root, "seed"); seed.IsDefined()) {
    const std::string s = seed.IsScalar() ? seed.Scalar() : std::string();
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), bus.seed);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size())
      file.Fail(seed, "seed: expected a number from 0 to 18446744073709551615");
  }
  ReadBoards(file, Child(root, "boards"), bus);
  YAML::Node devices = Child(root, "devices");
  file.CheckMap(devices, "devices");
  if (!Empty(devices))
    for (const auto& kv : devices) {
      InstrumentDefinition d;
      ReadDefinition(file, kv.first.Scalar(), kv.second, d, {}, true);
      d.described.seed = bus.seed;
      bus.definitions.push_back(d);
    }
  std::map<std::string, int> uses;  // GPIB resources per definition, by lower-case name
  ReadResources(file, root, bus, uses);
  ReadNames(file, Child(root, "names"), bus);
  // A recording keeps its names where pyvisa-sim sees comments.
  if (const std::string hidden = HiddenLines(text); !hidden.empty()) {
    const YamlFile more{path, hidden, {}};
    const YAML::Node extra = ParseYaml(more, hidden);
    if (!extra.IsMap()) more.Fail(extra, std::string("the lines starting with '") + kHiddenLine + "' hold names");
    more.CheckKeys(extra, {"names"}, std::string("the lines starting with '") + kHiddenLine + "'");
    if (Child(root, "names").IsDefined() && Child(extra, "names").IsDefined())
      more.Fail(KeyNode(extra, "names"), "names: given twice, as a key and in lines starting with '" +
                                             std::string(kHiddenLine) + "'");
    ReadNames(more, Child(extra, "names"), bus);
  }
  // A definition used by one GPIB resource also names it, unless a name of
  // `names` or a board's name takes that name.
  for (const BoardSettings& b : bus.boards)
    for (const InstrumentPlacement& p : b.instruments) {
      const std::string& name = p.definition.name;
      if (uses[Lower(name)] != 1 || bus.name(name) || BoardIndex(name) >= 0) continue;
      bus.names.push_back({name, b.index, p.pad, p.sad});
    }
}

}  // namespace vexon
