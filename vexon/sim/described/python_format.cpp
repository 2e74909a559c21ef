// Python's format(): fmt writes the digits of the fixed and exponent forms
// (the same as Python's); the layer here adds what fmt lacks or does
// differently: repr, the general forms' thresholds, "%", "n", the "#"
// prefixes, grouping (also of zero padding), "=" alignment, "z" and the
// conversions.
#include "python_format.h"

#include <fmt/format.h>

#include <charconv>
#include <cmath>
#include <cstring>

namespace vorel::sim::described {

namespace {

bool IsAlign(char c) { return c && std::strchr("<>^=", c); }

// The length of the UTF-8 character that starts with c (1 for a stray byte).
size_t CharLength(unsigned char c) {
  if (c >= 0xF0 && c < 0xF8) return 4;
  if (c >= 0xE0) return c < 0xF0 ? 3 : 1;
  if (c >= 0xC0) return 2;
  return 1;
}

// Characters, as Python counts a string's length.
size_t CharCount(std::string_view s) {
  size_t n = 0;
  for (size_t i = 0; i < s.size(); i += CharLength(static_cast<unsigned char>(s[i]))) ++n;
  return n;
}

bool ReadSize(std::string_view& s, int& out) {
  size_t n = 0;
  out = 0;
  while (n < s.size() && s[n] >= '0' && s[n] <= '9') {
    out = out * 10 + (s[n] - '0');
    if (out > kMaxFormatSize) return false;
    ++n;
  }
  s.remove_prefix(n);
  return n > 0;
}

// A number as sign, prefix ("0x", ...) and body (digits, point, exponent);
// intEnd is where the body's integer digits end, for grouping.
struct Number {
  bool negative = false;
  std::string prefix, body;
  size_t intEnd = 0;
  bool finite = true;
};

// The digits of |x| in exponent form with precision p, as "d.ddde+XX".
std::string ExpDigits(double x, int p) { return fmt::format("{:.{}e}", std::fabs(x), p); }
std::string FixedDigits(double x, int p) { return fmt::format("{:.{}f}", std::fabs(x), p); }

int ExponentOf(const std::string& e) { return std::atoi(e.c_str() + e.find('e') + 1); }

// Removes trailing zeros of the fraction (and the point with them).
void TrimFraction(std::string& s) {
  size_t e = s.find('e');
  std::string exp = e == std::string::npos ? "" : s.substr(e);
  std::string m = s.substr(0, s.size() - exp.size());
  if (m.find('.') != std::string::npos) {
    while (m.back() == '0') m.pop_back();
    if (m.back() == '.') m.pop_back();
  }
  s = m + exp;
}

// Adds a point after the integer digits when there is none ("#" forms).
void EnsurePoint(std::string& s) {
  if (s.find('.') != std::string::npos) return;
  size_t e = s.find('e');
  s.insert(e == std::string::npos ? s.size() : e, ".");
}

// The general forms: "g" (trimmed unless alternate) and Python's default for
// a float with a precision (fixed keeps one decimal; exponent form from
// exp >= p - 1 on).
std::string General(double x, int p, bool alternate, bool pythonDefault) {
  if (p == 0) p = 1;
  int exp = ExponentOf(ExpDigits(x, p - 1));
  bool fixed = exp >= -4 && exp < (pythonDefault ? p - 1 : p);
  std::string s = fixed ? FixedDigits(x, p - 1 - exp) : ExpDigits(x, p - 1);
  if (alternate) {
    EnsurePoint(s);
  } else {
    TrimFraction(s);
    if (pythonDefault && fixed && s.find('.') == std::string::npos) s += ".0";
  }
  return s;
}

std::string ShortestRepr(double x) {
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, std::fabs(x), std::chars_format::scientific);
  std::string sci(buf, ec == std::errc() ? end : buf);
  size_t e = sci.find('e');
  std::string digits;
  for (char c : sci.substr(0, e))
    if (c != '.') digits += c;
  int exp = std::atoi(sci.c_str() + e + 1);
  if (exp >= -4 && exp < 16) {
    std::string s;
    if (exp < 0) {
      s = "0." + std::string(-exp - 1, '0') + digits;
    } else {
      if (digits.size() <= static_cast<size_t>(exp)) digits.append(exp + 1 - digits.size(), '0');
      s = digits.substr(0, exp + 1) + "." + (digits.size() > static_cast<size_t>(exp) + 1 ? digits.substr(exp + 1) : "0");
    }
    return s;
  }
  std::string m = digits.substr(0, 1) + (digits.size() > 1 ? "." + digits.substr(1) : "");
  return m + (exp < 0 ? "e-" : "e+") + (std::abs(exp) < 10 ? "0" : "") + std::to_string(std::abs(exp));
}

std::optional<Number> FormatFloat(const FormatSpec& s, double x) {
  Number n;
  n.negative = std::signbit(x) && !std::isnan(x);
  const bool upper = s.type && std::strchr("EFGX", s.type);
  if (s.type && !std::strchr("eEfFgGn%", s.type)) return std::nullopt;
  if (!std::isfinite(x)) {
    n.finite = false;
    n.body = std::isnan(x) ? (upper ? "NAN" : "nan") : (upper ? "INF" : "inf");
    if (s.type == '%') n.body += '%';
    return n;
  }
  const int p = s.precision;
  switch (s.type) {
    case 'e': case 'E':
      n.body = ExpDigits(x, p < 0 ? 6 : p);
      if (s.alternate) EnsurePoint(n.body);
      break;
    case 'f': case 'F':
      n.body = FixedDigits(x, p < 0 ? 6 : p);
      if (s.alternate) EnsurePoint(n.body);
      break;
    case '%':
      n.body = FixedDigits(x * 100, p < 0 ? 6 : p);
      if (s.alternate) EnsurePoint(n.body);
      n.body += '%';
      break;
    case 'g': case 'G': case 'n':
      n.body = General(x, p < 0 ? 6 : p, s.alternate, false);
      break;
    case 0:
      n.body = p < 0 ? ShortestRepr(x) : General(x, p, s.alternate, true);
      break;
    default:
      return std::nullopt;
  }
  if (upper)
    for (char& c : n.body) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (s.noNegativeZero && n.negative && n.body.find_first_of("123456789") >= n.body.find_first_of("eE%"))
    n.negative = false;  // all its digits are zeros
  n.intEnd = n.body.find_first_not_of("0123456789");
  if (n.intEnd == std::string::npos) n.intEnd = n.body.size();
  return n;
}

std::string Utf8(unsigned long c) {
  std::string s;
  if (c < 0x80) {
    s += static_cast<char>(c);
  } else if (c < 0x800) {
    s += static_cast<char>(0xC0 | (c >> 6));
    s += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    s += static_cast<char>(0xE0 | (c >> 12));
    s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    s += static_cast<char>(0xF0 | (c >> 18));
    s += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (c & 0x3F));
  }
  return s;
}

