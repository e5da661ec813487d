// Any text through the form's strict field parsing and the file's lenient number
// reading; any double through each way numbers are written and read back.

#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "fuzz_check.h"
#include "number_text.h"
#include "settings_text.h"

namespace {

// Bytes as wide text, one character each; 0xFF takes the next two bytes as one
// character, so that code points beyond Latin-1 (full-width digits, say) occur.
std::wstring WideText(const std::uint8_t* data, std::size_t size) {
  std::wstring text;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0xFF && i + 2 < size) {
      text += static_cast<wchar_t>(data[i + 1] << 8 | data[i + 2]);
      i += 2;
    } else {
      text += static_cast<wchar_t>(data[i]);
    }
  }
  return text;
}

// The full-width forms the fields take for digits, ".", "-", "+", "e" and "E",
// and "。" and the ideographic space, as ASCII: the file has only ASCII
// numbers, so the two parsers are compared on this text.
std::wstring Halfwidth(std::wstring text) {
  for (wchar_t& c : text) {
    if (c == 0x3002) {
      c = L'.';
    } else if (c == 0x3000) {
      c = L' ';
    } else if ((c >= 0xFF10 && c <= 0xFF19) || c == 0xFF0E || c == 0xFF0D || c == 0xFF0B ||
               c == 0xFF45 || c == 0xFF25) {
      c = static_cast<wchar_t>(c - 0xFEE0);  // the full-width block mirrors ASCII
    }
  }
  return text;
}

bool SameBits(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// The field shows the shortest exact text; the file keeps ranges to four decimals
// and steps to ten digits. Each must read back as a value that writes the same.
void CheckWritten(double value) {
  if (!std::isfinite(value)) return;
  const std::optional<double> shown = ParseFieldDouble(FormatFieldDouble(value));
  FUZZ_CHECK(shown && SameBits(*shown, value));
  for (const auto format : {&FormatCompact, &FormatGeneral10}) {
    const std::wstring written = format(value);
    const double read = ParseDouble(written);
    FUZZ_CHECK(format(read) == written);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::wstring text = WideText(data, size);
  const std::wstring ascii = Halfwidth(text);

  FUZZ_CHECK(std::isfinite(ParseDouble(text)));
  const double fileDouble = ParseDouble(ascii);
  const std::int32_t fileLong = ParseLong(ascii);
  FUZZ_CHECK(std::isfinite(fileDouble));

  // Full-width forms read as their ASCII selves, nothing more and nothing less.
  const std::optional<double> fieldDouble = ParseFieldDouble(text);
  const std::optional<double> asciiDouble = ParseFieldDouble(ascii);
  FUZZ_CHECK(fieldDouble.has_value() == asciiDouble.has_value());
  FUZZ_CHECK(!fieldDouble || SameBits(*fieldDouble, *asciiDouble));
  FUZZ_CHECK(ParseFieldInt32(text) == ParseFieldInt32(ascii));
  // A refused text has a fault to report; an accepted one has none.
  FUZZ_CHECK((FieldNumberFault(text, false) == NumberFault::None) == fieldDouble.has_value());
  FUZZ_CHECK((FieldNumberFault(text, true) == NumberFault::None) ==
             ParseFieldInt32(text).has_value());

  // What the form accepts, the file reader reads as the same number.
  if (fieldDouble) {
    FUZZ_CHECK(std::isfinite(*fieldDouble));
    FUZZ_CHECK(SameBits(*fieldDouble, fileDouble));
  }
  const std::optional<std::int32_t> fieldInt = ParseFieldInt32(text);
  if (fieldInt) {
    FUZZ_CHECK(*fieldInt == fileLong);
    FUZZ_CHECK(fieldDouble && *fieldDouble == *fieldInt);
  }

  // Rounding faults sit next to boundaries: the neighbours of a value count too.
  const auto checkAround = [](double value) {
    CheckWritten(value);
    double below = value, above = value;
    for (int step = 0; step < 2; ++step) {
      below = std::nextafter(below, -INFINITY);
      above = std::nextafter(above, INFINITY);
      CheckWritten(below);
      CheckWritten(above);
    }
  };
  checkAround(fileDouble);
  if (size >= sizeof(double)) {
    double raw;
    std::memcpy(&raw, data, sizeof raw);
    checkAround(raw);
  }
  if (size >= sizeof(std::int32_t)) {
    std::int32_t raw;
    std::memcpy(&raw, data, sizeof raw);
    const std::wstring written = std::to_wstring(raw);
    FUZZ_CHECK(ParseLong(written) == raw);
    FUZZ_CHECK(ParseFieldInt32(written) == raw);
  }
  return 0;
}
