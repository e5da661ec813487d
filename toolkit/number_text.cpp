#include "number_text.h"

#include <charconv>
#include <string>

#include "decimal_text.h"

namespace {

// The ideographic space (U+3000) is what a Chinese input method types for one.
std::wstring_view TrimBlanks(std::wstring_view text) {
  const auto blank = [](wchar_t c) { return c == L' ' || c == L'\t' || c == L'\u3000'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

// Full-width digits, "．", "－", "＋", "ｅ" and "Ｅ" as ASCII, and "。", which the
// "." key types in Chinese punctuation mode, as the point; other characters as
// they are, so that the rules below judge them.
std::wstring Halfwidth(std::wstring_view text) {
  std::wstring ascii(text);
  for (wchar_t& c : ascii) {
    if (c == L'\u3002') {
      c = L'.';
    } else if ((c >= L'\uFF10' && c <= L'\uFF19') || c == L'\uFF0E' || c == L'\uFF0D' ||
               c == L'\uFF0B' || c == L'\uFF45' || c == L'\uFF25') {
      c = static_cast<wchar_t>(c - 0xFEE0);
    }
  }
  return ascii;
}

bool IsDigit(wchar_t c) {
  return c >= L'0' && c <= L'9';
}

// Checks the shape (sign, digits, point, exponent) and gives it back in the
// form std::from_chars takes: no '+', a digit on both sides of the point.
std::optional<std::string> NumberShape(std::wstring_view text, bool withFraction) {
  std::size_t pos = 0;
  std::string sign;
  if (pos < text.size() && (text[pos] == L'+' || text[pos] == L'-')) {
    if (text[pos] == L'-') sign = "-";
    ++pos;
  }
  const auto takeDigits = [&](std::string& out) {
    const std::size_t start = pos;
    for (; pos < text.size() && IsDigit(text[pos]); ++pos) out += static_cast<char>(text[pos]);
    return pos - start;
  };
  std::string whole, fraction, exponent;
  std::size_t digits = takeDigits(whole);
  const bool point = withFraction && pos < text.size() && text[pos] == L'.';
  if (point) {
    ++pos;
    digits += takeDigits(fraction);
  }
  if (digits == 0) return std::nullopt;
  if (withFraction && pos < text.size() && (text[pos] == L'e' || text[pos] == L'E')) {
    exponent = "e";
    ++pos;
    if (pos < text.size() && (text[pos] == L'+' || text[pos] == L'-')) {
      exponent += static_cast<char>(text[pos++]);
    }
    if (takeDigits(exponent) == 0) return std::nullopt;
  }
  if (pos != text.size()) return std::nullopt;
  std::string number = sign;
  number.append(whole.empty() ? "0" : whole);
  if (point) number.append(".").append(fraction.empty() ? "0" : fraction);
  number.append(exponent);
  return number;
}

}  // namespace

std::wstring FormatFieldDouble(double value) {
  const std::string text = ShortestText(value);
  return std::wstring(text.begin(), text.end());
}

std::optional<double> ParseFieldDouble(std::wstring_view text) {
  const std::wstring halfwidth = Halfwidth(text);
  const std::optional<std::string> ascii = NumberShape(TrimBlanks(halfwidth), true);
  if (!ascii) return std::nullopt;
  const std::string& number = *ascii;
  double value = 0;
  if (ReadDecimal(number, value) != DecimalRead::Ok) return std::nullopt;
  return value;
}

std::optional<std::int32_t> ParseFieldInt32(std::wstring_view text) {
  const std::wstring halfwidth = Halfwidth(text);
  const std::optional<std::string> ascii = NumberShape(TrimBlanks(halfwidth), false);
  if (!ascii) return std::nullopt;
  std::int32_t value = 0;
  const auto [end, error] = std::from_chars(ascii->data(), ascii->data() + ascii->size(), value);
  if (error != std::errc() || end != ascii->data() + ascii->size()) return std::nullopt;
  return value;
}

NumberFault FieldNumberFault(std::wstring_view text, bool integer) {
  const std::wstring ascii = Halfwidth(text);
  const std::wstring_view trimmed = TrimBlanks(ascii);
  if (trimmed.empty()) return NumberFault::Empty;
  if (integer ? ParseFieldInt32(trimmed).has_value() : ParseFieldDouble(trimmed).has_value()) {
    return NumberFault::None;
  }
  // The shape is right, so only the size can be wrong.
  if (NumberShape(trimmed, !integer)) return NumberFault::OutOfRange;
  if (integer && NumberShape(trimmed, true)) return NumberFault::NotWhole;
  return NumberFault::NotANumber;
}
