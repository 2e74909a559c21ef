// Getter formatting and setter field reading.
#include "field_format.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>

#include "python_format.h"

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

namespace {

// How many numbers one RANDOM field may give: a bus file must not make a
// response of gigabytes.
constexpr long long kMaxRandomCount = 1000;

// "RANDOM(min, max, n)" as numbers; false when it is not one.
bool ReadRandom(std::string_view name, double& min, double& max, long long& count) {
  constexpr std::string_view kHead = "RANDOM(";
  if (name.substr(0, kHead.size()) != kHead || name.back() != ')') return false;
  name = name.substr(kHead.size(), name.size() - kHead.size() - 1);
  std::string_view args[3];
  for (int i = 0; i < 3; ++i) {
    size_t comma = name.find(',');
    if ((comma == std::string_view::npos) != (i == 2)) return false;
    args[i] = name.substr(0, comma);
    name.remove_prefix(comma == std::string_view::npos ? name.size() : comma + 1);
  }
  std::optional<Value> lo = ReadValue(args[0], ValueType::Float), hi = ReadValue(args[1], ValueType::Float),
                       n = ReadValue(args[2], ValueType::Int);
  if (!lo || !hi || !n) return false;
  min = std::get<double>(*lo);
  max = std::get<double>(*hi);
  count = std::get<long long>(*n);
  return count >= 1 && count <= kMaxRandomCount;
}

}  // namespace

bool HasRandom(std::string_view response) { return response.find("RANDOM(") != std::string_view::npos; }

std::optional<std::string> FormatValue(std::string_view format, const Value* value, RandomSource* random) {
  std::string out;
  bool automatic = false, manual = false;
  for (size_t i = 0; i < format.size(); ++i) {
    const char c = format[i];
    if ((c == '{' || c == '}') && i + 1 < format.size() && format[i + 1] == c) {
      out += c;
      ++i;
      continue;
    }
    if (c == '}') return std::nullopt;
    if (c != '{') {
      if (format.compare(i, 7, "RANDOM(") == 0) return std::nullopt;  // a directive outside a field
      out += c;
      continue;
    }
    const size_t close = format.find_first_of("{}", i + 1);
    if (close == std::string_view::npos || format[close] != '}') return std::nullopt;
    std::string_view field = format.substr(i + 1, close - i - 1);
    i = close;
    // The name ends at the conversion or spec; RANDOM's arguments hold neither.
    const size_t paren = field.find(')');
    const size_t nameEnd = field.substr(0, 7) == "RANDOM(" && paren != std::string_view::npos
                               ? paren + 1 : field.find_first_of("!:");
    std::string_view name = field.substr(0, nameEnd == std::string_view::npos ? field.size() : nameEnd);
    FormatSpec spec;
    if (!ParseFormatSpec(field.substr(name.size()), spec)) return std::nullopt;
    double min = 0, max = 0;
    long long count = 0;
    if (ReadRandom(name, min, max, count)) {
      if (!random) return std::nullopt;
      for (long long k = 0; k < count; ++k) {
        std::optional<std::string> number = FormatPython(spec, Value(Uniform(*random, min, max)));
        if (!number) return std::nullopt;
        out += (k ? ", " : "") + *number;
      }
      continue;
    }
    if (!value || (name != "" && name != "0")) return std::nullopt;
    // Python numbers fields automatically or by hand, never both, and has one value.
    if (name.empty() ? automatic || manual : automatic) return std::nullopt;
    (name.empty() ? automatic : manual) = true;
    std::optional<std::string> text = FormatPython(spec, *value);
    if (!text) return std::nullopt;
    out += *text;
  }
  return out;
}

std::optional<Value> ReadValue(std::string_view text, ValueType type, bool nonFinite) {
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
  if (ec != std::errc() || ptr != end || (!nonFinite && !std::isfinite(d))) return std::nullopt;
  return Value(d);
}

}  // namespace vorel::sim::described
