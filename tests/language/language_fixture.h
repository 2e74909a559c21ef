// The stage the command-language tests play on: one line in the line buffer,
// the token storage of a command-loop level, and answers to prompts, typed on
// the console (standard input fed from a file) or taken from a command file.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>

#include "capture.h"
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "core/line_input.h"
#include "core/messages.h"
#include "core/print.h"
#include "core/mode_flags.h"
#include "language/token_reader.h"
#include "platform/input_stream.h"
#include "registry/handle_registry.h"

namespace language_test {

// A message of the table as it is printed on a line of its own.
inline std::string Line(int message) { return std::string(kMessages[message]) + "\n"; }

class LanguageTest : public testing::Test {
 protected:
  void SetUp() override {
    expertMode = rawMode = 0;
    quietMode = 0;
    ResetRegistry();
    savedStdin_ = dup(0);
    ConsoleAnswers("");
    SetLine("");
  }

  void TearDown() override {
    ExpectAnswersUsed();
    dup2(savedStdin_, 0);
    close(savedStdin_);
    CloseTextFile(file_);
    expertMode = rawMode = 0;
    quietMode = 0;
    ResetRegistry();
  }

  // Puts text in the line buffer as the line reader would, at the start of a
  // fresh token buffer.
  void SetLine(const std::string& text) {
    std::snprintf(lineBuffer, kLineBufferSize, "%s", text.c_str());
    readCursor = lineBuffer;
    tokenBuffer = tokenPosition = tokens_;
  }

  // Standard input, holding the given answer lines and then a sentinel line
  // that tells whether the test read exactly those answers.
  InputStream* ConsoleAnswers(const std::string& text) {
    if (installed_) ExpectAnswersUsed();
    const std::string path = TempPath("vorel_language_console.txt");
    WriteFile(path, text + kSentinel + "\n");
    int fd = open(path.c_str(), O_RDONLY);
    dup2(fd, 0);
    close(fd);
    std::remove(path.c_str());
    installed_ = true;
    return StandardInput();
  }

  // A command file holding the given lines.
  InputStream* FileAnswers(const std::string& text) {
    CloseTextFile(file_);
    const std::string path = TempPath("vorel_language_file.txt");
    WriteFile(path, text);
    file_ = OpenTextFile(path.c_str());
    std::remove(path.c_str());
    return file_;
  }

 private:
  static constexpr const char* kSentinel = "<end of answers>";

  static void WriteFile(const std::string& path, const std::string& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }

  void ExpectAnswersUsed() {
    installed_ = false;
    for (int lines = 0; lines < 100 && ReadLine(StandardInput()); ++lines) {
      if (std::strcmp(lineBuffer, kSentinel) == 0) return;
      ADD_FAILURE() << "answer left unread: " << lineBuffer;
    }
    ADD_FAILURE() << "the console read past its answers";
  }

  char tokens_[kLevelTokenStorage]{};
  int savedStdin_ = -1;
  bool installed_ = false;
  InputStream* file_ = nullptr;
};

}  // namespace language_test
