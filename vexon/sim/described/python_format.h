// One replacement field of Python's str.format, printed byte for byte as
// Python prints it: the conversions !r, !s, !a and the whole format
// mini-language (fill, align with "=", sign, "z", "#", "0", width, grouping
// "," and "_", precision, the types b c d e E f F g G n o s x X %) for the
// values a property holds. The locale is C's, so "n" is "d" or "g".
#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "../../router/described_definition.h"

namespace vorel::sim::described {

struct FormatSpec {
  char conversion = 0;        // 'r', 's', 'a' or 0
  std::string fill;           // one character (UTF-8); empty: the default
  char align = 0;             // '<' '>' '^' '=' or 0
  char sign = 0;              // '+' '-' ' ' or 0
  bool noNegativeZero = false;  // 'z'
  bool alternate = false;     // '#'
  bool zero = false;          // '0' before the width
  int width = 0;
  char grouping = 0;          // ',' '_' or 0
  int precision = -1;
  char type = 0;
};

// Widths and precisions above this are refused: a bus file must not make a
// response of gigabytes.
constexpr int kMaxFormatSize = 999;

// Reads "[!conv][:spec]" (what follows the field name); false when Python
// would refuse the syntax or a size is above kMaxFormatSize.
bool ParseFormatSpec(std::string_view text, FormatSpec& out);

// The value printed as Python's format() prints it, or nothing where Python
// raises (a float with "d", a sign with a string, "," with "x", ...).
std::optional<std::string> FormatPython(const FormatSpec& spec, const Value& value);

// Python's repr() of a float: the shortest text that reads back the same.
std::string PythonFloatRepr(double x);

}  // namespace vorel::sim::described
