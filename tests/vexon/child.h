// Running a test case in a child process: the driver loads its bus once per
// process, so each case that loads one runs in a process of its own.
#pragma once
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

// Runs body in a child with its standard error going to a file; returns the
// child's exit status and what it wrote there.
inline int InChild(const std::function<bool()>& body, std::string& errors) {
  char path[] = "/tmp/vexon_stderr_XXXXXX";
  const int fd = mkstemp(path);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(fd, 2);
    _exit(body() ? 0 : 1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  std::ostringstream text;
  text << std::ifstream(path).rdbuf();
  errors = text.str();
  close(fd);
  unlink(path);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}
