// Getter formatting and setter field reading.
#include "field_format.h"

#include <fmt/format.h>

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>

namespace vorel::sim::described {

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::strchr(" \t\r\n", s.front())) s.remove_prefix(1);
  while (!s.empty() && std::strchr(" \t\r\n", s.back())) s.remove_suffix(1);
  return s;
}

bool IsFloatLetter(char c) { return c && std::strchr("eEfFgG%", c); }

}  // namespace

bool SplitPattern(std::string_view p, Pattern& out) {
  out = Pattern();
  for (size_t i = 0; i < p.size(); ++i) {
    std::string& literal = out.fields == 0 ? out.prefix : out.suffix;
    char c = p[i];
    if ((c == '{' || c == '}') && i + 1 < p.size() && p[i + 1] == c) {
      literal += c;
      ++i;
    } else if (c == '{') {
      size_t close = p.find_first_of("{}", i + 1);
      if (close == std::string_view::npos || p[close] != '}') return false;
      std::string_view field = p.substr(i + 1, close - i - 1);
      if (++out.fields == 1) {
        size_t colon = field.find(':');
        std::string_view spec = colon == std::string_view::npos ? "" : field.substr(colon + 1);
        out.bare = spec.empty();
        char last = spec.empty() ? 0 : spec.back();
        if (std::isalpha(static_cast<unsigned char>(last)) || last == '%') out.field = last;
      }
      i = close;
    } else if (c == '}') {
      return false;
    } else if (out.fields <= 1) {
      literal += c;
    }
  }
  return true;
}

ValueType TypeOfField(char letter) {
  if (letter == 'd') return ValueType::Int;
  if (IsFloatLetter(letter)) return ValueType::Float;
  return ValueType::Str;
}

// Widths and precisions beyond three digits are refused: a bus file must not
// make a response of gigabytes.
bool SizesBounded(std::string_view format) {
  bool inField = false;
  int digits = 0;
  for (char c : format) {
    if (c == '{') inField = !inField;  // "{{" is a brace, not a field
    else if (c == '}') inField = false;
    digits = inField && std::isdigit(static_cast<unsigned char>(c)) ? digits + 1 : 0;
    if (digits > 3) return false;
  }
  return true;
}

std::optional<std::string> FormatValue(const std::string& format, const Value& value) {
  Pattern p;
  if (!SplitPattern(format, p) || !SizesBounded(format)) return std::nullopt;
  Value v = value;
  // Python formats an int with a float presentation; fmt needs the double.
  if (const long long* i = std::get_if<long long>(&v); i && IsFloatLetter(p.field))
    v = static_cast<double>(*i);
  std::string out;
  try {
    out = std::visit([&](const auto& x) { return fmt::format(fmt::runtime(format), x); }, v);
  } catch (const fmt::format_error&) {
    return std::nullopt;
  }
  // Python writes a whole float as "100.0" where fmt's shortest form is "100".
  if (std::holds_alternative<double>(v) && p.fields == 1 && p.bare &&
      out.size() >= p.prefix.size() + p.suffix.size()) {
    size_t end = out.size() - p.suffix.size();
    std::string_view number = std::string_view(out).substr(p.prefix.size(), end - p.prefix.size());
    if (number.find_first_of(".eEna") == std::string_view::npos) out.insert(end, ".0");
  }
  return out;
}

std::optional<Value> ReadValue(std::string_view text, ValueType type) {
  std::string_view t = Trim(text);
  if (t.empty()) return std::nullopt;
  if (type == ValueType::Str) return Value(std::string(t));
  if (t.front() == '+') t.remove_prefix(1);
  const char* end = t.data() + t.size();
  if (type == ValueType::Int) {
    long long i = 0;
    auto [ptr, ec] = std::from_chars(t.data(), end, i);
    if (ec != std::errc() || ptr != end) return std::nullopt;
    return Value(i);
  }
  double d = 0;
  auto [ptr, ec] = std::from_chars(t.data(), end, d);
  if (ec != std::errc() || ptr != end || !std::isfinite(d)) return std::nullopt;
  return Value(d);
}

}  // namespace vorel::sim::described
