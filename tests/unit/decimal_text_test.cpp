#include "decimal_text.h"

#include <gtest/gtest.h>

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace {

template <class... Format>
std::string Library(double value, Format... format) {
  char buffer[800];
  return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value, format...).ptr);
}

// Every power of two with both neighbours, where a reader's rounding slips.
std::vector<double> Edges() {
  std::vector<double> values = {0.0,
                                -0.0,
                                0.03125,
                                2.5,
                                12.5,
                                1e21,
                                1e22,
                                123456789012345680000.0,
                                5e-324,
                                2.2250738585072014e-308,
                                1.7976931348623157e308,
                                99999.99995,
                                1e-5};
  for (int exponent = -1074; exponent <= 1023; ++exponent) {
    const double power = std::ldexp(1.0, exponent);
    values.insert(values.end(),
                  {std::nextafter(power, 0.0), power, std::nextafter(power, HUGE_VAL)});
  }
  return values;
}

// The C runtime's locale is the whole process's, whichever module set it.
struct ClassicLocaleAfter {
  ~ClassicLocaleAfter() { std::setlocale(LC_ALL, "C"); }
};

// Reading must give what libstdc++'s from_chars gives, bit for bit. On MinGW
// the writing is the C runtime's own and must give what libstdc++'s gives,
// text for text; elsewhere it is libstdc++'s.
TEST(DecimalText, AgreesWithTheCppLibrary) {
  const ClassicLocaleAfter restore;
#if defined(__MINGW32__)
  ASSERT_NE(std::setlocale(LC_ALL, "German"), nullptr);
  ASSERT_STREQ(std::localeconv()->decimal_point, ",");
#endif
  const std::vector<double> edges = Edges();
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> form(-2000, 2000);
  for (std::size_t i = 0; i < edges.size() + 60000; ++i) {
    double value = i < edges.size() ? edges[i] : form(random);
    if (i >= edges.size() && i % 2) {
      const std::uint64_t bits = random();
      std::memcpy(&value, &bits, sizeof value);
      if (!std::isfinite(value)) continue;
    }
    SCOPED_TRACE(Library(value));
#if defined(__MINGW32__)
    ASSERT_EQ(ShortestText(value), Library(value));
    for (const int decimals : {0, 4, 10})
      ASSERT_EQ(FixedText(value, decimals), Library(value, std::chars_format::fixed, decimals));
    ASSERT_EQ(GeneralText(value, 10), Library(value, std::chars_format::general, 10));
#endif
    // Read back, rounded past the largest double or below the smallest too.
    for (const std::string& text :
         {Library(value), GeneralText(value, 10), Library(value, std::chars_format::general, 17)}) {
      double read = 0, expected = 0;
      const bool library =
          std::from_chars(text.data(), text.data() + text.size(), expected).ec == std::errc();
      ASSERT_EQ(ReadDecimal(text, read) == DecimalRead::Ok, library) << text;
      if (library) {
        ASSERT_EQ(std::memcmp(&read, &expected, sizeof read), 0) << text;
      }
    }
  }
}

}  // namespace