std::optional<Number> FormatInt(const FormatSpec& s, long long v) {
  Number n;
  n.negative = v < 0;
  unsigned long long u = n.negative ? 0ULL - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
  switch (s.type) {
    case 0: case 'd': case 'n': n.body = fmt::format("{}", u); break;
    case 'b': n.body = fmt::format("{:b}", u); n.prefix = s.alternate ? "0b" : ""; break;
    case 'o': n.body = fmt::format("{:o}", u); n.prefix = s.alternate ? "0o" : ""; break;
    case 'x': n.body = fmt::format("{:x}", u); n.prefix = s.alternate ? "0x" : ""; break;
    case 'X': n.body = fmt::format("{:X}", u); n.prefix = s.alternate ? "0X" : ""; break;
    case 'c':
      if (s.sign || s.alternate || v < 0 || v > 0x10FFFF) return std::nullopt;
      n.body = Utf8(static_cast<unsigned long>(v));
      n.intEnd = 0;
      return n;
    default: return std::nullopt;
  }
  n.intEnd = n.body.size();
  return n;
}

// Separators every `every` digits of digits, left-padded with zeros until the
// result is at least minLength long.
std::string Group(std::string digits, char sep, int every, size_t minLength) {
  auto length = [&](size_t k) { return k + (k ? (k - 1) / every : 0); };
  size_t k = digits.size();
  while (length(k) < minLength) ++k;
  digits.insert(0, k - digits.size(), '0');
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i && (digits.size() - i) % every == 0) out += sep;
    out += digits[i];
  }
  return out;
}

