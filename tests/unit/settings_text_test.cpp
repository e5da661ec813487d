#include "settings_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

TEST(SettingsText, TrimSpacesRemovesOnlyOuterSpaces) {
  const struct {
    const wchar_t* in;
    const wchar_t* out;
  } cases[] = {
      {L"   x y   ", L"x y"}, {L"    ", L""},   {L"", L""},
      {L"\tx\t", L"\tx\t"},   {L"x\r", L"x\r"}, {L"\u00A0x ", L"\u00A0x"},
  };
  for (const auto& c : cases) {
    std::wstring text = c.in;
    TrimSpaces(text);
    EXPECT_EQ(text, c.out) << "input: [" << testing::PrintToString(std::wstring(c.in)) << "]";
  }
}

TEST(SettingsText, SplitKeyValueAtFirstUnescapedEquals) {
  const struct {
    const wchar_t* line;
    const wchar_t* key;
    const wchar_t* value;
  } cases[] = {
      {L"a=b", L"a", L"b"},
      {L"a = b = c", L"a ", L" b = c"},
      {L"alone", L"alone", L""},
      {L"=5", L"", L"5"},
      {L"a\\=b=c", L"a\\=b", L"c"},
      {L"a\\=b", L"a\\=b", L""},
      {L"a\\=\\=b=c=d", L"a\\=\\=b", L"c=d"},
      {L"", L"", L""},
  };
  for (const auto& c : cases) {
    std::wstring key = L"stale", value = L"stale";
    SplitKeyValue(c.line, key, value);
    EXPECT_EQ(key, c.key) << testing::PrintToString(std::wstring(c.line));
    EXPECT_EQ(value, c.value) << testing::PrintToString(std::wstring(c.line));
  }
}

TEST(SettingsText, ParseDoubleReadsLongestLeadingNumber) {
  const struct {
    const wchar_t* text;
    double value;
  } cases[] = {
      {L"120", 120},
      {L"  \t\r\n\v\f-2.5", -2.5},
      {L"12.5mm", 12.5},
      {L".5", 0.5},
      {L"5.", 5},
      {L"-.5", -0.5},
      {L"+7", 7},
      {L"2e1", 20},
      {L"2E+1x", 20},
      {L"25e-1", 2.5},
      {L"3e", 3},
      {L"3e+", 3},
      {L"abc", 0},
      {L"", 0},
      {L".", 0},
      {L"-", 0},
      {L"1,5", 1},
      {L"1e999", 0},
      {L"-1e999", 0},
      {L"1e-999", 0},
      {L"inf", 0},
      {L"nan", 0},
      {L"0x10", 0},
      {L"\u00A05", 0},
      {L"0.0069851349", 0.0069851349},
      {L"1.7976931348623157e308", 1.7976931348623157e308},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseDouble(c.text), c.value) << testing::PrintToString(std::wstring(c.text));
  }
}

TEST(SettingsText, ParseLongReadsLeadingInteger) {
  const struct {
    const wchar_t* text;
    std::int32_t value;
  } cases[] = {
      {L"30", 30},
      {L"30.9", 30},
      {L" -12x", -12},
      {L"+4", 4},
      {L"x", 0},
      {L"", 0},
      {L"2147483647", 2147483647},
      {L"-2147483648", std::numeric_limits<std::int32_t>::min()},
      {L"2147483648", 0},
      {L"-2147483649", 0},
      {L"99999999999999999999", 0},
      {L"0007", 7},
      {L"1e3", 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseLong(c.text), c.value) << testing::PrintToString(std::wstring(c.text));
  }
}

TEST(SettingsText, NumberFormats) {
  const struct {
    double value;
    const wchar_t* compact;
    const wchar_t* general;
  } cases[] = {
      {110, L"110", L"110"},
      {80.5, L"80.5", L"80.5"},
      {12.25, L"12.25", L"12.25"},
      {1234.56789, L"1234.5679", L"1234.56789"},
      {100.00004, L"100", L"100.00004"},
      {-2.5, L"-2.5", L"-2.5"},
      {0.00004, L"0", L"4e-05"},
      {-0.00004, L"0", L"-4e-05"},
      {-0.0, L"0", L"-0"},
      {0.0001, L"0.0001", L"0.0001"},
      {0.0069851349, L"0.007", L"0.0069851349"},
      {110.123456, L"110.1235", L"110.123456"},
      {0.00000012345, L"0", L"1.2345e-07"},
      {0.006985134915716516, L"0.007", L"0.006985134916"},
      {12345678901.0, L"12345678901", L"1.23456789e+10"},
      {-1e12, L"-1000000000000", L"-1e+12"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatCompact(c.value), c.compact) << c.value;
    EXPECT_EQ(FormatGeneral10(c.value), c.general) << c.value;
  }
}

// Values at the edges, where a plain format would not read back as written.
TEST(SettingsText, NumberFormatsAtTheEdges) {
  EXPECT_EQ(FormatCompact(-4.9999999999999996e-05), L"0");  // rounds to "-0.0000"
  EXPECT_EQ(FormatGeneral10(1.7976931348623157e308), L"1.797693134e+308");
  EXPECT_EQ(FormatGeneral10(-1.7976931348623157e308), L"-1.797693134e+308");
  EXPECT_EQ(ParseDouble(FormatGeneral10(1.7976931348623157e308)), 1.797693134e308);
}

