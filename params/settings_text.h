#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hardware_params.h"

// The text side of printer.ini: line syntax, number reading and writing. No I/O.

// Removes leading and trailing U+0020 only; tabs and other blanks are content.
void TrimSpaces(std::wstring& text);

// Splits at the first '=' not directly preceded by a backslash. Without one, the
// whole line is the key. Nothing is unescaped.
void SplitKeyValue(const std::wstring& line, std::wstring& key, std::wstring& value);

// Read the longest number at the start of the text, after leading white space.
// No number, or one out of range for the type, gives 0.
double ParseDouble(std::wstring_view text);
std::int32_t ParseLong(std::wstring_view text);

// At most four decimals, trailing zeros and point removed: ranges and flip angle.
std::wstring FormatCompact(double value);
// printf "%.10g": step lengths and rotation coefficient.
std::wstring FormatGeneral10(double value);

// Applies one raw line (line end already removed) to the parameters: comments,
// empty lines and unknown keys change nothing.
void ApplySettingsLine(std::wstring line, HardwareParams& params);

// What a text gives, read line by line as the file is read: for each setting,
// in the file's order, the value text of its last line; none where no line
// gives it.
using GivenValues = std::vector<std::optional<std::wstring>>;
GivenValues NoValuesGiven();
void GiveSettingsLine(std::wstring line, GivenValues& given);
// A line feed ends a line; a carriage return before it is not part of it.
GivenValues GivenInText(std::wstring_view text);
bool AnyGiven(const GivenValues& given);
// Converts the given values as the reader does, over `params`.
void ApplyGivenValues(const GivenValues& given, HardwareParams& params);

// Each setting's key and its value as the writer writes it, in the file's order.
struct SettingValue {
  std::wstring_view key;
  std::wstring value;
};
std::vector<SettingValue> SettingValues(const HardwareParams& params);

// The whole file text the writer produces: eighteen lines, each ending in CR LF.
std::wstring FormatSettingsText(const HardwareParams& params);
