// Python format fields as pyvisa-sim files write them: a getter's response is
// formatted with the property's value as Python's str.format formats it, with
// RANDOM(min, max, n) fields; a setter's pattern is split at its one
// replacement field and the text there read as a value.
#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "../../router/described_definition.h"
#include "random_source.h"

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

// The format string applied to the value as Python's str.format applies it,
// each field {RANDOM(min, max, n):spec} replaced by n numbers from random
// joined by ", "; nothing where Python would raise, where a field needs a
// value or random numbers and none is given, or where a RANDOM directive is
// malformed (also one outside a field).
std::optional<std::string> FormatValue(std::string_view format, const Value* value, RandomSource* random);
inline std::optional<std::string> FormatValue(std::string_view format, const Value& value) {
  return FormatValue(format, &value, nullptr);
}

// Whether a response names RANDOM(...) and so is formatted, not sent as written.
bool HasRandom(std::string_view response);

// The field text read as the type (white space around it ignored), or nothing
// when it does not read as one; inf, -inf and nan only when nonFinite.
std::optional<Value> ReadValue(std::string_view text, ValueType type, bool nonFinite = false);

}  // namespace vorel::sim::described
