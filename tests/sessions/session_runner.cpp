// Runs vorel on one session transcript and compares its whole output.
//
// A session file starts with optional header lines, then a line "---", then
// the transcript: everything vorel prints on standard output and standard
// error, with the text the user types written after its prompt as «typed»
// at the end of the line. The runner feeds each typed text and a line feed
// to vorel's standard input and expects the transcript without the «...»
// parts and the line feeds after them.
//
// Header lines:
//   args: -e -c "ibfind gpib0"   command-line arguments (double quotes group, \" is a quote)
//   env: NAME=VALUE              an environment variable for vorel (VOREL_BUS=FILE
//                                names a bus file; without it the bus is the built-in one)
//   binary: PATH                 run this vorel instead, PATH relative to the build tree
//   emulator: ARGS               start the adapter emulator first (ARGS: its own options,
//                                such as --ar488), stopped when vorel ends
//   bus: TEMPLATE                the bus file: TEMPLATE with @EMULATOR_PORT@ and @EMULATOR_PTY@
//                                replaced by the emulator's TCP port and pseudo-terminal
//   # ...                        a comment
// In header values and in the transcript @BUILD@ stands for the build tree. Buffer addresses
// ("0x" and 16 upper-case hex digits) match any other address.
//
// Usage: session_runner VOREL SESSION_FILE BUILD_DIR   (run in the session file's folder)
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

const std::string kOpen = "\xC2\xAB";   // «
const std::string kClose = "\xC2\xBB";  // »

struct Session {
  std::string binary;
  std::vector<std::string> args;
  std::vector<std::string> env;
  bool emulator = false;
  std::vector<std::string> emulatorArgs;
  std::string busTemplate;
  std::string input;
  std::string expected;
};

std::vector<std::string> SplitArgs(const std::string& text) {
  std::vector<std::string> out;
  std::string current;
  bool quoted = false, any = false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\\' && i + 1 < text.size() && (text[i + 1] == '"' || text[i + 1] == '\\')) {
      current += text[++i];
      any = true;
    } else if (c == '"') {
      quoted = !quoted;
      any = true;
    } else if (!quoted && (c == ' ' || c == '\t')) {
      if (any) out.push_back(current);
      current.clear();
      any = false;
    } else {
      current += c;
      any = true;
    }
  }
  if (any) out.push_back(current);
  return out;
}

std::string buildDir;

std::string Expand(std::string text) {
  for (size_t at; (at = text.find("@BUILD@")) != std::string::npos;) text.replace(at, 7, buildDir);
  return text;
}

bool ReadSession(const char* path, Session& s) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  std::stringstream all;
  all << file.rdbuf();
  std::string text = all.str();
  size_t at = 0;
  for (;;) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) return false;
    std::string line = text.substr(at, end - at);
    at = end + 1;
    if (line == "---") break;
    if (line.rfind("args:", 0) == 0) {
      for (auto& a : SplitArgs(line.substr(5))) s.args.push_back(Expand(a));
    } else if (line.rfind("binary:", 0) == 0) {
      size_t b = line.find_first_not_of(' ', 7);
      if (b != std::string::npos) s.binary = buildDir + "/" + line.substr(b);
    } else if (line.rfind("emulator:", 0) == 0) {
      s.emulator = true;
      for (auto& a : SplitArgs(line.substr(9))) s.emulatorArgs.push_back(Expand(a));
    } else if (line.rfind("bus:", 0) == 0) {
      size_t b = line.find_first_not_of(' ', 4);
      if (b != std::string::npos) s.busTemplate = line.substr(b);
    } else if (line.rfind("env:", 0) == 0) {
      size_t b = line.find_first_not_of(' ', 4);
      if (b != std::string::npos) s.env.push_back(Expand(line.substr(b)));
    }
  }
  // Split the transcript into what is typed and what is expected.
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
    bool hasNewline = end != std::string::npos;
    at = hasNewline ? end + 1 : text.size();
    size_t open = line.find(kOpen);
    if (open != std::string::npos && line.size() >= kClose.size() &&
        line.compare(line.size() - kClose.size(), kClose.size(), kClose) == 0 &&
        open + kOpen.size() <= line.size() - kClose.size()) {
      s.expected += line.substr(0, open);
      s.input += line.substr(open + kOpen.size(), line.size() - kClose.size() - open - kOpen.size());
      s.input += '\n';
    } else {
      s.expected += line;
      if (hasNewline) s.expected += '\n';
    }
  }
  return true;
}

