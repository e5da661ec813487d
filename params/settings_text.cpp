#include "settings_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <string>
#include <utility>

#include "decimal_text.h"

namespace {

// The white space the C library skips before a number.
bool IsNumberSpace(wchar_t c) {
  return c == L' ' || c == L'\t' || c == L'\n' || c == L'\v' || c == L'\f' || c == L'\r';
}

bool IsDigit(wchar_t c) {
  return c >= L'0' && c <= L'9';
}

// Appends the digits starting at `pos`, as ASCII; returns how many there were.
std::size_t TakeDigits(std::wstring_view text, std::size_t& pos, std::string& out) {
  const std::size_t start = pos;
  while (pos < text.size() && IsDigit(text[pos])) out += static_cast<char>(text[pos++]);
  return pos - start;
}

// The longest number at the start of `text` (after white space), rewritten in a
// form std::from_chars takes: no '+', digits on both sides of the point. Empty
// when there is no number.
std::string NumberPrefix(std::wstring_view text, bool withFraction) {
  std::size_t pos = 0;
  while (pos < text.size() && IsNumberSpace(text[pos])) ++pos;
  std::string number;
  if (pos < text.size() && (text[pos] == L'+' || text[pos] == L'-')) {
    if (text[pos] == L'-') number += '-';
    ++pos;
  }
  std::string whole, fraction;
  const std::size_t wholeDigits = TakeDigits(text, pos, whole);
  std::size_t fractionDigits = 0;
  if (withFraction && pos < text.size() && text[pos] == L'.') {
    std::size_t afterPoint = pos + 1;
    fractionDigits = TakeDigits(text, afterPoint, fraction);
    if (wholeDigits + fractionDigits > 0) pos = afterPoint;
  }
  if (wholeDigits + fractionDigits == 0) return {};
  number += wholeDigits ? whole : "0";
  if (fractionDigits) number += '.' + fraction;
  if (withFraction && pos < text.size() && (text[pos] == L'e' || text[pos] == L'E')) {
    std::size_t afterE = pos + 1;
    std::string exponent = "e";
    if (afterE < text.size() && (text[afterE] == L'+' || text[afterE] == L'-')) {
      exponent += static_cast<char>(text[afterE++]);
    }
    if (TakeDigits(text, afterE, exponent) > 0) number += exponent;
  }
  return number;
}

template <class T>
T ParseNumber(std::wstring_view text, bool withFraction) {
  const std::string number = NumberPrefix(text, withFraction);
  T value{};
  if constexpr (std::is_floating_point_v<T>) {
    if (ReadDecimal(number, value) != DecimalRead::Ok) return T{};
  } else {
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error != std::errc() || end != number.data() + number.size()) return T{};
  }
  return value;
}

std::wstring Widen(const char* first, const char* last) {
  return std::wstring(first, last);
}

}  // namespace

void TrimSpaces(std::wstring& text) {
  const std::size_t first = text.find_first_not_of(L' ');
  if (first == std::wstring::npos) {
    text.clear();
    return;
  }
  text.erase(text.find_last_not_of(L' ') + 1);
  text.erase(0, first);
}

void SplitKeyValue(const std::wstring& line, std::wstring& key, std::wstring& value) {
  key.clear();
  value.clear();
  std::size_t equals = line.find(L'=');
  while (equals != std::wstring::npos && equals > 0 && line[equals - 1] == L'\\') {
    equals = line.find(L'=', equals + 1);
  }
  if (equals == std::wstring::npos) {
    key = line;
    return;
  }
  key = line.substr(0, equals);
  value = line.substr(equals + 1);
}

double ParseDouble(std::wstring_view text) {
  return ParseNumber<double>(text, true);
}

std::int32_t ParseLong(std::wstring_view text) {
  return ParseNumber<std::int32_t>(text, false);
}

std::wstring FormatCompact(double value) {
  std::string text = FixedText(value, 4);
  if (text.find('.') != std::string::npos) {
    while (text.back() == '0') text.pop_back();
    while (text.back() == '.') text.pop_back();
  }
  // A value that rounds to nothing at four decimals is "0", never "-0".
  if (text == "-0") text = "0";
  return Widen(text.data(), text.data() + text.size());
}

std::wstring FormatGeneral10(double value) {
  const std::string text = GeneralText(value, 10);
  // Within a hair of the largest double, ten digits round past it, and such a
  // number reads back as 0: write the largest ten-digit number that still fits.
  double back = 0;
  if (std::fabs(value) > 1 && ReadDecimal(text, back) == DecimalRead::OutOfRange) {
    return value < 0 ? L"-1.797693134e+308" : L"1.797693134e+308";
  }
  return Widen(text.data(), text.data() + text.size());
}

