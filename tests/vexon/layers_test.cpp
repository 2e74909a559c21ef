// Keeps the folders of vexon/ in layers: the router and the public header at
// the bottom, each back end on them and on nothing else, the tool on top;
// nothing includes the console's src/.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// The folders below a folder's own that it may include from.
struct Layer {
  const char* folder;
  std::vector<std::string> below;
};
const Layer kLayers[] = {
    {"include", {}},
    {"router", {"include"}},
    {"sim", {"router", "include"}},
    {"linux_gpib", {"router", "include"}},
    {"prologix", {"router", "include"}},
    {"vxi11", {"router", "include"}},
    {"null", {"router", "include"}},
    {"tool", {"router", "include"}},
    {"examples", {"include"}},
    {"vxi11", {}},  // the VXI-11 protocol (rpcgen input), for the gateway and a back end
};

const Layer* LayerOf(const std::string& folder) {
  for (const Layer& l : kLayers)
    if (folder == l.folder) return &l;
  return nullptr;
}

bool Allowed(const std::string& file, const std::string& target) {
  const std::string from = file.substr(0, file.find('/')), to = target.substr(0, target.find('/'));
  if (from == to) return true;
  const Layer* layer = LayerOf(from);
  if (!layer) return false;
  for (const std::string& b : layer->below)
    if (b == to) return true;
  return false;
}

// Every quoted include of vexon/ that runs against the layers or leaves the
// folder, as "file:line: include" lines.
std::vector<std::string> IncludesAgainstLayers(const fs::path& root) {
  static const std::regex includeLine(R"re(^\s*#\s*include\s+"([^"]+)")re");
  std::vector<std::string> wrong;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file()) continue;
    const std::string ext = entry.path().extension().string();
    if (ext != ".h" && ext != ".cpp" && ext != ".c") continue;
    const std::string file = entry.path().lexically_relative(root).generic_string();
    std::ifstream in(entry.path());
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
      std::smatch m;
      if (!std::regex_search(line, m, includeLine)) continue;
      const std::string target =
          (entry.path().parent_path() / m[1].str()).lexically_normal().lexically_relative(root).generic_string();
      if (target.rfind("..", 0) == 0 || !Allowed(file, target))
        wrong.push_back(file + ":" + std::to_string(number) + ": " + m[1].str());
    }
  }
  return wrong;
}

TEST(VexonLayers, EveryIncludeRunsDownwards) {
  const fs::path root = VOREL_SOURCE_DIR "/vexon";
  for (const auto& entry : fs::directory_iterator(root)) {
    if (!entry.is_directory()) continue;
    EXPECT_NE(LayerOf(entry.path().filename().string()), nullptr)
        << "vexon/" << entry.path().filename().string() << " has no place in the layers";
  }
  EXPECT_EQ(IncludesAgainstLayers(root), std::vector<std::string>{});
}

}  // namespace
