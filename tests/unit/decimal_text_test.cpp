#include "decimal_text.h"

#include <gtest/gtest.h>

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace {

// On MinGW the conversions are the C runtime's own: they must give what
// libstdc++'s give, text for text and bit for bit. Elsewhere they are
// libstdc++'s, and the field and file tables cover them.
#if defined(__MINGW32__)
template <class... Format>
std::string Library(double value, Format... format) {
  char buffer[800];
  return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value, format...).ptr);
}

// Under a C-runtime locale with "," as its point, which any module may set.
TEST(DecimalText, AgreesWithTheCppLibrary) {
  ASSERT_STREQ(std::setlocale(LC_ALL, "German") ? std::localeconv()->decimal_point : "", ",");
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> form(-2000, 2000);
  const double edges[] = {0.0,
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
  std::vector<double> values(std::begin(edges), std::end(edges));
  for (int exponent = -1074; exponent <= 1023; ++exponent) {  // each power of two, its neighbours
    const double power = std::ldexp(1.0, exponent);
    values.insert(values.end(),
                  {std::nextafter(power, 0.0), power, std::nextafter(power, HUGE_VAL)});
  }
  for (std::size_t i = 0; i < values.size() + 60000; ++i) {
    double value = i < values.size() ? values[i] : form(random);
    if (i >= values.size() && i % 2) {
      const std::uint64_t bits = random();
      std::memcpy(&value, &bits, sizeof value);
      if (!std::isfinite(value)) continue;
    }
    SCOPED_TRACE(Library(value));
    ASSERT_EQ(ShortestText(value), Library(value));
    for (const int decimals : {0, 4, 10})
      ASSERT_EQ(FixedText(value, decimals), Library(value, std::chars_format::fixed, decimals));
    ASSERT_EQ(GeneralText(value, 10), Library(value, std::chars_format::general, 10));
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
  std::setlocale(LC_ALL, "C");
}
#endif

TEST(DecimalText, IntegersAsTheLibraryWritesThem) {
  for (const long long value :
       {0LL, 7LL, -7LL, 10LL, 4294967295LL, -2147483648LL, std::numeric_limits<long long>::max(),
        std::numeric_limits<long long>::min()})
    EXPECT_EQ(IntegerText(value), std::to_wstring(value));
}

}  // namespace