namespace {

using Field = double HardwareParams::*;
using IntField = std::int32_t HardwareParams::*;

template <Field F>
void ReadDouble(HardwareParams& p, const std::wstring& v) {
  p.*F = ParseDouble(v);
}
template <IntField F>
void ReadLong(HardwareParams& p, const std::wstring& v) {
  p.*F = ParseLong(v);
}
template <IntField F>
void ReadFlag(HardwareParams& p, const std::wstring& v) {
  p.*F = ParseLong(v) != 0 ? 1 : 0;
}
void ReadResetMode(HardwareParams& p, const std::wstring& v) {
  p.bReleaseLimitAfterReset = ParseLong(v) == 2 ? 1 : 0;
}
void ReadResetOrder(HardwareParams& p, const std::wstring& v) {
  p.strResetOrder = v;
}

template <Field F>
std::wstring WriteCompact(const HardwareParams& p) {
  return FormatCompact(p.*F);
}
template <Field F>
std::wstring WriteGeneral(const HardwareParams& p) {
  return FormatGeneral10(p.*F);
}
template <IntField F>
std::wstring WriteLong(const HardwareParams& p) {
  return IntegerText(p.*F);
}
template <IntField F>
std::wstring WriteFlag(const HardwareParams& p) {
  return p.*F ? L"1" : L"0";
}
std::wstring WriteResetMode(const HardwareParams& p) {
  return p.bReleaseLimitAfterReset ? L"2" : L"1";
}
std::wstring WriteResetOrder(const HardwareParams& p) {
  return p.strResetOrder;
}

// One row per key, in the order the file is written.
struct SettingKey {
  std::wstring_view key;
  void (*read)(HardwareParams&, const std::wstring&);
  std::wstring (*write)(const HardwareParams&);
};

using P = HardwareParams;
constexpr SettingKey kSettingKeys[] = {
    {L"fAreaX", ReadDouble<&P::fAreaX>, WriteCompact<&P::fAreaX>},
    {L"fAreaY", ReadDouble<&P::fAreaY>, WriteCompact<&P::fAreaY>},
    {L"fAreaZ", ReadDouble<&P::fAreaZ>, WriteCompact<&P::fAreaZ>},
    {L"fStepX", ReadDouble<&P::fStepX>, WriteGeneral<&P::fStepX>},
    {L"fStepY", ReadDouble<&P::fStepY>, WriteGeneral<&P::fStepY>},
    {L"fStepZ", ReadDouble<&P::fStepZ>, WriteGeneral<&P::fStepZ>},
    {L"nSpeedScale", ReadLong<&P::nSpeedScale>, WriteLong<&P::nSpeedScale>},
    {L"nSpeedBase", ReadLong<&P::nSpeedBase>, WriteLong<&P::nSpeedBase>},
    {L"nResetMode", ReadResetMode, WriteResetMode},
    {L"strResetOrder", ReadResetOrder, WriteResetOrder},
    {L"nPrintMode", ReadLong<&P::nPrintMode>, WriteLong<&P::nPrintMode>},
    {L"dFlipAngle", ReadDouble<&P::dFlipAngle>, WriteCompact<&P::dFlipAngle>},
    {L"bClearRotateReturn", ReadFlag<&P::bClearRotateReturn>, WriteFlag<&P::bClearRotateReturn>},
    {L"bResetRotate", ReadFlag<&P::bResetRotate>, WriteFlag<&P::bResetRotate>},
    {L"fSwivelModulus", ReadDouble<&P::fSwivelModulus>, WriteGeneral<&P::fSwivelModulus>},
    {L"bInitReset", ReadFlag<&P::bInitReset>, WriteFlag<&P::bInitReset>},
    {L"bFirstPrnReset", ReadFlag<&P::bFirstPrnReset>, WriteFlag<&P::bFirstPrnReset>},
    {L"nDelayCharSp", ReadLong<&P::nDelayCharSp>, WriteLong<&P::nDelayCharSp>},
};

}  // namespace

namespace {

// The position of the setting a line gives, with its value; -1 for a comment,
// an empty line or an unknown key.
int ReadSettingsLine(std::wstring line, std::wstring& value) {
  TrimSpaces(line);
  if (line.empty() || line.starts_with(L"//")) return -1;
  std::wstring key;
  SplitKeyValue(line, key, value);
  TrimSpaces(key);
  TrimSpaces(value);
  for (std::size_t i = 0; i < std::size(kSettingKeys); ++i) {
    if (kSettingKeys[i].key == key) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace

void ApplySettingsLine(std::wstring line, HardwareParams& params) {
  std::wstring value;
  const int setting = ReadSettingsLine(std::move(line), value);
  if (setting >= 0) kSettingKeys[setting].read(params, value);
}

GivenValues NoValuesGiven() {
  return GivenValues(std::size(kSettingKeys));
}

void GiveSettingsLine(std::wstring line, GivenValues& given) {
  std::wstring value;
  const int setting = ReadSettingsLine(std::move(line), value);
  if (setting >= 0 && static_cast<std::size_t>(setting) < given.size()) {
    given[static_cast<std::size_t>(setting)] = std::move(value);
  }
}

GivenValues GivenInText(std::wstring_view text) {
  GivenValues given = NoValuesGiven();
  while (!text.empty()) {
    std::wstring_view line = text.substr(0, text.find(L'\n'));
    text.remove_prefix(std::min(text.size(), line.size() + 1));
    if (line.ends_with(L'\r')) line.remove_suffix(1);
    GiveSettingsLine(std::wstring(line), given);
  }
  return given;
}

bool AnyGiven(const GivenValues& given) {
  return std::any_of(given.begin(), given.end(),
                     [](const auto& value) { return value.has_value(); });
}

void ApplyGivenValues(const GivenValues& given, HardwareParams& params) {
  for (std::size_t i = 0; i < std::size(kSettingKeys) && i < given.size(); ++i) {
    if (given[i]) kSettingKeys[i].read(params, *given[i]);
  }
}

std::vector<SettingValue> SettingValues(const HardwareParams& params) {
  std::vector<SettingValue> values;
  for (const SettingKey& setting : kSettingKeys)
    values.push_back({setting.key, setting.write(params)});
  return values;
}

std::wstring FormatSettingsText(const HardwareParams& params) {
  std::wstring text;
  for (const auto& [key, value] : SettingValues(params)) {
    text.append(key).append(L" = ").append(value).append(L"\r\n");
  }
  return text;
}
