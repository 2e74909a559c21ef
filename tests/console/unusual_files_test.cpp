// Command files that are not plain files: what a user can name on Linux either
// runs or gives "Cannot open file" at once, and the session goes on.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <gtest/gtest.h>

#include <string>

#include "console/run_vorel.h"

namespace {

// Runs "$ PATH" and then a print, and returns what vorel wrote.
std::string RunFile(const std::string& path) {
  const std::string input = WriteFile("special_in", "$ " + path + "\nprint \"next\"\n");
  Outcome o = RunVorel(input, {}, true);
  std::remove(input.c_str());
  EXPECT_EQ(o.status, 0) << path;
  EXPECT_NE(o.output.find(": next\n"), std::string::npos) << path << ":\n" << o.output;
  return o.output;
}

TEST(CommandFiles, DirectoriesDevicesAndSocketsAreRefused) {
  const std::string socketPath = TempPath("special_socket");
  int s = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
  ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  for (const std::string& path : {std::string("/"), std::string("/dev/zero"), std::string("/dev/null"), socketPath})
    EXPECT_NE(RunFile(path).find("Cannot open file\n"), std::string::npos) << path;
  close(s);
  std::remove(socketPath.c_str());
}

TEST(CommandFiles, FifosAreReadLikeFiles) {
  const std::string fifo = TempPath("special_fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // Nobody writes: the file is empty, and nothing waits for a writer.
  std::string quiet = RunFile(fifo);
  EXPECT_EQ(quiet.find("Cannot open file"), std::string::npos);
  // A pipe that already holds the commands, as bash's <(...) hands one over.
  // Our read end keeps the pipe and its bytes alive; we never read from it.
  int keep = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  int writer = open(fifo.c_str(), O_WRONLY);
  const std::string commands = "print \"from the pipe\"\n";
  ASSERT_EQ(write(writer, commands.data(), commands.size()), static_cast<ssize_t>(commands.size()));
  close(writer);
  std::string fed = RunFile(fifo);
  close(keep);
  EXPECT_NE(fed.find("from the pipe\n"), std::string::npos) << fed;
  std::remove(fifo.c_str());
}

// A command file that truncates itself with ibrdf while vorel still reads it:
// the rest of it is gone, and the session goes on.
TEST(CommandFiles, FileTruncatedWhileRead) {
  const std::string file = TempPath("special_truncated");
  std::string text = "ibfind loop\nibwrt \"x\"\nibrdf " + file + "\n";
  // Beyond the first block the reader holds, so the next read sees the cut.
  while (text.size() < 200000) text += "# padding that the truncation takes away\n";
  text += "print \"never\"\n";
  std::ofstream(file, std::ios::binary) << text;
  std::string output = RunFile(file);
  EXPECT_EQ(output.find("\nnever\n"), std::string::npos);
  std::remove(file.c_str());
}

}  // namespace
