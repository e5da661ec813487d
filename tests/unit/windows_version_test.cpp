// scripts/test runs the Windows suite once with Wine posing as Windows 7 and
// once as Windows 10; this makes sure each pass really ran on the version it
// asked for, so that version-dependent paths are taken.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

TEST(WindowsVersion, IsTheOneThisPassAskedFor) {
  const char* expected = std::getenv("V7ER_EXPECT_WINDOWS");
  if (!expected) GTEST_SKIP() << "V7ER_EXPECT_WINDOWS is not set";
  // GetVersionExW answers by the caller's manifest; ntdll tells the truth.
  using RtlGetVersionFn = LONG(WINAPI*)(RTL_OSVERSIONINFOW*);
  const auto rtlGetVersion = reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void (*)()>(
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
  ASSERT_NE(rtlGetVersion, nullptr);
  RTL_OSVERSIONINFOW version = {};
  version.dwOSVersionInfoSize = sizeof version;
  ASSERT_EQ(rtlGetVersion(&version), 0);
  EXPECT_EQ(std::to_string(version.dwMajorVersion) + "." + std::to_string(version.dwMinorVersion),
            expected);
}

}  // namespace
#endif