std::string Pad(const std::string& fill, size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i) s += fill;
  return s;
}

std::string Align(const std::string& text, const FormatSpec& s, char defaultAlign) {
  const std::string fill = s.fill.empty() ? (s.zero ? "0" : " ") : s.fill;
  size_t len = CharCount(text);
  if (static_cast<size_t>(s.width) <= len) return text;
  size_t pad = s.width - len;
  switch (s.align ? s.align : defaultAlign) {
    case '<': return text + Pad(fill, pad);
    case '^': return Pad(fill, pad / 2) + text + Pad(fill, pad - pad / 2);
    default: return Pad(fill, pad) + text;
  }
}

std::string Repr(const std::string& text, bool ascii) {
  const char quote = text.find('\'') != std::string::npos && text.find('"') == std::string::npos ? '"' : '\'';
  std::string out(1, quote);
  for (size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    size_t len = CharLength(c);
    if (c >= 0x80 && i + len <= text.size()) {
      if (!ascii) {
        out.append(text, i, len);
      } else {
        unsigned long cp = len == 2 ? c & 0x1F : len == 3 ? c & 0x0F : c & 0x07;
        for (size_t k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        out += cp < 0x100 ? fmt::format("\\x{:02x}", cp) : cp < 0x10000 ? fmt::format("\\u{:04x}", cp)
                                                                          : fmt::format("\\U{:08x}", cp);
      }
      i += len;
      continue;
    }
    if (c == '\\' || c == static_cast<unsigned char>(quote)) out += '\\', out += static_cast<char>(c);
    else if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '\t') out += "\\t";
    else if (c < 0x20 || c >= 0x7F) out += fmt::format("\\x{:02x}", c);
    else out += static_cast<char>(c);
    ++i;
  }
  return out + quote;
}

std::string Str(const Value& v) {
  if (const long long* i = std::get_if<long long>(&v)) return std::to_string(*i);
  if (const double* d = std::get_if<double>(&v)) return PythonFloatRepr(*d);
  return std::get<std::string>(v);
}

std::optional<std::string> FormatString(const FormatSpec& s, std::string text) {
  if ((s.type && s.type != 's') || s.sign || s.alternate || s.noNegativeZero || s.grouping || s.align == '=')
    return std::nullopt;
  if (s.precision >= 0) {
    size_t bytes = 0;
    for (int n = 0; n < s.precision && bytes < text.size(); ++n)
      bytes += CharLength(static_cast<unsigned char>(text[bytes]));
    text.resize(std::min(bytes, text.size()));
  }
  return Align(text, s, '<');
}

}  // namespace

std::string PythonFloatRepr(double x) {
  if (std::isnan(x)) return "nan";
  if (std::isinf(x)) return x < 0 ? "-inf" : "inf";
  return (std::signbit(x) ? "-" : "") + ShortestRepr(x);
}

