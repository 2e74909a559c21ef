// Getter formats against Python's own output: every row of the table was
// printed by Python's str.format (python_format_table.py writes it), and
// kRefused marks the formats Python refuses for that value.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string_view>

#include "../../vexon/sim/described/field_format.h"
#include "../../vexon/sim/described/python_format.h"

namespace vorel::sim::described {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
using namespace std::string_view_literals;
constexpr std::optional<std::string_view> kRefused;

struct Row {
  const char* format;
  Value value;
  std::optional<std::string_view> python;
};

const Row kTable[] = {
#include "python_format_table.inc"
};

std::string Show(const Value& v) {
  if (const long long* i = std::get_if<long long>(&v)) return std::to_string(*i);
  if (const double* d = std::get_if<double>(&v)) return PythonFloatRepr(*d);
  return "'" + std::get<std::string>(v) + "'";
}

TEST(PythonFormat, AsPythonPrintsEachFormatOfEachValue) {
  int wrong = 0;
  for (const Row& r : kTable) {
    std::optional<std::string> got = FormatValue(r.format, r.value);
    const bool same = r.python ? got == *r.python : !got;
    if (!same && ++wrong <= 40)
      ADD_FAILURE() << r.format << " of " << Show(r.value) << ": got "
                    << (got ? "\"" + *got + "\"" : "refused") << ", Python: "
                    << (r.python ? "\"" + std::string(*r.python) + "\"" : "refused");
  }
  EXPECT_EQ(wrong, 0);
}

TEST(PythonFormat, RefusesWhatPythonRefusesAndSizesThatAreTooLarge) {
  for (const char* format : {"{", "}", "{:{}}", "{1}", "{} {}", "{}{0}", "{x}", "{!q}", "{!r:}x}", "{:1000}",
                             "{:.1000f}", "{:5.2ff}", "{:<<<5}"})
    EXPECT_FALSE(FormatValue(format, Value(1.5))) << format;
  EXPECT_EQ(FormatValue("{:999}", Value(1LL))->size(), 999u);
  EXPECT_EQ(FormatValue("{0} {0}", Value(1LL)), "1 1");
}

TEST(PythonFormat, RandomFieldsGiveNumbersBetweenTheirBoundsInTheirSpec) {
  RandomSource a, b;
  Seed(a, 7);
  Seed(b, 7);
  std::optional<std::string> one = FormatValue("{RANDOM(0, 10.5, 5):.2f}", nullptr, &a);
  ASSERT_TRUE(one);
  EXPECT_EQ(one, FormatValue("{RANDOM(0, 10.5, 5):.2f}", nullptr, &b));  // the same seed, the same numbers
  int numbers = 0;
  for (size_t at = 0; at <= one->size(); ++numbers) {
    size_t end = std::min(one->find(", ", at), one->size());
    std::string n = one->substr(at, end - at);
    EXPECT_EQ(n.size() - n.find('.'), 3u) << n;
    EXPECT_GE(std::stod(n), 0);
    EXPECT_LE(std::stod(n), 10.5);
    at = end + 2;
  }
  EXPECT_EQ(numbers, 5);
  // Without a spec, as Python prints a float; a value field beside it.
  std::optional<std::string> plain = FormatValue("{RANDOM(1, 1, 1)} {:d}", &kTable[0].value, &a);
  EXPECT_EQ(plain, "1.0 0");
  for (const char* bad : {"{RANDOM(0, 10.5):.2f}", "RANDOM(0, 10.5, 5){:.2f}", "{RANDOM(0, 1, 0)}",
                          "{RANDOM(0, 1, 1001)}", "{RANDOM(a, 1, 1)}", "{RANDOM(0, 1, 1):d}"})
    EXPECT_FALSE(FormatValue(bad, nullptr, &a)) << bad;
  EXPECT_FALSE(FormatValue("{RANDOM(0, 1, 1)}", nullptr, nullptr));
}

}  // namespace
}  // namespace vorel::sim::described
