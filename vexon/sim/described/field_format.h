// Python format fields as pyvisa-sim files write them: a getter's response is
// formatted with the property's value through fmt, a setter's pattern is split
// at its one replacement field and the text there read as a value.
#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "definition.h"

namespace vorel::sim::described {

// A pattern around its replacement fields: the literal text before the first
// field and after it (escaped braces "{{" "}}" as single braces), the type
// letter that ends the first field's spec (0 when none), and how many fields.
struct Pattern {
  std::string prefix, suffix;
  char field = 0;
  int fields = 0;
  bool bare = false;  // the first field has no format spec: "{}", "{:}"
};

// False when a brace does not pair.
bool SplitPattern(std::string_view pattern, Pattern& out);

// The value type a field's letter names: d int; e f g (either case) and %
// float; anything else string.
ValueType TypeOfField(char letter);

// The format string applied to the value, as Python's str.format would (a
// float in a bare field keeps Python's ".0" when it is whole), or
// nothing when fmt refuses the format for the value or a width or precision
// has more than three digits.
std::optional<std::string> FormatValue(const std::string& format, const Value& value);

// The field text read as the type (white space around it ignored), or nothing
// when it does not read as one.
std::optional<Value> ReadValue(std::string_view text, ValueType type);

}  // namespace vorel::sim::described
