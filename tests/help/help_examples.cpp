// Runs every example session of the help files and the README on the
// default bus and compares what vorel prints with what the example shows.
//
// An example is a block of lines indented by four spaces whose first line
// begins with the bare prompt ": "; a help file's example follows a heading
// that begins with "Example" (or "例"); one of expert commands turns expert
// mode on first with "expert". Blank lines are left out of examples, so they are left out
// of the output too, and so are trailing blanks and the last prompt, which
// waits for input that never comes. What is typed is found the way a reader
// finds it: when vorel waits for input, the example's next line that begins
// with what vorel has printed on the current line holds the answer after it.
//
// Usage: help_examples [--update] VOREL FILE...   --update writes the
// output into the files instead of comparing.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr const char kIndent[] = "    ";
constexpr int kBannerLines = 7;

// Files every example's folder holds.
struct Fixture {
  const char* name;
  const char* text;
};
constexpr Fixture kFixtures[] = {
    {"idn.txt", "ibfind dmm\nibwrt \"*IDN?\\n\"\n"},
};

struct Example {
  size_t first = 0, end = 0;   // its lines in the file, end excluded
  std::vector<std::string> lines;  // without the indent
};

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::stringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool Indented(const std::string& line) { return line.rfind(kIndent, 0) == 0; }

std::string TrimRight(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\r')) s.pop_back();
  return s;
}

// The heading paragraph before line `at`: the lines since the last blank one.
std::string Heading(const std::vector<std::string>& lines, size_t at) {
  size_t start = at;
  while (start > 0 && !lines[start - 1].empty() && !Indented(lines[start - 1])) --start;
  std::string heading;
  for (size_t i = start; i < at; ++i) heading += lines[i] + " ";
  return heading;
}

bool IsExampleHeading(const std::string& heading) {
  return heading.rfind("Example", 0) == 0 || heading.rfind("例", 0) == 0;
}

// The examples of a file; a help example that is not a session is an error.
bool FindExamples(const std::vector<std::string>& lines, const std::string& file, std::vector<Example>& out) {
  bool ok = true;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (!Indented(lines[i]) || (i > 0 && Indented(lines[i - 1]))) continue;
    Example e;
    e.first = i;
    e.end = i;
    while (e.end < lines.size() && Indented(lines[e.end])) e.lines.push_back(lines[e.end++].substr(4));
    const std::string heading = i > 0 && !lines[i - 1].empty() ? Heading(lines, i) : "";
    const bool session = e.lines[0].rfind(": ", 0) == 0 || e.lines[0] == ":";
    if (!session) {
      if (IsExampleHeading(heading)) {
        std::cout << file << ":" << i + 1 << ": an example that does not start at the bare prompt \": \"\n";
        ok = false;
      }
      continue;
    }
    out.push_back(e);
  }
  return ok;
}

// The system call the process waits in: true when it reads standard input.
bool WaitsForInput(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/syscall");
  std::string number, fd;
  in >> number >> fd;
  return number == "0" && fd == "0x0";
}

int Unread(int fd) {
  int n = 0;
  return ioctl(fd, FIONREAD, &n) == 0 ? n : 0;
}

void Drain(int fd, std::string& into) {
  char buf[4096];
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 0) <= 0) return;
    ssize_t n = read(fd, buf, sizeof buf);
    if (n <= 0) return;
    into.append(buf, static_cast<size_t>(n));
  }
}

// The lines of the output that an example shows: without the banner, the
// blank lines and the blanks at their ends.
std::vector<std::string> ShownLines(const std::string& output) {
  std::vector<std::string> lines = SplitLines(output);
  std::vector<std::string> shown;
  for (size_t i = kBannerLines; i < lines.size(); ++i) {
    std::string line = TrimRight(lines[i]);
    if (!line.empty()) shown.push_back(line);
  }
  return shown;
}

// The answer to what vorel waits for: on the example's lines after those
// already shown, the first that begins with the line vorel has printed so far.
bool NextInput(const Example& e, size_t& next, const std::string& output, std::string& input) {
  const size_t newline = output.rfind('\n');
  const std::string shown = TrimRight(newline == std::string::npos ? output : output.substr(newline + 1));
  const size_t done = ShownLines(output.substr(0, newline == std::string::npos ? 0 : newline + 1)).size();
  for (size_t i = std::max(next, done); i < e.lines.size(); ++i) {
    const std::string& line = e.lines[i];
    if (line.rfind(shown, 0) != 0 || line.size() == shown.size()) continue;
    size_t from = shown.size();
    if (from < line.size() && line[from] == ' ') ++from;
    input = line.substr(from);
    next = i + 1;
    return true;
  }
  return false;
}

