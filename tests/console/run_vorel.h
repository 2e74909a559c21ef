// Runs the real vorel binary on a script given as standard input, for tests
// of the whole program.
#pragma once
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "capture.h"

struct Outcome {
  int status = -1;       // exit status, or 128 + signal
  long peakKb = 0;       // peak resident size of the child
  std::string output;    // standard output and error, when kept
};

// Runs vorel with args, standard input from the file `input`.
inline Outcome RunVorel(const std::string& input, const std::vector<std::string>& args, bool keepOutput) {
  const std::string out = TempPath("limits_out");
  Outcome o;
  pid_t pid = fork();
  if (pid == 0) {
    int in = open(input.c_str(), O_RDONLY);
    int to = keepOutput ? open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600) : open("/dev/null", O_WRONLY);
    if (in < 0 || to < 0) _exit(126);
    dup2(in, 0);
    dup2(to, 1);
    dup2(to, 2);
    std::vector<char*> argv{const_cast<char*>(VOREL_BINARY)};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(VOREL_BINARY, argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  o.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  o.peakKb = usage.ru_maxrss;
  if (keepOutput) {
    std::ifstream f(out, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    o.output = s.str();
    std::remove(out.c_str());
  }
  return o;
}

inline std::string WriteFile(const std::string& name, const std::string& text) {
  const std::string path = TempPath(name.c_str());
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