int exitStatus = 0;

bool Run(const char* vorel, const Session& s, std::string& output) {
  int in[2], out[2];
  if (pipe(in) || pipe(out)) return false;
  pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(out[1], 2);
    close(in[0]); close(in[1]); close(out[0]); close(out[1]);
    // The bus is the built-in one unless the session names a file: neither a
    // user's nor the system's bus file reaches a session.
    setenv("XDG_CONFIG_HOME", (buildDir + "/tests/no-config").c_str(), 1);
    unsetenv("VOREL_BUS");
    if (access("/etc/vorel/bus.yaml", F_OK) == 0)
      setenv("VOREL_BUS", (buildDir + "/share/vorel/examples/default-bus.yaml").c_str(), 1);
    for (const auto& e : s.env) putenv(const_cast<char*>(e.c_str()));
    std::vector<char*> argv;
    // VOREL_SESSION_WRAPPER runs vorel under another program (valgrind),
    // given as words separated by blanks.
    static std::vector<std::string> wrapper;
    if (const char* w = std::getenv("VOREL_SESSION_WRAPPER")) {
      std::istringstream words(w);
      for (std::string word; words >> word;) wrapper.push_back(word);
    }
    for (auto& word : wrapper) argv.push_back(word.data());
    argv.push_back(const_cast<char*>(vorel));
    for (const auto& a : s.args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  signal(SIGPIPE, SIG_IGN);
  size_t written = 0;
  int inFd = in[1];
  fcntl(inFd, F_SETFL, O_NONBLOCK);
  if (s.input.empty()) { close(inFd); inFd = -1; }
  const bool wrapped = std::getenv("VOREL_SESSION_WRAPPER") != nullptr;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(wrapped ? 300 : 20);
  char buffer[65536];
  for (;;) {
    pollfd fds[2] = {{out[0], POLLIN, 0}, {inFd, POLLOUT, 0}};
    int n = poll(fds, inFd >= 0 ? 2 : 1, 100);
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      output += "\n[session runner: vorel did not end in time]\n";
      break;
    }
    if (n <= 0) continue;
    if (inFd >= 0 && (fds[1].revents & (POLLOUT | POLLERR | POLLHUP))) {
      ssize_t w = write(inFd, s.input.data() + written, s.input.size() - written);
      if (w > 0) written += w;
      if (w < 0 || written == s.input.size()) { close(inFd); inFd = -1; }
    }
    if (fds[0].revents & (POLLIN | POLLHUP)) {
      ssize_t r = read(out[0], buffer, sizeof buffer);
      if (r <= 0) break;
      output.append(buffer, r);
    }
  }
  if (inFd >= 0) close(inFd);
  close(out[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return true;
}

std::string Visible(const std::string& s) {
  std::string out;
  for (unsigned char c : s) {
    if (c == '\n') out += "\\n\n";
    else if (c < 0x20 || c == 0x7F) { char b[8]; std::snprintf(b, sizeof b, "\\x%02x", c); out += b; }
    else out += static_cast<char>(c);
  }
  return out;
}

// Buffer addresses differ from run to run: every "0x" and 16 upper-case hex
// digits compares as the same text.
std::string MaskPointers(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    bool pointer = s.compare(i, 2, "0x") == 0 && i + 18 <= s.size();
    for (size_t k = i + 2; pointer && k < i + 18; ++k)
      pointer = (s[k] >= '0' && s[k] <= '9') || (s[k] >= 'A' && s[k] <= 'F');
    if (pointer) {
      out += "0x<pointer>";
      i += 18;
    } else {
      out += s[i++];
    }
  }
  return out;
}

// The adapter emulator of a session, with its files in a folder of its own.
struct Emulator {
  pid_t pid = -1;
  std::string dir, port, pty;
};

std::string ReadWhole(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream all;
  all << f.rdbuf();
  return all.str();
}

void Replace(std::string& text, const std::string& from, const std::string& to) {
  for (size_t at; (at = text.find(from)) != std::string::npos;) text.replace(at, from.size(), to);
}

// Starts the emulator and waits up to 5 s for its port and pseudo-terminal;
// writes the session's bus file from its template. False when it failed.
bool StartEmulator(Session& s, Emulator& e) {
  char dir[] = "/tmp/vorel_session.XXXXXX";
  if (!mkdtemp(dir)) return false;
  e.dir = dir;
  const std::string portFile = e.dir + "/port", pty = e.dir + "/tty";
  e.pid = fork();
  if (e.pid < 0) return false;
  if (e.pid == 0) {
    std::string binary = buildDir + "/tests/adapter_emulator/adapter_emulator";
    std::vector<std::string> words{binary, "--port-file", portFile, "--pty", pty, "--log", e.dir + "/lines.log",
                                   "--drop-on", "DROP-ADAPTER"};
    words.insert(words.end(), s.emulatorArgs.begin(), s.emulatorArgs.end());
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    execv(argv[0], argv.data());
    _exit(127);
  }
  std::string port;
  struct stat st;
  for (int i = 0; i < 500 && (port.empty() || lstat(pty.c_str(), &st) != 0); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    port = ReadWhole(portFile);
  }
  if (port.empty()) return false;
  port.erase(port.find_last_not_of("\n") + 1);
  e.port = port;
  e.pty = pty;
  if (!s.busTemplate.empty()) {
    std::string bus = ReadWhole(s.busTemplate);
    Replace(bus, "@EMULATOR_PORT@", port);
    Replace(bus, "@EMULATOR_PTY@", pty);
    std::ofstream(e.dir + "/bus.yaml") << bus;
    s.env.push_back("VOREL_BUS=" + e.dir + "/bus.yaml");
  }
  return true;
}

void StopEmulator(Emulator& e) {
  if (e.pid <= 0) return;
  kill(e.pid, SIGTERM);
  waitpid(e.pid, nullptr, 0);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "usage: session_runner VOREL SESSION_FILE BUILD_DIR\n";
    return 2;
  }
  buildDir = argv[3];
  Session s;
  if (!ReadSession(argv[2], s)) {
    std::cerr << argv[2] << ": cannot read the session, or it has no \"---\" line\n";
    return 2;
  }
  std::string output;
  const std::string vorel = s.binary.empty() ? argv[1] : s.binary;
  Emulator emulator;
  if (s.emulator && !StartEmulator(s, emulator)) {
    StopEmulator(emulator);
    std::cerr << "cannot start the adapter emulator\n";
    return 2;
  }
  bool ran = Run(vorel.c_str(), s, output);
  StopEmulator(emulator);
  // Messages name the emulator's port and device, which change from run to run.
  if (s.emulator) {
    Replace(output, "127.0.0.1:" + emulator.port, "127.0.0.1:@EMULATOR_PORT@");
    Replace(output, emulator.pty, "@EMULATOR_PTY@");
  }
  if (!ran) {
    std::cerr << "cannot start " << vorel << "\n";
    return 2;
  }
  // The banner names the bus file, and the driver library by its path in the
  // build tree. On a machine with a system bus file the built-in bus comes
  // from its copy in the build tree.
  if (s.emulator) Replace(output, emulator.dir + "/bus.yaml", "@EMULATOR_DIR@/bus.yaml");
  if (access("/etc/vorel/bus.yaml", F_OK) == 0)
    Replace(output, ", bus file " + buildDir + "/share/vorel/examples/default-bus.yaml", ", the built-in simulated bus");
  if (char* canonical = realpath(buildDir.c_str(), nullptr)) {
    Replace(output, canonical, "@BUILD@");
    std::free(canonical);
  }
  output = MaskPointers(output);
  s.expected = MaskPointers(s.expected);
  // A wrapper reports what it found through this exit status (valgrind's
  // --error-exitcode=99).
  if (std::getenv("VOREL_SESSION_WRAPPER") && exitStatus == 99) {
    std::cout << argv[2] << ": the wrapper found errors (see its log)\n";
    return 1;
  }
  if (output == s.expected) return 0;
  size_t i = 0;
  while (i < output.size() && i < s.expected.size() && output[i] == s.expected[i]) ++i;
  size_t line = 1 + std::count(s.expected.begin(), s.expected.begin() + i, '\n');
  std::cout << argv[2] << ": output differs from transcript line " << line << " of the expected output (byte " << i
            << ")\n--- expected from there:\n" << Visible(s.expected.substr(i, 400))
            << "\n--- actual from there:\n" << Visible(output.substr(i, 400)) << "\n--- whole actual output:\n"
            << output << "\n";
  return 1;
}
