// The checks of a YAML text before yaml-cpp reads it and after, and the
// plain words for its syntax errors.
#include "yaml_text.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace vexon {

namespace {

// One line of the text with what a line-by-line scan needs.
struct Line {
  int number;       // from 1
  size_t begin;     // offset of its first byte
  std::string text; // without the line end
};

std::vector<Line> Lines(const std::string& text) {
  std::vector<Line> lines;
  size_t at = 0;
  for (int number = 1; at <= text.size(); ++number) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back({number, at, line});
    if (end == text.size()) break;
    at = end + 1;
  }
  return lines;
}

// Where a quote may open a quoted scalar: at the start of a value.
bool OpensScalar(const std::string& s, size_t i) {
  size_t j = i;
  while (j > 0 && s[j - 1] == ' ') --j;
  return j == 0 || std::strchr(":-[{,?", s[j - 1]) != nullptr;
}

struct Finding {
  int line = 0, column = 0;
  std::string what;
};

// Scans the text as YAML's block and flow structure sees it, well enough to
// name the first mistake and to refuse deep nesting.
class Scanner {
 public:
  explicit Scanner(const std::string& text) : lines_(Lines(text)) {}

  // The first mistake, if any.
  bool Scan(Finding& mistake) {
    char quote = 0;
    Finding quoteStart;
    int flow = 0;
    Finding flowStart;  // the outermost bracket still open
    int blockScalarIndent = -1;  // lines indented more than this belong to a | or > scalar
    for (const Line& l : lines_) {
      const std::string& s = l.text;
      const size_t first = s.find_first_not_of(' ');
      const bool blank = first == std::string::npos || s[first] == '#' ||
                         s.find_first_not_of(" \t") == std::string::npos;
      if (quote || flow > 0 || blank) {
        // Inside a string or brackets the indent is free.
      } else if (blockScalarIndent >= 0 && static_cast<int>(first) > blockScalarIndent) {
        continue;
      } else {
        blockScalarIndent = -1;
        if (s[first] == '\t') return Set(mistake, l.number, first + 1, "a tab used to indent; YAML indents with spaces only");
        if (!Indent(static_cast<int>(first), l.number, mistake)) return true;
        // "- " entries open a level of their own at the indent of their content.
        for (size_t c = first; c + 1 < s.size() && s[c] == '-' && s[c + 1] == ' ';) {
          c = s.find_first_not_of(' ', c + 1);
          if (c == std::string::npos) break;
          if (!Indent(static_cast<int>(c), l.number, mistake)) return true;
        }
      }
      if (!quote && flow == 0 && blank) continue;
      for (size_t i = quote || flow > 0 ? 0 : first; i < s.size(); ++i) {
        const char c = s[i];
        if (quote == '"') {
          if (c == '\\') ++i;
          else if (c == '"') quote = 0;
          continue;
        }
        if (quote == '\'') {
          if (c == '\'' && i + 1 < s.size() && s[i + 1] == '\'') ++i;
          else if (c == '\'') quote = 0;
          continue;
        }
        if (c == '#' && (i == 0 || s[i - 1] == ' ' || s[i - 1] == '\t')) break;
        if ((c == '"' || c == '\'') && OpensScalar(s, i)) {
          quote = c;
          quoteStart = {l.number, static_cast<int>(i + 1), ""};
        } else if ((c == '[' || c == '{') && (flow > 0 || OpensScalar(s, i))) {
          if (flow == 0) flowStart = {l.number, static_cast<int>(i + 1), std::string(1, c)};
          if (++flow > kMaxYamlDepth) return Set(mistake, l.number, i + 1, TooDeep());
        } else if ((c == ']' || c == '}') && flow > 0) {
          --flow;
        } else if ((c == '|' || c == '>') && flow == 0 && OpensScalar(s, i)) {
          blockScalarIndent = static_cast<int>(first);
          break;
        }
      }
    }
    if (quote)
      return Set(mistake, quoteStart.line, quoteStart.column,
                 std::string("a quote (") + quote + ") opened at line " + std::to_string(quoteStart.line) +
                     " is never closed");
    if (flow > 0)
      return Set(mistake, flowStart.line, flowStart.column,
                 "a '" + flowStart.what + "' opened at line " + std::to_string(flowStart.line) + " is never closed");
    return false;
  }

  static std::string TooDeep() { return "nesting deeper than " + std::to_string(kMaxYamlDepth) + " levels"; }

