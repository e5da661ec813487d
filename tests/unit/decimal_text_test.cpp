#include "decimal_text.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <random>

namespace {

// On MinGW the conversions are the C runtime's own: they must give what
// libstdc++'s give, text for text and bit for bit. Elsewhere they are
// libstdc++'s.
#if defined(__MINGW32__)
template <class... Format>
std::string Library(double value, Format... format) {
  char buffer[800];
  return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value, format...).ptr);
}

TEST(DecimalText, AgreesWithTheCppLibrary) {
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> form(-2000, 2000);
  const double edges[] = {0.0,
                          -0.0,
                          0.03125,
                          2.5,
                          1e21,
                          1e22,
                          123456789012345680000.0,
                          5e-324,
                          2.2250738585072014e-308,
                          1.7976931348623157e308,
                          99999.99995,
                          1e-5};
  for (int i = 0; i < 60000; ++i) {
    double value = i < static_cast<int>(std::size(edges)) ? edges[i] : form(random);
    if (i % 2) {
      const std::uint64_t bits = random();
      std::memcpy(&value, &bits, sizeof value);
      if (!std::isfinite(value)) continue;
    }
    ASSERT_EQ(ShortestText(value), Library(value)) << std::hexfloat << value;
    for (const int decimals : {0, 4, 10}) {
      ASSERT_EQ(FixedText(value, decimals), Library(value, std::chars_format::fixed, decimals));
    }
    const std::string general = GeneralText(value, 10);
    ASSERT_EQ(general, Library(value, std::chars_format::general, 10)) << std::hexfloat << value;
    for (const std::string& text : {general, Library(value, std::chars_format::general, 17)}) {
      double read = 0, expected = 0;
      const bool ok = ReadDecimal(text, read) == DecimalRead::Ok;
      const auto library = std::from_chars(text.data(), text.data() + text.size(), expected);
      ASSERT_EQ(ok, library.ec == std::errc()) << text;
      if (ok) {
        ASSERT_EQ(std::memcmp(&read, &expected, sizeof read), 0) << text;
      }
    }
  }
}
#endif

TEST(DecimalText, ReadsOnlyWholeNumbersWithinRange) {
  const struct {
    const char* text;
    DecimalRead result;
  } cases[] = {
      {"12.5", DecimalRead::Ok},           {"-.5", DecimalRead::Ok},
      {"0e999", DecimalRead::Ok},          {"3e-324", DecimalRead::Ok},
      {"2e-324", DecimalRead::OutOfRange}, {"1.7976931348623159e308", DecimalRead::OutOfRange},
      {"1e", DecimalRead::Invalid},        {"+1", DecimalRead::Invalid},
      {"inf", DecimalRead::Invalid},       {"0x10", DecimalRead::Invalid},
      {" 1", DecimalRead::Invalid},        {".", DecimalRead::Invalid},
  };
  for (const auto& c : cases) {
    double value = 0;
    EXPECT_EQ(ReadDecimal(c.text, value), c.result) << c.text;
  }
}

}  // namespace
