// Reading the help file's topics.
#include "help/help_file.h"

#include <cstdio>
#include <filesystem>

namespace {

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x += 'a' - 'A';
    if (y >= 'A' && y <= 'Z') y += 'a' - 'A';
    if (x != y) return false;
  }
  return true;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// The argument of a directive line "@name argument", or false when line is
// not that directive.
bool Directive(std::string_view line, std::string_view name, std::string_view& argument) {
  if (line.size() < name.size() || line.substr(0, name.size()) != name) return false;
  std::string_view rest = line.substr(name.size());
  if (!rest.empty() && rest.front() != ' ' && rest.front() != '\t') return false;
  argument = Trim(rest);
  return true;
}

void DropBlankEnds(std::vector<std::string>& lines) {
  auto blank = [](const std::string& s) { return Trim(s).empty(); };
  while (!lines.empty() && blank(lines.back())) lines.pop_back();
  size_t first = 0;
  while (first < lines.size() && blank(lines[first])) ++first;
  lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(first));
}

}  // namespace

HelpFile ParseHelpFile(std::string_view text) {
  HelpFile file;
  HelpTopic* topic = nullptr;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

    std::string_view argument;
    if (!line.empty() && line.front() == '#') continue;
    if (Directive(line, "@page", argument)) {
      if (topic) DropBlankEnds(topic->lines);
      topic = &file.topics.emplace_back();
      topic->page = argument;
      continue;
    }
    if (topic == nullptr) continue;
    if (Directive(line, "@keyword", argument)) {
      if (!argument.empty()) topic->keywords.emplace_back(argument);
      continue;
    }
    if (!line.empty() && line.front() == '@') continue;  // a directive this viewer does not know
    if (!line.empty() && line.front() == '\\') line.remove_prefix(1);
    topic->lines.emplace_back(line);
  }
  if (topic) DropBlankEnds(topic->lines);
  return file;
}

bool ReadHelpFile(const char* path, HelpFile& file) {
  // Only a regular file: a FIFO would wait for a writer, a device might never end.
  std::error_code error;
  if (path == nullptr || !std::filesystem::is_regular_file(path, error)) return false;
  std::FILE* f = std::fopen(path, "rb");
  if (f == nullptr) return false;
  std::string text;
  char chunk[65536];
  size_t n;
  while (text.size() < kMaxHelpFileSize && (n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
    text.append(chunk, n);
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) return false;
  if (text.size() > kMaxHelpFileSize) text.resize(kMaxHelpFileSize);
  file = ParseHelpFile(text);
  return true;
}

const HelpTopic* FindHelpPage(const HelpFile& file, std::string_view page) {
  for (const HelpTopic& topic : file.topics)
    if (EqualIgnoringCase(topic.page, page)) return &topic;
  return nullptr;
}

const HelpTopic* FindHelpKeyword(const HelpFile& file, std::string_view keyword) {
  for (const HelpTopic& topic : file.topics)
    for (const std::string& k : topic.keywords)
      if (EqualIgnoringCase(k, keyword)) return &topic;
  return nullptr;
}
