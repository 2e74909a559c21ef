// Shared helpers of the help tests: help files in a scratch directory, and
// capturing what the help prints.
#pragma once
#include <gtest/gtest.h>

#include "capture.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

// A scratch directory that is removed with the object.
class ScratchDirectory {
 public:
  ScratchDirectory() {
    const auto* test = testing::UnitTest::GetInstance()->current_test_info();
    path_ = std::filesystem::temp_directory_path() /
            ("vorel_help_" + std::string(test->test_suite_name()) + "_" + test->name());
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchDirectory() { std::filesystem::remove_all(path_); }
  // Writes text into the file name in the directory and returns its path.
  std::string Write(const std::string& name, std::string_view text) const {
    const std::filesystem::path file = path_ / name;
    std::ofstream(file, std::ios::binary).write(text.data(), static_cast<std::streamsize>(text.size()));
    return file.string();
  }
  std::string Path(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// The bytes of a literal, zero bytes inside it included.
template <size_t N>
std::string Bytes(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

