#include "decimal_text.h"

#include <cmath>
#include <iterator>

// The nearest double to a decimal text, exactly and whatever the C runtime's
// locale: the algorithm behind libstdc++'s from_chars, without its tables.
#include <fast_float.h>

#if defined(__MINGW32__)
#include <cstdlib>
// gdtoa, in every MinGW C runtime: the conversions behind its printf and strtod.
extern "C" {
char* __dtoa(double value, int mode, int digits, int* point, int* negative, char** end);
void __freedtoa(char* digits);
}
#else
#include <charconv>
#endif

namespace {

#if defined(__MINGW32__)

std::string NonFinite(double value) {
  if (std::isnan(value)) return std::signbit(value) ? "-nan" : "nan";
  return value < 0 ? "-inf" : "inf";
}

// Significant digits d1 d2 ... dn, with the value 0.d1d2...dn × 10^point.
struct Digits {
  std::string digits;
  int point = 0;
  bool negative = false;
};

// dtoa's modes: 0 the shortest that reads back, 2 `count` significant digits,
// 3 `count` digits after the point; all correctly rounded (ties to even),
// trailing zeros dropped.
Digits DigitsOf(double value, int mode, int count) {
  Digits result;
  int point = 0, negative = 0;
  char* end = nullptr;
  char* digits = __dtoa(value, mode, count, &point, &negative, &end);
  if (!digits) std::abort();  // out of memory, as anywhere else
  result.digits.assign(digits, end);
  result.point = point;
  result.negative = negative != 0;
  __freedtoa(digits);
  return result;
}

// The digit at `index` (0 the first), zeros beyond both ends.
char DigitAt(const Digits& d, int index) {
  return index >= 0 && index < static_cast<int>(d.digits.size())
             ? d.digits[static_cast<std::size_t>(index)]
             : '0';
}

// Plain notation with exactly `decimals` digits after the point.
std::string Plain(const Digits& d, int decimals) {
  std::string text = d.negative ? "-" : "";
  if (d.point <= 0) text += '0';
  for (int i = 0; i < d.point; ++i) text += DigitAt(d, i);
  if (decimals > 0) text += '.';
  for (int i = 0; i < decimals; ++i) text += DigitAt(d, d.point + i);
  return text;
}

// Decimals that plain notation needs to show every digit.
int DecimalsShown(const Digits& d) {
  const int decimals = static_cast<int>(d.digits.size()) - d.point;
  return decimals > 0 ? decimals : 0;
}

// d1.d2...dn e±XX, the exponent of at least two digits.
std::string WithExponent(const Digits& d) {
  std::string text = d.negative ? "-" : "";
  text += DigitAt(d, 0);
  if (d.digits.size() > 1) text += '.' + d.digits.substr(1);
  const int exponent = d.point - 1;
  text += exponent < 0 ? "e-" : "e+";
  const int magnitude = exponent < 0 ? -exponent : exponent;
  if (magnitude < 10) text += '0';
  return text + std::to_string(magnitude);
}

#else

template <class... Format>
std::string ToChars(double value, Format... format) {
  char buffer[800];  // fixed notation of the largest double needs 309 digits
  const auto written = std::to_chars(buffer, buffer + sizeof buffer, value, format...);
  return std::string(buffer, written.ptr);
}

#endif

}  // namespace

#if defined(__MINGW32__)

std::string ShortestText(double value) {
  if (!std::isfinite(value)) return NonFinite(value);
  const Digits d = DigitsOf(value, 0, 0);
  std::string plain = Plain(d, DecimalsShown(d));
  std::string exponent = WithExponent(d);
  if (plain.size() > exponent.size()) return exponent;
  // A whole number past the shortest digits is written in full, as it is.
  return d.point > static_cast<int>(d.digits.size()) ? Plain(DigitsOf(value, 3, 0), 0) : plain;
}

std::string FixedText(double value, int decimals) {
  if (!std::isfinite(value)) return NonFinite(value);
  return Plain(DigitsOf(value, 3, decimals), decimals);
}

std::string GeneralText(double value, int digits) {
  if (!std::isfinite(value)) return NonFinite(value);
  if (digits < 1) digits = 1;
  Digits d = DigitsOf(value, 2, digits);
  if (d.digits.empty()) d.digits = "0";
  const int exponent = d.point - 1;
  if (exponent < -4 || exponent >= digits) return WithExponent(d);
  return Plain(d, DecimalsShown(d));
}

#else

std::string ShortestText(double value) {
  return ToChars(value);
}

std::string FixedText(double value, int decimals) {
  return ToChars(value, std::chars_format::fixed, decimals);
}

std::string GeneralText(double value, int digits) {
  return ToChars(value, std::chars_format::general, digits);
}

#endif

std::wstring IntegerText(long long value) {
  // Digits of the magnitude from the right, in unsigned arithmetic so that
  // the most negative value has one too.
  unsigned long long magnitude = value < 0 ? 0 - static_cast<unsigned long long>(value) : value;
  wchar_t digits[21];
  wchar_t* first = std::end(digits);
  do {
    *--first = static_cast<wchar_t>(L'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) *--first = L'-';
  return std::wstring(first, std::end(digits));
}

DecimalRead ReadDecimal(std::string_view text, double& value) {
  if (text.empty()) return DecimalRead::Invalid;
  const char* const last = text.data() + text.size();
  double read = 0;
  const auto [end, error] = fast_float::from_chars(text.data(), last, read);
  if (end != last) return DecimalRead::Invalid;
  // Beyond the largest double, or a number that is not 0 read as 0.
  const bool nonZero = text.find_first_of("123456789") < text.find_first_of("eE");
  if (error != std::errc() || std::isinf(read) || (read == 0 && nonZero)) {
    return DecimalRead::OutOfRange;
  }
  value = read;
  return DecimalRead::Ok;
}