 private:
  // Takes a line's indent; false with the mistake when it matches no level
  // or nests too deep.
  bool Indent(int indent, int line, Finding& mistake) {
    while (!indents_.empty() && indents_.back() > indent) {
      indents_.pop_back();
      if (indents_.empty() || indents_.back() < indent)
        return !Set(mistake, line, indent + 1,
                    "an indent of " + std::to_string(indent) + (indent == 1 ? " space" : " spaces") +
                        " that matches no level above it");
    }
    if (indents_.empty() || indents_.back() < indent) indents_.push_back(indent);
    if (static_cast<int>(indents_.size()) > kMaxYamlDepth) return !Set(mistake, line, indent + 1, TooDeep());
    return true;
  }

  static bool Set(Finding& f, int line, size_t column, const std::string& what) {
    f = {line, static_cast<int>(column), what};
    return true;
  }

  std::vector<Line> lines_;
  std::vector<int> indents_;
};

// yaml-cpp's words for its errors, and ours.
struct YamlWords {
  const char* theirs;
  const char* ours;
};
constexpr YamlWords kYamlWords[] = {
    {"illegal map value", "a ':' where no value can start (a tab, or a key missing?)"},
    {"end of map not found", "a mapping does not end here: check the indent and the quotes above"},
    {"end of sequence not found", "a list does not end here: check the indent and the quotes above"},
    {"end of map flow not found", "a '{' is never closed with '}'"},
    {"end of sequence flow not found", "a '[' is never closed with ']'"},
    {"unknown anchor", "an alias (*) names no anchor (&) before it"},
    {"unknown escape character", "an unknown escape in a double-quoted text"},
    {"invalid node; first invalid key", "a key that is not valid"},
    {"illegal tab when looking for indentation", "a tab used to indent; YAML indents with spaces only"},
    {"bad file", "not a YAML text"},
};

// Walks every node with aliases followed, without recursion; throws when
// the walk goes beyond kMaxYamlNodes nodes or kMaxYamlDepth levels.
void CheckSize(const YamlFile& file, const YAML::Node& root) {
  std::vector<std::pair<YAML::Node, int>> pending{{root, 0}};
  long walked = 0;
  while (!pending.empty()) {
    auto [node, depth] = pending.back();
    pending.pop_back();
    if (++walked > kMaxYamlNodes)
      file.Fail(node, "more than " + std::to_string(kMaxYamlNodes) +
                          " values once its aliases are followed (aliases of aliases?)");
    if (depth > kMaxYamlDepth) file.Fail(node, Scanner::TooDeep());
    if (node.IsMap()) {
      for (const auto& kv : node) {
        pending.push_back({kv.first, depth + 1});
        pending.push_back({kv.second, depth + 1});
      }
    } else if (node.IsSequence()) {
      for (const auto& item : node) pending.push_back({item, depth + 1});
    }
  }
}

}  // namespace

bool ExplainYamlError(const std::string& text, int& line, int& column, std::string& what) {
  Finding mistake;
  if (!Scanner(text).Scan(mistake)) return false;
  line = mistake.line;
  column = mistake.column;
  what = mistake.what;
  return true;
}

YAML::Node ParseYaml(const YamlFile& file, const std::string& text) {
  if (const size_t nul = text.find('\0'); nul != std::string::npos) {
    const std::string before = text.substr(0, nul);
    const size_t lineStart = before.rfind('\n');
    YAML::Mark at;
    at.line = static_cast<int>(std::count(before.begin(), before.end(), '\n'));
    at.column = static_cast<int>(lineStart == std::string::npos ? nul : nul - lineStart - 1);
    file.Fail(at, "a NUL byte: a bus file is text");
  }
  Finding mistake;
  const bool found = Scanner(text).Scan(mistake);
  // Deep nesting is refused before yaml-cpp recurses into it, and a quote
  // never closed before yaml-cpp takes the rest of the file into the string.
  if (found && (mistake.what == Scanner::TooDeep() || mistake.what.rfind("a quote", 0) == 0)) {
    YAML::Mark at;
    at.line = mistake.line - 1;
    at.column = mistake.column - 1;
    file.Fail(at, mistake.what);
  }
  YAML::Node root;
  try {
    root = YAML::Load(text);
  } catch (const YAML::Exception& e) {
    if (found) {
      YAML::Mark at;
      at.line = mistake.line - 1;
      at.column = mistake.column - 1;
      file.Fail(at, mistake.what);
    }
    std::string what = "not valid YAML (" + e.msg + ")";
    for (const YamlWords& w : kYamlWords)
      if (e.msg == w.theirs) what = w.ours;
    file.Fail(e.mark, what);
  }
  CheckSize(file, root);
  return root;
}

}  // namespace vexon
