// The history file: its place, cutting it to its last lines, and appends
// from several writers while another session cuts it.
#include "platform/history_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "capture.h"

namespace {

std::string Folder(const char* name) {
  const std::string folder = TempPath(name);
  std::filesystem::remove_all(folder);
  return folder;
}

std::vector<std::string> FileLines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(HistoryFile, Path) {
  struct Row {
    const char* stateHome;
    const char* home;
    const char* path;
  };
  const Row rows[] = {
      {"/state", "/home/u", "/state/vorel/history"},
      {"", "/home/u", "/home/u/.local/state/vorel/history"},
      {nullptr, "/home/u", "/home/u/.local/state/vorel/history"},
      {"relative", "/home/u", "/home/u/.local/state/vorel/history"},
      {nullptr, "", ""},
      {nullptr, nullptr, ""},
  };
  for (const Row& row : rows)
    EXPECT_EQ(HistoryFilePath(row.stateHome, row.home), row.path)
        << (row.stateHome ? row.stateHome : "(null)") << " " << (row.home ? row.home : "(null)");
}

TEST(HistoryFile, LoadCreatesTheFolderAndKeepsTheLastLines) {
  const std::string folder = Folder("history_keep");
  const std::string path = folder + "/deep/vorel/history";
  std::vector<std::string> lines;
  std::string error;
  ASSERT_TRUE(LoadHistoryFile(path, 3, lines, error)) << error;
  EXPECT_TRUE(lines.empty());
  for (const char* line : {"one", "two", "three", "four", "five"}) ASSERT_TRUE(AppendHistoryLine(path, line, error));
  ASSERT_TRUE(LoadHistoryFile(path, 3, lines, error)) << error;
  EXPECT_EQ(lines, (std::vector<std::string>{"three", "four", "five"}));
  EXPECT_EQ(FileLines(path), lines);
  std::filesystem::remove_all(folder);
}

TEST(HistoryFile, AFolderThatCannotBeMadeIsReported) {
  const std::string blocker = Folder("history_blocker");
  std::ofstream(blocker) << "a file where the folder should be\n";
  std::vector<std::string> lines;
  std::string error;
  EXPECT_FALSE(LoadHistoryFile(blocker + "/vorel/history", 1000, lines, error));
  EXPECT_NE(error.find(blocker), std::string::npos) << error;
  EXPECT_FALSE(AppendHistoryLine(blocker + "/vorel/history", "ibclr", error));
  std::filesystem::remove(blocker);
}

// Two sessions append while a third starts again and again, cutting the
// file; every appended line fits in what is kept, so none may be lost.
TEST(HistoryFile, AppendsSurviveACutInAnotherSession) {
  const std::string folder = Folder("history_shared");
  const std::string path = folder + "/history";
  std::filesystem::create_directories(folder);
  {
    std::ofstream old(path);
    for (int i = 0; i < 800; ++i) old << "old " << i << "\n";
  }
  auto appender = [&](const char* who) {
    std::string error;
    for (int i = 0; i < 300; ++i) ASSERT_TRUE(AppendHistoryLine(path, who + std::to_string(i), error)) << error;
  };
  std::thread a(appender, "a"), b(appender, "b");
  std::thread cutter([&] {
    std::vector<std::string> lines;
    std::string error;
    for (int i = 0; i < 100; ++i) ASSERT_TRUE(LoadHistoryFile(path, 700, lines, error)) << error;
  });
  a.join();
  b.join();
  cutter.join();
  std::set<std::string> kept;
  for (const std::string& line : FileLines(path)) kept.insert(line);
  for (const char* who : {"a", "b"})
    for (int i = 0; i < 300; ++i) EXPECT_TRUE(kept.count(who + std::to_string(i))) << who << i << " was lost";
  std::filesystem::remove_all(folder);
}

}  // namespace
