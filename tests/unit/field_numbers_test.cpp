#include "number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

namespace {

TEST(FieldNumbers, DoubleFieldAcceptsOnlyWholeFiniteNumbers) {
  const struct {
    const wchar_t* text;
    std::optional<double> value;
  } cases[] = {
      {L"110", 110.0},
      {L"  -2.5\t", -2.5},
      {L"+7", 7.0},
      {L".5", 0.5},
      {L"5.", 5.0},
      {L"-.5", -0.5},
      {L"2e1", 20.0},
      {L"1E-3", 0.001},
      {L"1e+2", 100.0},
      {L"0", 0.0},
      {L"", std::nullopt},
      {L"   ", std::nullopt},
      {L"12.5mm", std::nullopt},
      {L"abc", std::nullopt},
      {L".", std::nullopt},
      {L"-", std::nullopt},
      {L"1e", std::nullopt},
      {L"1e+", std::nullopt},
      {L"1,5", std::nullopt},
      {L"inf", std::nullopt},
      {L"nan", std::nullopt},
      {L"1e999", std::nullopt},
      {L"-1e999", std::nullopt},
      {L"0x10", std::nullopt},
      {L"1 2", std::nullopt},
      {L"\u00A05", std::nullopt},
      {L"\uFF15", std::nullopt},  // no-break space, fullwidth 5
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseFieldDouble(c.text), c.value) << testing::PrintToString(std::wstring(c.text));
  }
}

TEST(FieldNumbers, IntegerFieldAcceptsOnly32BitIntegers) {
  const struct {
    const wchar_t* text;
    std::optional<std::int32_t> value;
  } cases[] = {
      {L"30", 30},
      {L" -12 ", -12},
      {L"+4", 4},
      {L"2147483647", 2147483647},
      {L"-2147483648", std::numeric_limits<std::int32_t>::min()},
      {L"2147483648", std::nullopt},
      {L"-2147483649", std::nullopt},
      {L"30.5", std::nullopt},
      {L"3e1", std::nullopt},
      {L"", std::nullopt},
      {L"abc", std::nullopt},
      {L"12x", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseFieldInt32(c.text), c.value) << testing::PrintToString(std::wstring(c.text));
  }
}

// OK without edits must not change a value: what a field shows reads back as
// exactly the same double.
TEST(FieldNumbers, ShownDoublesReadBackExactly) {
  EXPECT_EQ(FormatFieldDouble(110.0), L"110");
  EXPECT_EQ(FormatFieldDouble(0.0069851349), L"0.0069851349");
  EXPECT_EQ(FormatFieldDouble(0.01125), L"0.01125");
  std::mt19937_64 random(42);
  for (int i = 0; i < 100000; ++i) {
    std::uint64_t bits = random();
    double value;
    std::memcpy(&value, &bits, sizeof value);
    if (!std::isfinite(value)) continue;
    const auto back = ParseFieldDouble(FormatFieldDouble(value));
    ASSERT_TRUE(back.has_value()) << value;
    ASSERT_EQ(std::memcmp(&*back, &value, sizeof value), 0) << value;
  }
}

}  // namespace