bool ParseFormatSpec(std::string_view t, FormatSpec& out) {
  out = FormatSpec();
  if (!t.empty() && t.front() == '!') {
    if (t.size() < 2 || !std::strchr("rsa", t[1]) || t[1] == 0) return false;
    out.conversion = t[1];
    t.remove_prefix(2);
    if (!t.empty() && t.front() != ':') return false;
  }
  if (t.empty()) return true;
  if (t.front() != ':') return false;
  t.remove_prefix(1);
  size_t first = t.empty() ? 0 : CharLength(static_cast<unsigned char>(t[0]));
  if (t.size() > first && first <= t.size() && IsAlign(t[first])) {
    out.fill = std::string(t.substr(0, first));
    out.align = t[first];
    t.remove_prefix(first + 1);
  } else if (!t.empty() && IsAlign(t[0])) {
    out.align = t[0];
    t.remove_prefix(1);
  }
  if (!t.empty() && std::strchr("+- ", t[0])) out.sign = t[0], t.remove_prefix(1);
  if (!t.empty() && t[0] == 'z') out.noNegativeZero = true, t.remove_prefix(1);
  if (!t.empty() && t[0] == '#') out.alternate = true, t.remove_prefix(1);
  if (!t.empty() && t[0] == '0') out.zero = true, t.remove_prefix(1);
  if (!t.empty() && t[0] >= '0' && t[0] <= '9' && !ReadSize(t, out.width)) return false;
  if (!t.empty() && (t[0] == ',' || t[0] == '_')) out.grouping = t[0], t.remove_prefix(1);
  if (!t.empty() && t[0] == '.') {
    t.remove_prefix(1);
    if (!ReadSize(t, out.precision)) return false;
  }
  if (t.size() == 1) out.type = t[0], t.remove_prefix(1);
  return t.empty();
}

std::optional<std::string> FormatPython(const FormatSpec& spec, const Value& value) {
  FormatSpec s = spec;
  Value v = value;
  if (s.conversion) {
    std::string text = Str(v);
    if (s.conversion != 's' && std::holds_alternative<std::string>(v)) text = Repr(text, s.conversion == 'a');
    v = text;
  }
  if (const std::string* text = std::get_if<std::string>(&v)) return FormatString(s, *text);
  // An int takes the float presentations as a float.
  if (const long long* i = std::get_if<long long>(&v); i && s.type && std::strchr("eEfFgG%", s.type))
    v = static_cast<double>(*i);
  std::optional<Number> n;
  if (const long long* i = std::get_if<long long>(&v)) {
    if (s.precision >= 0) return std::nullopt;
    n = FormatInt(s, *i);
  } else {
    n = FormatFloat(s, std::get<double>(v));
  }
  if (!n) return std::nullopt;
  if (s.type == 'c' && (s.grouping || s.align == '=')) return std::nullopt;
  if (s.grouping == ',' && s.type && !std::strchr("deEfFgG%", s.type)) return std::nullopt;
  if (s.grouping == '_' && s.type && !std::strchr("dbxXoeEfFgG%", s.type)) return std::nullopt;
  if (s.noNegativeZero && std::holds_alternative<long long>(v)) return std::nullopt;
  const std::string sign = n->negative ? "-" : s.sign == '+' ? "+" : s.sign == ' ' ? " " : "";
  const std::string head = sign + n->prefix;
  const bool zeroFill = (s.fill.empty() ? s.zero : s.fill == "0") && (s.align ? s.align == '=' : s.zero);
  std::string intPart = n->body.substr(0, n->intEnd), rest = n->body.substr(n->intEnd);
  if (s.grouping && n->finite) {
    const int every = s.type && std::strchr("bxXo", s.type) ? 4 : 3;
    size_t minLength = 0;
    if (zeroFill && static_cast<size_t>(s.width) > head.size() + CharCount(rest))
      minLength = s.width - head.size() - CharCount(rest);
    intPart = Group(intPart, s.grouping, every, minLength);
  }
  std::string body = intPart + rest;
  FormatSpec a = s;
  if (!s.align && s.zero) a.align = '=';
  if (a.align == '=') {
    size_t len = CharCount(head) + CharCount(body);
    if (static_cast<size_t>(s.width) > len) {
      const std::string fill = s.fill.empty() ? (s.zero ? "0" : " ") : s.fill;
      body = Pad(fill, s.width - len) + body;
    }
    return head + body;
  }
  return Align(head + body, a, '>');
}

}  // namespace vorel::sim::described
