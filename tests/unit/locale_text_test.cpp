#include "locale_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "settings_file.h"
#include "temp_dir.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

std::size_t CountLines(const std::string& bytes) {
  return static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n'));
}

TEST(LocaleText, AsciiPassesUnchanged) {
  const std::string ascii = "strResetOrder = z,xy \t~";
  EXPECT_EQ(DecodeLocaleText(ascii), L"strResetOrder = z,xy \t~");
  EXPECT_EQ(EncodeLocaleText(DecodeLocaleText(ascii)), ascii);
}

#ifdef _WIN32
// Run with LANG=zh_CN.UTF-8 so that the user's ANSI code page is GBK.
TEST(LocaleText, GbkResetOrderSurvivesLoadAndSave) {
  const char* expected = std::getenv("V7ER_EXPECT_CODE_PAGE");
  if (!expected) GTEST_SKIP() << "runs only with a Chinese user locale";
  DWORD codePage = 0;
  GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                 reinterpret_cast<LPWSTR>(&codePage), sizeof codePage / sizeof(wchar_t));
  ASSERT_EQ(codePage, static_cast<DWORD>(std::atoi(expected)));

  EXPECT_EQ(DecodeLocaleText("\xD6\xD0\xCE\xC4"), L"\u4E2D\u6587");  // 中文
  EXPECT_EQ(EncodeLocaleText(L"\u4E2D\u6587"), "\xD6\xD0\xCE\xC4");

  TempDir dir;
  const std::string file = "strResetOrder = z,\xD6\xD0\xCE\xC4,xy\r\n";
  WriteBytes(dir.File(L"printer.ini"), file);
  HardwareParams p;
  LoadSettingsFrom(dir.File(L"printer.ini"), p);
  EXPECT_EQ(p.strResetOrder, L"z,\u4E2D\u6587,xy");
  ASSERT_TRUE(SaveSettingsTo(dir.File(L"printer.ini"), p).saved);
  EXPECT_NE(ReadBytes(dir.File(L"printer.ini")).find(file), std::string::npos);
}
#endif

TEST(LocaleText, UnencodableCharacterCostsNoLine) {
  TempDir dir;
  HardwareParams p;
  p.strResetOrder = L"x\U00010348\u0E01y";  // Gothic and Thai: few code pages hold them
  p.nDelayCharSp = 77;
  ASSERT_TRUE(SaveSettingsTo(dir.File(L"printer.ini"), p).saved);
  const std::string bytes = ReadBytes(dir.File(L"printer.ini"));
  EXPECT_EQ(CountLines(bytes), 18u);
  HardwareParams back;
  LoadSettingsFrom(dir.File(L"printer.ini"), back);
  EXPECT_EQ(back.nDelayCharSp, 77);
  ASSERT_FALSE(back.strResetOrder.empty());
  EXPECT_EQ(back.strResetOrder.front(), L'x');
  EXPECT_EQ(back.strResetOrder.back(), L'y');
}

TEST(LocaleText, BrokenByteSequencesDoNotStopReading) {
  TempDir dir;
  const std::string broken[] = {"\xFF\xFE\x80", "\xD6", "\xC3", "\xE4\xB8", "\x81\x30"};
  for (const std::string& bytes : broken) {
    WriteBytes(dir.File(L"printer.ini"),
               "strResetOrder = " + bytes + "\r\nfAreaX = 3\r\n" + bytes + "\nfAreaY = 4");
    HardwareParams p;
    LoadSettingsFrom(dir.File(L"printer.ini"), p);
    EXPECT_EQ(p.fAreaX, 3);
    EXPECT_EQ(p.fAreaY, 4);
    EXPECT_FALSE(p.strResetOrder.empty());
  }
}

}  // namespace