// Runs the example in folder; the lines vorel shows, as the example shows them.
std::vector<std::string> Run(const std::string& vorel, const Example& e, const std::string& folder) {
  int in[2], out[2];
  if (pipe(in) != 0 || pipe(out) != 0) return {"(cannot make pipes)"};
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(out[1], 2);
    close(in[1]);
    close(out[0]);
    if (chdir(folder.c_str()) != 0) _exit(126);
    setenv("HOME", folder.c_str(), 1);
    setenv("TERM", "dumb", 1);
    // The default bus, also on a machine with a system bus file: the build
    // tree's copy of the built-in one.
    unsetenv("VOREL_BUS");
    unsetenv("XDG_CONFIG_HOME");
    if (access("/etc/vorel/bus.yaml", F_OK) == 0)
      setenv("VOREL_BUS", (std::filesystem::path(vorel).parent_path() / "../share/vorel/examples/default-bus.yaml").c_str(), 1);
    unsetenv("LD_LIBRARY_PATH");
    execl(vorel.c_str(), vorel.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  std::string transcript;
  size_t next = 0;
  bool inputOpen = true;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  for (;;) {
    pollfd p{out[0], POLLIN, 0};
    poll(&p, 1, 5);
    Drain(out[0], transcript);
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) break;
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      transcript += "\n(timed out)\n";
      break;
    }
    if (!inputOpen || Unread(in[1]) > 0 || !WaitsForInput(pid)) continue;
    Drain(out[0], transcript);
    std::string input;
    if (NextInput(e, next, transcript, input)) {
      transcript += input + "\n";
      input += "\n";
      if (write(in[1], input.data(), input.size()) != static_cast<ssize_t>(input.size())) break;
    } else {
      close(in[1]);
      inputOpen = false;
    }
  }
  Drain(out[0], transcript);
  if (inputOpen) close(in[1]);
  close(out[0]);

  std::vector<std::string> shown = ShownLines(transcript);
  // The last prompt waits for input that never comes.
  if (!shown.empty() && !transcript.empty() && transcript.back() != '\n') shown.pop_back();
  return shown;
}

// Buffer addresses differ from run to run.
std::string Masked(const std::string& line) {
  static const std::regex address("0x[0-9A-F]{16}");
  return std::regex_replace(line, address, "0x################");
}

std::string Scratch() {
  char templ[] = "/tmp/vorel_examples_XXXXXX";
  const char* dir = mkdtemp(templ);
  return dir ? dir : "/tmp";
}

}  // namespace

int main(int argc, char** argv) {
  int arg = 1;
  const bool update = argc > 1 && std::strcmp(argv[1], "--update") == 0;
  if (update) ++arg;
  if (argc - arg < 2) {
    std::cerr << "usage: help_examples [--update] VOREL FILE...\n";
    return 2;
  }
  const std::string vorel = std::filesystem::absolute(argv[arg++]).string();
  int failures = 0, examples = 0;
  for (; arg < argc; ++arg) {
    const std::string path = argv[arg];
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    std::vector<std::string> lines = SplitLines(text.str());
    std::vector<Example> found;
    if (!FindExamples(lines, path, found)) ++failures;
    // From the last, so that rewriting one leaves the places of the others.
    for (auto e = found.rbegin(); e != found.rend(); ++e) {
      ++examples;
      const std::string folder = Scratch();
      for (const Fixture& f : kFixtures) std::ofstream(folder + "/" + f.name) << f.text;
      const std::vector<std::string> shown = Run(vorel, *e, folder);
      std::filesystem::remove_all(folder);
      bool same = shown.size() == e->lines.size();
      for (size_t i = 0; same && i < shown.size(); ++i) same = Masked(shown[i]) == Masked(TrimRight(e->lines[i]));
      if (same) continue;
      if (update) {
        std::vector<std::string> indented;
        for (const std::string& line : shown) indented.push_back(kIndent + line);
        lines.erase(lines.begin() + e->first, lines.begin() + e->end);
        lines.insert(lines.begin() + e->first, indented.begin(), indented.end());
        continue;
      }
      ++failures;
      std::cout << path << ":" << e->first + 1 << ": the example differs from what vorel shows:\n";
      for (const std::string& line : shown) std::cout << kIndent << line << "\n";
    }
    if (update) {
      std::ofstream rewritten(path, std::ios::binary);
      for (const std::string& line : lines) rewritten << line << "\n";
    }
  }
  std::cout << examples << " examples, " << failures << " differ\n";
  return failures ? 1 : 0;
}
