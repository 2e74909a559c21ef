// Keeps the folders of src/ in layers: a file may include from its own folder
// and from the folders below its own, never from one above or beside it.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

namespace {

// The layers of src/, top to bottom. Folders on one row stand side by side
// and include nothing of each other.
const std::vector<std::vector<std::string>> kLayers = {
    {"console"},             // main, the command loop, command files, the line cycle
    {"exec"},                // Execute, buffers, asynchronous calls, expert commands
    {"display"},             // status report, buffer and result displays
    {"language"},            // tokens, values, the argument grammar
    {"registry", "help"},    // open handles; the help viewer
    {"driver"},              // the driver ABI, the loader, the entry stubs
    {"core"},                // line buffer, messages, printing, catalogue, mode flags
    {"platform"},            // Linux: the terminal, libraries, files, paths
};

// The one include that runs upwards: the `$` command runs a nested command loop.
struct Exception {
  const char* file;
  const char* include;
};
const Exception kExceptions[] = {{"exec/execute.cpp", "console/command_loop.h"}};

int LayerOf(const std::string& folder) {
  for (size_t i = 0; i < kLayers.size(); ++i)
    for (const std::string& name : kLayers[i])
      if (name == folder) return static_cast<int>(i);
  return -1;
}

bool Excepted(const std::string& file, const std::string& include) {
  for (const Exception& e : kExceptions)
    if (file == e.file && include == e.include) return true;
  return false;
}

// Every `#include "folder/file.h"` of the sources that runs against the layers,
// as "file: include" lines.
std::vector<std::string> IncludesAgainstLayers(const std::filesystem::path& src) {
  static const std::regex includeLine(R"(^\s*#\s*include\s+"([^"/]+)/[^"]+")");
  std::vector<std::string> wrong;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(src)) {
    if (!entry.is_regular_file()) continue;
    const std::string file = entry.path().lexically_relative(src).generic_string();
    const std::string folder = file.substr(0, file.find('/'));
    std::ifstream in(entry.path());
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
      std::smatch m;
      if (!std::regex_search(line, m, includeLine)) continue;
      const std::string target = m[1];
      const std::string include = line.substr(line.find('"') + 1);
      const std::string header = include.substr(0, include.find('"'));
      if (target == folder || Excepted(file, header)) continue;
      const int from = LayerOf(folder), to = LayerOf(target);
      if (from < 0 || to < 0 || to <= from)
        wrong.push_back(file + ":" + std::to_string(number) + ": " + header);
    }
  }
  return wrong;
}

TEST(Layers, EveryIncludeRunsDownwards) {
  const std::filesystem::path src = VOREL_SOURCE_DIR "/src";
  for (const auto& entry : std::filesystem::directory_iterator(src)) {
    if (!entry.is_directory()) continue;
    EXPECT_GE(LayerOf(entry.path().filename().string()), 0)
        << "src/" << entry.path().filename().string() << " has no place in the layers";
  }
  for (const std::string& include : IncludesAgainstLayers(src))
    ADD_FAILURE() << "src/" << include << " runs against the layers";
}

TEST(Layers, AnIncludeUpwardsIsFound) {
  const std::filesystem::path scratch =
      std::filesystem::temp_directory_path() / ("vorel_layers_" + std::to_string(::getpid()));
  std::filesystem::create_directories(scratch / "core");
  std::filesystem::create_directories(scratch / "registry");
  std::ofstream(scratch / "core" / "a.cpp") << "#include \"core/a.h\"\n#include \"exec/execute.h\"\n";
  std::ofstream(scratch / "registry" / "b.cpp") << "#include \"help/help.h\"\n#include <vector>\n";
  std::vector<std::string> wrong = IncludesAgainstLayers(scratch);
  std::sort(wrong.begin(), wrong.end());
  std::filesystem::remove_all(scratch);
  EXPECT_EQ(wrong, (std::vector<std::string>{"core/a.cpp:2: exec/execute.h",
                                             "registry/b.cpp:1: help/help.h"}));
}

}  // namespace