// One line of a settings file, and what it does to a default parameter set.
TEST(SettingsText, SingleLinesOverDefaults) {
  const HardwareParams defaults;
  const struct {
    const wchar_t* line;
    void (*expect)(const HardwareParams&);
  } cases[] = {
      {L"   fAreaX=120   ", [](const HardwareParams& p) { EXPECT_EQ(p.fAreaX, 120); }},
      {L"fAreaX = 120 // mm", [](const HardwareParams& p) { EXPECT_EQ(p.fAreaX, 120); }},
      {L"fAreaX =\t5", [](const HardwareParams& p) { EXPECT_EQ(p.fAreaX, 5); }},
      {L"fAreaX = abc", [](const HardwareParams& p) { EXPECT_EQ(p.fAreaX, 0); }},
      {L"FAREAX = 1", nullptr},
      {L"fAreaX\t= 1", nullptr},
      {L"[section]", nullptr},
      {L"// fAreaX = 1", nullptr},
      {L"  //fAreaX=1", nullptr},
      {L"/fAreaX = 1", nullptr},
      {L"=5", nullptr},
      {L"fAreaX\\=x = 1", nullptr},
      {L"strResetOrder", [](const HardwareParams& p) { EXPECT_EQ(p.strResetOrder, L""); }},
      {L"fAreaY", [](const HardwareParams& p) { EXPECT_EQ(p.fAreaY, 0); }},
      {L"strResetOrder = z , xy ",
       [](const HardwareParams& p) { EXPECT_EQ(p.strResetOrder, L"z , xy"); }},
      {L"strResetOrder = a=b", [](const HardwareParams& p) { EXPECT_EQ(p.strResetOrder, L"a=b"); }},
      {L"strResetOrder = x // y",
       [](const HardwareParams& p) { EXPECT_EQ(p.strResetOrder, L"x // y"); }},
      {L"nResetMode = 2", [](const HardwareParams& p) { EXPECT_EQ(p.bReleaseLimitAfterReset, 1); }},
      {L"nResetMode = 2.9",
       [](const HardwareParams& p) { EXPECT_EQ(p.bReleaseLimitAfterReset, 1); }},
      {L"nResetMode = 3", [](const HardwareParams& p) { EXPECT_EQ(p.bReleaseLimitAfterReset, 0); }},
      {L"bInitReset = -1", [](const HardwareParams& p) { EXPECT_EQ(p.bInitReset, 1); }},
      {L"bInitReset = 7", [](const HardwareParams& p) { EXPECT_EQ(p.bInitReset, 1); }},
      {L"bFirstPrnReset = x", [](const HardwareParams& p) { EXPECT_EQ(p.bFirstPrnReset, 0); }},
      {L"bClearRotateReturn = 0",
       [](const HardwareParams& p) { EXPECT_EQ(p.bClearRotateReturn, 0); }},
      {L"bResetRotate = 1", [](const HardwareParams& p) { EXPECT_EQ(p.bResetRotate, 1); }},
      {L"nPrintMode = 9", [](const HardwareParams& p) { EXPECT_EQ(p.nPrintMode, 9); }},
      {L"nSpeedBase = 30.9", [](const HardwareParams& p) { EXPECT_EQ(p.nSpeedBase, 30); }},
      {L"nSpeedScale = -3", [](const HardwareParams& p) { EXPECT_EQ(p.nSpeedScale, -3); }},
      {L"nDelayCharSp = 15", [](const HardwareParams& p) { EXPECT_EQ(p.nDelayCharSp, 15); }},
      {L"fStepX = 2e1", [](const HardwareParams& p) { EXPECT_EQ(p.fStepX, 20); }},
      {L"fStepY = 0.5", [](const HardwareParams& p) { EXPECT_EQ(p.fStepY, 0.5); }},
      {L"fStepZ = -1", [](const HardwareParams& p) { EXPECT_EQ(p.fStepZ, -1); }},
      {L"fAreaZ = 1e300", [](const HardwareParams& p) { EXPECT_EQ(p.fAreaZ, 1e300); }},
      {L"dFlipAngle = 45", [](const HardwareParams& p) { EXPECT_EQ(p.dFlipAngle, 45); }},
      {L"fSwivelModulus = 0.02",
       [](const HardwareParams& p) { EXPECT_EQ(p.fSwivelModulus, 0.02); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.line)));
    HardwareParams params;
    ApplySettingsLine(c.line, params);
    if (c.expect) {
      c.expect(params);
    } else {
      EXPECT_EQ(params, defaults) << "the line should change nothing";
    }
  }
}

TEST(SettingsText, WriterEncodesEveryField) {
  HardwareParams p;
  p.fAreaX = 110.123456;
  p.nSpeedScale = -7;
  p.bReleaseLimitAfterReset = 1;
  p.strResetOrder = L"  z,xy ";
  p.nPrintMode = -1;
  p.bClearRotateReturn = 0;
  p.fSwivelModulus = 0.00000012345;
  const std::wstring text = FormatSettingsText(p);
  for (const wchar_t* line :
       {L"fAreaX = 110.1235\r\n", L"nSpeedScale = -7\r\n", L"nResetMode = 2\r\n",
        L"strResetOrder =   z,xy \r\n", L"nPrintMode = -1\r\n", L"bClearRotateReturn = 0\r\n",
        L"fSwivelModulus = 1.2345e-07\r\n"}) {
    EXPECT_NE(text.find(line), std::wstring::npos) << testing::PrintToString(std::wstring(line));
  }
}

}  // namespace
