// What a piece of code prints on standard output or standard error.
#pragma once
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include <unistd.h>

template <typename F>
std::string Capture(F f) {
  std::fflush(stdout);
  testing::internal::CaptureStdout();
  f();
  std::fflush(stdout);
  return testing::internal::GetCapturedStdout();
}

template <typename F>
std::string CaptureErrors(F f) {
  testing::internal::CaptureStderr();
  f();
  std::fflush(stderr);
  return testing::internal::GetCapturedStderr();
}

// A scratch file name of this test process: ctest runs test cases as
// separate processes side by side, so fixed names would collide.
inline std::string TempPath(const char* name) {
  return testing::TempDir() + name + "." + std::to_string(::getpid());
}
