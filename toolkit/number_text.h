#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// How the dialog fields show and accept numbers. Portable: no window here.
// A number may be typed in full-width forms (as Chinese input methods give
// them): digits, "．", "－", "＋", "ｅ" and "Ｅ" read as their ASCII selves, "。"
// (the "." key in Chinese punctuation mode) as the point, and the ideographic
// space as a blank.

// The shortest text that reads back as exactly the same double.
std::wstring FormatFieldDouble(double value);

// The whole text, give or take surrounding blanks, must be one decimal
// number with "." as the point and an optional exponent, and finite.
std::optional<double> ParseFieldDouble(std::wstring_view text);

// The whole text, give or take surrounding blanks, must be a decimal
// integer that fits 32 bits.
std::optional<std::int32_t> ParseFieldInt32(std::wstring_view text);

// Why a field's text is refused, for the message that says so.
enum class NumberFault {
  None,        // the text is accepted
  Empty,       // nothing but blanks
  NotANumber,  // not the shape of a decimal number
  NotWhole,    // a number, but the field takes only integers
  OutOfRange,  // a number beyond what the field can hold
};
NumberFault FieldNumberFault(std::wstring_view text, bool integer);
