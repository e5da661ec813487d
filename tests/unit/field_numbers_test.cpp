#include "number_text.h"

#include <gtest/gtest.h>

#include "message_text.h"

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
      {L"\u00A05", std::nullopt},  // no-break space
      // Full-width forms, alone and mixed with ASCII.
      {L"\uFF15", 5.0},
      {L"\uFF11\uFF12\uFF0E\uFF15", 12.5},
      {L"\uFF0D\uFF0E\uFF15", -0.5},
      {L"\uFF0B\uFF17", 7.0},
      {L"\uFF12\uFF45\uFF11", 20.0},
      {L"\uFF11\uFF25\uFF0D\uFF13", 0.001},
      {L"1\uFF10.\uFF15", 10.5},
      {L" \uFF19\uFF19\t", 99.0},
      {L"\u3000\uFF15\u3000", 5.0},          // ideographic spaces around it
      {L"0\u30020069851349", 0.0069851349},  // "。" for the point
      {L"\uFF15\u3000\uFF15", std::nullopt},
      {L"1\u3002\u30025", std::nullopt},
      {L"\uFF11\u3001\uFF15", std::nullopt},  // ideographic comma
      {L"\uFF11\uFF0C\uFF15", std::nullopt},  // full-width comma
      {L"\uFF11\uFF4D", std::nullopt},        // full-width "m"
      {L"\uFF11\uFF45\uFF19\uFF19\uFF19", std::nullopt},
      {L"\uFF10\uFF58\uFF11\uFF10", std::nullopt},  // "0x10"
      {L"\u0665", std::nullopt},                    // Arabic-Indic 5
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
      {L"\uFF13\uFF10", 30},
      {L"\uFF0D\uFF11\uFF12", -12},
      {L"\uFF0B\uFF14", 4},
      {L"\uFF12\uFF11\uFF14\uFF17\uFF14\uFF18\uFF13\uFF16\uFF14\uFF17", 2147483647},
      {L"\uFF12\uFF11\uFF14\uFF17\uFF14\uFF18\uFF13\uFF16\uFF14\uFF18", std::nullopt},
      {L"\uFF13\uFF0E\uFF15", std::nullopt},
      {L"\uFF13\uFF45\uFF11", std::nullopt},
      {L"\u3000\uFF13\uFF10\u3000", 30},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseFieldInt32(c.text), c.value) << testing::PrintToString(std::wstring(c.text));
  }
}

// The message for a refused text says what is wrong with it.
TEST(FieldNumbers, RefusedTextsAreToldApart) {
  const struct {
    const wchar_t* text;
    bool integer;
    NumberFault fault;
  } cases[] = {
      {L"12.5", false, NumberFault::None},
      {L"\uFF11\uFF12", true, NumberFault::None},
      {L"", false, NumberFault::Empty},
      {L" \t ", true, NumberFault::Empty},
      {L"12.5mm", false, NumberFault::NotANumber},
      {L"abc", true, NumberFault::NotANumber},
      {L"1e", false, NumberFault::NotANumber},
      {L"\u3000", false, NumberFault::Empty},
      {L"\uFF13\u3002\uFF10", true, NumberFault::NotWhole},
      {L"inf", false, NumberFault::NotANumber},
      {L"1e999", false, NumberFault::OutOfRange},
      {L"-1e999", false, NumberFault::OutOfRange},
      {L"1e-400", false, NumberFault::OutOfRange},
      {L"\uFF11\uFF45\uFF19\uFF19\uFF19", false, NumberFault::OutOfRange},
      {L"12.5", true, NumberFault::NotWhole},
      {L"3e1", true, NumberFault::NotWhole},
      {L"\uFF13\uFF0E\uFF10", true, NumberFault::NotWhole},
      {L"1e999", true, NumberFault::NotWhole},
      {L"2147483648", true, NumberFault::OutOfRange},
      {L"-2147483649", true, NumberFault::OutOfRange},
      {L"99999999999999999999", true, NumberFault::OutOfRange},
      {L"12.5x", true, NumberFault::NotANumber},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FieldNumberFault(c.text, c.integer), c.fault)
        << testing::PrintToString(std::wstring(c.text)) << (c.integer ? " integer" : " number");
  }
}

TEST(MessageText, InsertsGoWhereTheMessageNamesThem) {
  const struct {
    const wchar_t* message;
    std::wstring expected;
  } cases[] = {
      {L"%1 in %2.", L"A in B."},
      {L"%2 in %1.", L"B in A."},
      {L"%1%1", L"AA"},
      {L"no inserts", L"no inserts"},
      {L"%3 stays", L"%3 stays"},
      {L"%0 and %x stay, 100%", L"%0 and %x stay, 100%"},
      {L"%%1 is literal", L"%1 is literal"},
      {L"%%%1", L"%A"},
      {L"“%1”不能为空。", L"“A”不能为空。"},
      {L"%1", L"A"},
      {L"", L""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(InsertArguments(c.message, {L"A", L"B"}), c.expected)
        << testing::PrintToString(std::wstring(c.message));
  }
  // An insert is not scanned again.
  EXPECT_EQ(InsertArguments(L"%1|%2", {L"%2", L"x"}), L"%2|x");
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
